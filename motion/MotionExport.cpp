#include "motion/MotionExport.h"

#include "algebra/Matrix4.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

struct FormatNames {
    MotionExportFormat format;
    const char *name;
    const char *suffix;
};

const FormatNames formatNames[] = {
    { MotionExportFormat::Csv, "csv", ".csv" },
    { MotionExportFormat::Tum, "tum", ".txt" },
    { MotionExportFormat::URScript, "urscript", ".script" },
};

const FormatNames &namesOf(MotionExportFormat format)
{
    for (const FormatNames &names : formatNames)
        if (names.format == format)
            return names;
    return formatNames[0];
}

constexpr double pi = 3.14159265358979323846;

// Without the underflow of a sum of squares: an angle of 1e-300 keeps its
// length.
double norm3(const double v[3]) { return std::hypot(v[0], v[1], v[2]); }

double distance3(const double a[3], const double b[3])
{
    const double d[3] = { a[0] - b[0], a[1] - b[1], a[2] - b[2] };
    return norm3(d);
}

// Six significant digits for the header comment, "." whatever the locale.
std::string sixDigits(double value)
{
    char text[32];
    const std::to_chars_result result
        = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

void appendRow(std::string &out, const ExportPose &pose, char separator)
{
    for (double v : pose.position) {
        out += separator;
        appendNumber(out, v);
    }
    for (int c = 0; c < 4; ++c) {
        out += separator;
        appendNumber(out, pose.orientation.data()[c]);
    }
    out += '\n';
}

} // namespace

const char *motionExportFormatName(MotionExportFormat format) { return namesOf(format).name; }

const char *motionExportSuffix(MotionExportFormat format) { return namesOf(format).suffix; }

bool motionExportFormatFromName(const std::string &name, MotionExportFormat *format)
{
    for (const FormatNames &names : formatNames)
        if (name == names.name) {
            *format = names.format;
            return true;
        }
    return false;
}

void appendNumber(std::string &out, double value)
{
    // to_chars with a precision writes what printf's %.17g writes, without
    // its locale and at a fraction of its cost.
    char text[32];
    const std::to_chars_result result
        = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17);
    out.append(text, result.ptr);
}

bool parseRobotPose(const std::string &text, RobotPose *pose)
{
    size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    const auto expect = [&](char c) {
        skipBlanks();
        if (i >= text.size() || text[i] != c)
            return false;
        ++i;
        return true;
    };
    skipBlanks();
    if (i < text.size() && text[i] == 'p')
        ++i;
    if (!expect('['))
        return false;
    double values[6];
    for (int k = 0; k < 6; ++k) {
        if (k > 0 && !expect(','))
            return false;
        skipBlanks();
        if (i < text.size() && text[i] == '+')
            ++i;
        const char *begin = text.data() + i;
        const std::from_chars_result result
            = std::from_chars(begin, text.data() + text.size(), values[k]);
        if (result.ec != std::errc() || !std::isfinite(values[k]))
            return false;
        i += static_cast<size_t>(result.ptr - begin);
    }
    if (!expect(']'))
        return false;
    skipBlanks();
    if (i != text.size())
        return false;
    for (int k = 0; k < 3; ++k) {
        pose->position[k] = values[k];
        pose->rotationVector[k] = values[k + 3];
    }
    return true;
}

Quaternion quaternionFromRotationVector(const double r[3])
{
    const double angle = norm3(r);
    if (angle == 0.0)
        return Quaternion(0.0, 0.0, 0.0, 1.0);
    const double s = std::sin(angle / 2.0) / angle;
    return Quaternion(r[0] * s, r[1] * s, r[2] * s, std::cos(angle / 2.0));
}

void rotationVector(const Quaternion &unit, const double *previous, double r[3])
{
    // The angle from atan2 of the vector part's length and w stays accurate
    // at both ends: near 0, where acos(w) loses half the digits, and near pi.
    double v[3] = { unit.x(), unit.y(), unit.z() };
    double w = unit.w();
    if (w < 0.0) {
        w = -w;
        for (double &c : v)
            c = -c;
    }
    const double length = norm3(v);
    if (length == 0.0) {
        r[0] = r[1] = r[2] = 0.0;
        return;
    }
    const double axis[3] = { v[0] / length, v[1] / length, v[2] / length };
    const double angle = 2.0 * std::atan2(length, w);
    for (int c = 0; c < 3; ++c)
        r[c] = axis[c] * angle;
    if (!previous)
        return;
    // Along the axis, the equivalent vectors lie 2 pi apart: take the one
    // nearest to the previous vector's own component along it.
    const double along = axis[0] * previous[0] + axis[1] * previous[1] + axis[2] * previous[2];
    const double turns = std::round((along - angle) / (2.0 * pi));
    if (!std::isfinite(turns) || turns == 0.0)
        return;
    const double shifted = angle + 2.0 * pi * turns;
    for (int c = 0; c < 3; ++c)
        r[c] = axis[c] * shifted;
}

