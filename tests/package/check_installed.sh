#!/usr/bin/env bash
# Checks a handmotion .deb as a user meets it: unpacks it with dpkg -x into a
# temporary root (an install moved away from /usr), checks its files, runs
# the installed program without a display (--version, --help), then under
# Xvfb starts it from / with the demo camera, clicks "Key position capture"
# and "Spatial capture" and waits until a key pose is drawn:
#   - with the package as built, the key pose shows the end-effector model
#     and the program never prints "not found";
#   - with the model taken out of the unpacked root, the same key pose shows
#     its frame glyph only and the program prints "not found" (so the
#     picture check can tell the two apart).
# Screenshots of the 3D view land in BUILD_DIR/package-test/.
#   tests/package/check_installed.sh DEB BUILD_DIR
# BUILD_DIR is the package's build tree; the test builds its helper there.
set -euo pipefail

if [ "${1:-}" != --under-x ]; then
    if [ $# -ne 2 ]; then
        echo "usage: tests/package/check_installed.sh DEB BUILD_DIR" >&2
        exit 2
    fi
    source="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
    deb="$(realpath "$1")" build="$(realpath "$2")"
    cmake --build "$build" -j2 --target window_probe >/dev/null

    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    root="$work/root"
    dpkg -x "$deb" "$root"
    program="$root/usr/bin/handmotion"
    version="$(dpkg-deb --field "$deb" Version)"
    failures=0
    fail() {
        echo "FAIL: $*" >&2
        failures=$((failures + 1))
    }

    echo "-- files"
    id=io.github.handmotion.handmotion
    for file in usr/bin/handmotion usr/share/handmotion/Object/wrist_smallsize.dat \
        usr/share/applications/$id.desktop usr/share/icons/hicolor/scalable/apps/$id.svg \
        usr/share/metainfo/$id.metainfo.xml usr/share/doc/handmotion/README.md \
        usr/share/doc/handmotion/copyright usr/share/doc/handmotion/changelog.gz \
        usr/share/man/man1/handmotion.1.gz; do
        [ -f "$root/$file" ] || fail "the package has no /$file"
    done
    # The webcam and video sources' page, the hand model it runs, its licence.
    for file in hands.html handpage.js mediapipe/hands.js mediapipe/hands_solution_simd_wasm_bin.wasm \
        mediapipe/hands_solution_wasm_bin.wasm mediapipe/hands_solution_packed_assets.data \
        mediapipe/hand_landmark_full.tflite mediapipe/hand_landmark_lite.tflite; do
        [ -f "$root/usr/share/handmotion/page/$file" ] || fail "the package has no /usr/share/handmotion/page/$file"
    done
    [ -f "$root/usr/share/doc/handmotion/LICENSE.hand-model" ] || fail "the package has no hand model licence"
    dpkg-deb --field "$deb" Recommends | grep -q chromium || fail "the package does not recommend chromium"
    cmp -s "$source/Object/wrist_smallsize.dat" "$root/usr/share/handmotion/Object/wrist_smallsize.dat" \
        || fail "the packaged model differs from Object/wrist_smallsize.dat"
    grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" \
        || fail "the metainfo has no release $version"

    echo "-- without a display"
    no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
    printed="$(cd / && "${no_display[@]}" "$program" --version 2>&1)" || fail "--version failed: $printed"
    [ "$printed" = "handmotion $version" ] || fail "--version printed \"$printed\", not \"handmotion $version\""
    printed="$(cd / && "${no_display[@]}" "$program" --help 2>&1)" || fail "--help failed: $printed"
    grep -q -- "--version" <<<"$printed" || fail "--help does not list --version: $printed"

    echo "-- under Xvfb, started from /"
    shots="$build/package-test"
    rm -rf "$shots"
    mkdir -p "$shots"
    xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" \
        "${BASH_SOURCE[0]}" --under-x "$root" "$build/tests/package/window_probe" "$work" "$shots" \
        || failures=$((failures + 1))

    if [ $failures -ne 0 ]; then
        echo "installed package: $failures check(s) failed; screenshots in $shots" >&2
        exit 1
    fi
    echo "installed package: all checks passed; screenshots in $shots"
    exit 0
fi

# Under X: --under-x ROOT PROBE WORK SHOTS
root="$2" probe="$3" work="$4" shots="$5"
program="$root/usr/bin/handmotion"
# The program keeps its session journal under XDG_STATE_HOME, and whatever
# else it writes for the user under HOME and the XDG directories: all in the
# work directory, not the user's.
export LIBGL_ALWAYS_SOFTWARE=1 HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
    XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_CACHE_HOME="$work/home/.cache" XDG_DATA_HOME="$work/home/.local/share"
unset QT_QPA_PLATFORM
mkdir -p -m 0700 "$XDG_RUNTIME_DIR" "$HOME"

# A key pose seen from the capture camera covers a few hundred pixels of the
# view, its model a good share of them; a picture without a model has no
# model-coloured pixel at all.
drawn_at_least=100
model_at_least=40
model_at_most=5

HANDMOTION_CAMERA=none "$probe" layout >"$work/layout" 2>"$work/layout.log"
read -r _ key_x key_y < <(grep '^key ' "$work/layout")
read -r _ spatial_x spatial_y < <(grep '^spatial ' "$work/layout")
read -r _ view_x view_y view_w view_h < <(grep '^view ' "$work/layout")

# run NAME: starts the installed program from /, makes it capture key
# positions from the demo operator and waits up to 60 s for the first drawn
# key pose; leaves "drawn N model M" of the last look in $work/NAME.look.
run() {
    local name="$1" pid win look="" started=$SECONDS
    # A state directory of its own: the run before this one was killed with
    # key positions held, and its journal would bring the restore question.
    (cd / && HANDMOTION_CAMERA=demo XDG_STATE_HOME="$work/state-$name" exec "$program") \
        >"$work/$name.log" 2>&1 &
    pid=$!
    if ! win="$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)" || [ -z "$win" ]; then
        echo "FAIL ($name): no window within 30 s" >&2
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        return 1
    fi
    eval "$(xdotool getwindowgeometry --shell "$win" | grep -E '^(X|Y)=')"
    xdotool mousemove --sync --window "$win" "$key_x" "$key_y" click 1
    sleep 0.5
    xdotool mousemove --sync --window "$win" "$spatial_x" "$spatial_y" click 1
    # A middle-button drag of 300 pixels down brings the scene 30 units
    # nearer: the key poses, 40 units away, come to 10.
    xdotool mousemove --sync --window "$win" $((view_x + view_w / 2)) $((view_y + view_h / 4)) mousedown 2
    for _ in 1 2 3 4 5 6; do
        xdotool mousemove_relative --sync 0 50
    done
    xdotool mouseup 2
    for _ in $(seq 60); do
        sleep 1
        look="$("$probe" look "$shots/$name.png" $((X + view_x)) $((Y + view_y)) "$view_w" "$view_h")"
        echo "  $((SECONDS - started)) s: $look"
        [ "$(awk '{print $2}' <<<"$look")" -ge $drawn_at_least ] && break
    done
    echo "$look" >"$work/$name.look"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

status=0
check() {
    local name="$1" want_model="$2" drawn model
    read -r _ drawn _ model <"$work/$name.look"
    echo "$name: $drawn pixels drawn, $model of the model's colour ($shots/$name.png)"
    if [ "$drawn" -lt $drawn_at_least ]; then
        echo "FAIL ($name): no key pose was drawn within 60 s" >&2
        status=1
    elif [ "$want_model" = yes ] && [ "$model" -lt $model_at_least ]; then
        echo "FAIL ($name): the key pose is drawn without the end-effector model" >&2
        status=1
    elif [ "$want_model" = no ] && [ "$model" -gt $model_at_most ]; then
        echo "FAIL ($name): model-coloured pixels without a model file" >&2
        status=1
    fi
}

run installed || status=1
[ -f "$work/installed.look" ] && check installed yes
if grep -q "not found" "$work/installed.log"; then
    echo "FAIL (installed): the program printed \"not found\":" >&2
    head -n 5 "$work/installed.log" >&2
    status=1
fi

mv "$root/usr/share/handmotion" "$root/usr/share/handmotion.away"
run without-model || status=1
mv "$root/usr/share/handmotion.away" "$root/usr/share/handmotion"
[ -f "$work/without-model.look" ] && check without-model no
grep -q "File to read geometry of Robotic End Effector not found" "$work/without-model.log" || {
    echo "FAIL (without-model): the missing model was not reported" >&2
    status=1
}
exit $status
