# Shared by scripts/run, scripts/test and scripts/bench: package installation
# and the CMake build. Source it; do not run it.

HANDMOTION_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages needed to build and run the program.
HANDMOTION_BUILD_PACKAGES=(cmake ninja-build make g++ pkg-config qtbase5-dev libqt5opengl5-dev
    libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri fonts-dejavu-core libcpp-httplib-dev)
# What the webcam and video sources run: the browser that runs the hand
# page, and the converter of videos other than MJPEG and YUV4MPEG2.
HANDMOTION_HAND_PACKAGES=(chromium ffmpeg)

# ensure_packages PKG...: installs the packages that are not installed yet.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "error: need root or sudo to install: ${missing[*]}" >&2
            return 1
        fi
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq || return 1
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}

# build_tree DIR BUILD_TYPE [CMAKE ARGS...]: configures (once, with Ninja,
# which keeps both cores busier than Make across the many small targets) and
# builds. A tree configured earlier keeps its generator.
build_tree() {
    configure_tree "$@" || return 1
    cmake --build "$1" -j2
}

# configure_tree DIR BUILD_TYPE [CMAKE ARGS...]: the configuring half of
# build_tree, for a caller that builds some targets only.
configure_tree() {
    local dir="$1" type="$2"
    shift 2
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -G Ninja -S "$HANDMOTION_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null || return 1
    else
        cmake "$dir" "$@" >/dev/null || return 1
    fi
}

# ensure_hand_page: installs the hand page's npm packages (the hand-landmark
# model, pinned by sensor/sources/page/package-lock.json) when they are
# missing or older than the lock file. Installs Node.js and npm from Debian
# only when there is no npm at all (a machine may have them from elsewhere).
ensure_hand_page() {
    local page="$HANDMOTION_ROOT/sensor/sources/page"
    local installed="$page/node_modules/.package-lock.json"
    if [ -f "$installed" ] && [ ! "$page/package-lock.json" -nt "$installed" ]; then
        return 0
    fi
    if ! command -v npm >/dev/null 2>&1; then
        ensure_packages nodejs npm || return 1
    fi
    echo "Installing the hand page's npm packages (npm ci in sensor/sources/page)"
    # npm's cache and logs stay in the build tree, not in the user's home.
    (cd "$page" && npm_config_cache="$HANDMOTION_ROOT/build/npm-cache" \
        npm ci --ignore-scripts --no-audit --no-fund --no-update-notifier --loglevel=error) || return 1
}
