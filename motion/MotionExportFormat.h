#pragma once

#include "algebra/Quaternion.h"
#include "algebra/RobotPose.h"

#include <string>
#include <vector>

// The file formats computed motions are written in, for robots, simulators
// and scripts. Positions are in metres, orientations unit quaternions (x, y,
// z, w, scalar last); every number is written as %.17g, so that it reads
// back to the same double.

enum class MotionExportFormat { Csv, Tum, URScript };

// A pose as it is exported: position in metres, unit quaternion.
struct ExportPose {
    double position[3] = { 0.0, 0.0, 0.0 };
    Quaternion orientation { 0.0, 0.0, 0.0, 1.0 };
};

// What a writer may need beyond the poses.
struct MotionExportSettings {
    // Total time of the motion, s.
    double durationSeconds = 1.0;
    // The camera's pose in the robot's base frame (for the formats that take
    // it); the waypoints are mapped into the base frame with it.
    bool hasCameraInBase = false;
    RobotPose cameraInBase;
    // The first lines of a header comment: what motion this is.
    std::vector<std::string> description;
};

// One format: all that the export, its dialog and the command line know of
// it. A new format is a row here and its writer.
struct MotionExportFormatInfo {
    MotionExportFormat format;
    // The command line's name: "csv".
    const char *name;
    // The file name suffix: ".csv", ".txt" (the trajectory tables' usual
    // suffix), ".script".
    const char *suffix;
    // What the dialog offers.
    const char *label;
    std::string (*write)(
        const std::vector<ExportPose> &poses, const MotionExportSettings &settings);
    bool takesCameraInBase;
};

// Every format, in MotionExportFormat order.
const std::vector<MotionExportFormatInfo> &motionExportFormats();
const MotionExportFormatInfo &motionExportFormatInfo(MotionExportFormat format);

const char *motionExportFormatName(MotionExportFormat format);
const char *motionExportSuffix(MotionExportFormat format);
bool motionExportFormatFromName(const std::string &name, MotionExportFormat *format);

// The writers.
//   csv:      "index,x,y,z,qx,qy,qz,qw", then one line per pose from index 0.
//   tum:      "t x y z qx qy qz qw" per pose, t from 0 to the duration in
//             equal steps.
//   urscript: "def handmotion_path():", a header comment, one movel per
//             pose, "end".
std::string csvText(const std::vector<ExportPose> &poses);
std::string tumText(const std::vector<ExportPose> &poses, double durationSeconds);
// Acceleration of every move, m/s²: moderate, within what arms allow by
// default.
constexpr double urscriptAcceleration = 1.2;
// The slowest tool speed a program asks for, m/s (a path of no length).
constexpr double urscriptMinimumSpeed = 0.001;
// The blend radius is this share of the smallest spacing between
// neighbouring waypoints: below half of it, so that no two blends overlap
// and the robot passes every waypoint.
constexpr double urscriptBlendShare = 0.4;
std::string urscriptText(
    const std::vector<ExportPose> &poses, const MotionExportSettings &settings);

// %.17g, the shortest form C gives that reads back to the same double.
void appendNumber(std::string &out, double value);
