#include "motion/MotionExportFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

double distance3(const double a[3], const double b[3])
{
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
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

const std::vector<MotionExportFormatInfo> &motionExportFormats()
{
    using F = MotionExportFormat;
    using Poses = std::vector<ExportPose>;
    using Settings = MotionExportSettings;
    static const std::vector<MotionExportFormatInfo> formats = {
        { F::Csv, "csv", ".csv", "CSV table: index, x, y, z, qx, qy, qz, qw",
            [](const Poses &poses, const Settings &) { return csvText(poses); }, false },
        { F::Tum, "tum", ".txt", "TUM trajectory: t x y z qx qy qz qw",
            [](const Poses &poses, const Settings &settings) {
                return tumText(poses, settings.durationSeconds);
            },
            false },
        { F::URScript, "urscript", ".script", "URScript program of linear moves",
            [](const Poses &poses, const Settings &settings) {
                return urscriptText(poses, settings);
            },
            true },
    };
    return formats;
}

const MotionExportFormatInfo &motionExportFormatInfo(MotionExportFormat format)
{
    return motionExportFormats()[static_cast<size_t>(format)];
}

const char *motionExportFormatName(MotionExportFormat format)
{
    return motionExportFormatInfo(format).name;
}

const char *motionExportSuffix(MotionExportFormat format)
{
    return motionExportFormatInfo(format).suffix;
}

bool motionExportFormatFromName(const std::string &name, MotionExportFormat *format)
{
    for (const MotionExportFormatInfo &info : motionExportFormats())
        if (name == info.name) {
            *format = info.format;
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

std::string urscriptText(const std::vector<ExportPose> &poses, const MotionExportSettings &settings)
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