bool exportPoses(
    const std::vector<DualQuaternion> &poses, std::vector<ExportPose> *out, size_t *badIndex)
{
    out->clear();
    out->reserve(poses.size());
    for (size_t i = 0; i < poses.size(); ++i) {
        const Matrix4 m = poses[i].toMatrix();
        const Quaternion real = poses[i].realPart();
        const double norm = std::sqrt(real.squaredNorm());
        ExportPose pose;
        pose.position[0] = m(0, 3);
        pose.position[1] = m(1, 3);
        pose.position[2] = m(2, 3);
        pose.orientation
            = Quaternion(real.x() / norm, real.y() / norm, real.z() / norm, real.w() / norm);
        const bool finite = std::isfinite(pose.position[0]) && std::isfinite(pose.position[1])
            && std::isfinite(pose.position[2]) && norm > 0.0 && std::isfinite(norm);
        if (!finite) {
            out->clear();
            if (badIndex)
                *badIndex = i;
            return false;
        }
        // q and -q are the same rotation; a reader that interpolates
        // neighbours needs them on the same side.
        const bool flip = out->empty()
            ? pose.orientation.w() < 0.0
            : Quaternion::dot(pose.orientation, out->back().orientation) < 0.0;
        if (flip)
            pose.orientation = -1.0 * pose.orientation;
        out->push_back(pose);
    }
    return true;
}

std::string csvText(const std::vector<ExportPose> &poses)
{
    std::string out = "index,x,y,z,qx,qy,qz,qw\n";
    out.reserve(out.size() + poses.size() * 200);
    char index[24];
    for (size_t i = 0; i < poses.size(); ++i) {
        const std::to_chars_result result = std::to_chars(index, index + sizeof index, i);
        out.append(index, result.ptr);
        appendRow(out, poses[i], ',');
    }
    return out;
}

std::string tumText(const std::vector<ExportPose> &poses, double durationSeconds)
{
    std::string out;
    out.reserve(poses.size() * 220);
    const size_t last = poses.empty() ? 0 : poses.size() - 1;
    for (size_t i = 0; i < poses.size(); ++i) {
        const double t = last == 0 ? 0.0
            : i == last            ? durationSeconds
                        : durationSeconds * static_cast<double>(i) / static_cast<double>(last);
        appendNumber(out, t);
        appendRow(out, poses[i], ' ');
    }
    return out;
}

std::string urscriptText(const std::vector<ExportPose> &poses, const URScriptSettings &settings)
{
    // Waypoints in the robot's base frame: base_from_pose = base_from_camera
    // * camera_from_pose.
    const Quaternion baseRotation = settings.hasCameraInBase
        ? quaternionFromRotationVector(settings.cameraInBase.rotationVector)
        : Quaternion(0.0, 0.0, 0.0, 1.0);
    double rotation[3][3];
    baseRotation.rotationEntries(rotation);
    std::vector<ExportPose> waypoints;
    waypoints.reserve(poses.size());
    for (const ExportPose &pose : poses) {
        ExportPose w;
        for (int r = 0; r < 3; ++r) {
            w.position[r] = settings.hasCameraInBase ? settings.cameraInBase.position[r] : 0.0;
            for (int c = 0; c < 3; ++c)
                w.position[r] += rotation[r][c] * pose.position[c];
        }
        w.orientation = baseRotation * pose.orientation;
        if (!waypoints.empty()
            && Quaternion::dot(w.orientation, waypoints.back().orientation) < 0.0)
            w.orientation = -1.0 * w.orientation;
        waypoints.push_back(w);
    }

    double pathLength = 0.0;
    double smallestSpacing = std::numeric_limits<double>::infinity();
    for (size_t i = 1; i < waypoints.size(); ++i) {
        const double d = distance3(waypoints[i - 1].position, waypoints[i].position);
        pathLength += d;
        smallestSpacing = std::min(smallestSpacing, d);
    }
    if (!std::isfinite(smallestSpacing))
        smallestSpacing = 0.0;
    const double blend = urscriptBlendShare * smallestSpacing;
    const double duration = settings.durationSeconds;
    const double speed = std::max(urscriptMinimumSpeed, pathLength / duration);

    std::string out = "def handmotion_path():\n";
    for (const std::string &line : settings.description)
        out += "  # " + line + "\n";
    out += "  # Positions in metres, rotation vectors in radians.\n";
    if (settings.hasCameraInBase) {
        out += "  # Camera in base: p[";
        for (int k = 0; k < 6; ++k) {
            if (k > 0)
                out += ", ";
            appendNumber(out,
                k < 3 ? settings.cameraInBase.position[k]
                      : settings.cameraInBase.rotationVector[k - 3]);
        }
        out += "]: waypoints in the robot's base frame.\n";
    } else {
        out += "  # Camera in base: identity: waypoints in the camera frame as captured.\n";
    }
    out += "  # Path " + sixDigits(pathLength) + " m in " + sixDigits(duration) + " s: tool speed "
        + sixDigits(speed) + " m/s, acceleration " + sixDigits(urscriptAcceleration) + " m/s^2.\n";
    out += "  # Blend radius " + sixDigits(blend) + " m: below half the smallest waypoint spacing, "
        + sixDigits(smallestSpacing) + " m; the last move stops.\n";

    out.reserve(out.size() + waypoints.size() * 260);
    double previous[3] = { 0.0, 0.0, 0.0 };
    for (size_t i = 0; i < waypoints.size(); ++i) {
        double r[3];
        rotationVector(waypoints[i].orientation, i == 0 ? nullptr : previous, r);
        std::copy(r, r + 3, previous);
        out += "  movel(p[";
        for (int k = 0; k < 6; ++k) {
            if (k > 0)
                out += ", ";
            appendNumber(out, k < 3 ? waypoints[i].position[k] : r[k - 3]);
        }
        out += "], a=";
        appendNumber(out, urscriptAcceleration);
        out += ", v=";
        appendNumber(out, speed);
        out += ", r=";
        appendNumber(out, i + 1 == waypoints.size() ? 0.0 : blend);
        out += ")\n";
    }
    out += "end\n";
    return out;
}

namespace {

std::string kindDescription(const MotionExportRequest &request, size_t keyCount, size_t poseCount)
{
    std::string text = std::string("handmotion ") + motionKindTitle(request.kind);
    if (request.kind == MotionKind::Approximation || request.kind == MotionKind::Interpolation)
        text += " of degree " + std::to_string(request.degree);
    text += " from " + std::to_string(keyCount) + " key positions: " + std::to_string(poseCount)
        + " waypoints";
    text += request.constantSpeed ? ", resampled to constant speed along the path"
                                  : ", density " + std::to_string(request.density);
    return text + ".";
}

} // namespace

bool motionExportText(const MotionExportRequest &request,
    const std::vector<DualQuaternion> &keyPoses, std::string *text, std::string *error,
    size_t *poseCount)
{
    const auto fail = [error](const std::string &why) {
        *error = why;
        return false;
    };
    const int n = static_cast<int>(keyPoses.size());
    const bool bspline
        = request.kind == MotionKind::Approximation || request.kind == MotionKind::Interpolation;
    const std::string title = motionKindTitle(request.kind);
    if (request.density < 0 || request.density > 100)
        return fail("density " + std::to_string(request.density) + " is out of range 0 to 100");
    const int needed = bspline ? 3 : 2;
    if (n < needed)
        return fail("the " + title + " needs at least " + std::to_string(needed)
            + " key positions; there " + (n == 1 ? "is " : "are ") + std::to_string(n));
    if (bspline && (request.degree < 1 || request.degree > n - 1))
        return fail("degree " + std::to_string(request.degree) + " is out of range 1 to "
            + std::to_string(n - 1) + " for " + std::to_string(n) + " key positions");
    if (!std::isfinite(request.durationSeconds))
        return fail("the duration is not a finite number");
    const double duration = request.durationSeconds > 0.0 ? request.durationSeconds : n - 1.0;

    std::vector<DualQuaternion> poses
        = drawnMotionPoses(request.kind, keyPoses, request.density, request.degree);
    if (poses.empty()) {
        if (request.kind == MotionKind::Interpolation)
            return fail("the " + title + " cannot be computed: its basis matrix for "
                + std::to_string(n) + " key positions and degree " + std::to_string(request.degree)
                + " does not invert");
        return fail("the " + title + " has no poses");
    }
    if (request.constantSpeed) {
        const MotionCurve curve(request.kind, keyPoses, request.degree);
        double length = 0.0;
        poses = constantSpeedPoses(curve, static_cast<int>(poses.size()), &length);
        if (poses.empty())
            return fail("the " + title + " passes through a pose that is not finite");
    }
    std::vector<ExportPose> exported;
    size_t bad = 0;
    if (!exportPoses(poses, &exported, &bad))
        return fail("pose " + std::to_string(bad) + " of the " + title
            + " is not finite (a blend of opposite key poses)");

    switch (request.format) {
    case MotionExportFormat::Csv:
        *text = csvText(exported);
        break;
    case MotionExportFormat::Tum:
        *text = tumText(exported, duration);
        break;
    case MotionExportFormat::URScript: {
        URScriptSettings settings;
        settings.durationSeconds = duration;
        settings.hasCameraInBase = request.hasCameraInBase;
        settings.cameraInBase = request.cameraInBase;
        settings.description.push_back(kindDescription(request, keyPoses.size(), exported.size()));
        *text = urscriptText(exported, settings);
        break;
    }
    }
    if (poseCount)
        *poseCount = exported.size();
    return true;
}
