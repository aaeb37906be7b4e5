#pragma once

#include "algebra/Quaternion.h"
#include "motion/MotionCurve.h"

#include <string>
#include <vector>

// Writing computed motions for robots, simulators and scripts. Positions are
// the translation of toMatrix() in metres, in the camera frame as captured
// (not the view's scene units); orientations are unit quaternions (x, y, z,
// w, scalar last) whose signs are continuous along the motion, the first
// with w >= 0. Every number is written as %.17g, so that it reads back to
// the same double.

enum class MotionExportFormat { Csv, Tum, URScript };

const char *motionExportFormatName(MotionExportFormat format);
bool motionExportFormatFromName(const std::string &name, MotionExportFormat *format);
// ".csv", ".txt" (the trajectory tables' usual suffix), ".script".
const char *motionExportSuffix(MotionExportFormat format);

// A pose as it is exported: position in metres, unit quaternion.
struct ExportPose {
    double position[3] = { 0.0, 0.0, 0.0 };
    Quaternion orientation { 0.0, 0.0, 0.0, 1.0 };
};

// A rigid transform written as a robot pose p[x, y, z, rx, ry, rz]: metres
// and a rotation vector in radians.
struct RobotPose {
    double position[3] = { 0.0, 0.0, 0.0 };
    double rotationVector[3] = { 0.0, 0.0, 0.0 };
};

// Reads "p[x, y, z, rx, ry, rz]" (blanks anywhere between the tokens, the
// "p" optional); false on anything else or a number that is not finite.
bool parseRobotPose(const std::string &text, RobotPose *pose);
// The unit quaternion of a rotation vector, and back. rotationVector()
// gives the vector of angle 0 .. pi; with a previous vector it gives the
// one of all equivalent vectors (the axis times the angle plus any multiple
// of 2 pi) that lies nearest to it, so that a motion through pi keeps going
// instead of flipping to the opposite side.
Quaternion quaternionFromRotationVector(const double r[3]);
void rotationVector(const Quaternion &unit, const double *previous, double r[3]);

// The exported poses of drawn (or resampled) poses: positions from
// toMatrix(), the real part normalised, signs made continuous. Returns false
// when a pose is not finite (a blend whose real part vanished); *badIndex
// then names the first.
bool exportPoses(const std::vector<DualQuaternion> &poses, std::vector<ExportPose> *out,
    size_t *badIndex = nullptr);

// What an export is asked for, by the window or the command line.
struct MotionExportRequest {
    MotionKind kind = MotionKind::Screw;
    int density = 100;
    // For the two B-spline kinds: 1 .. number of key poses - 1.
    int degree = 3;
    bool constantSpeed = false;
    MotionExportFormat format = MotionExportFormat::Csv;
    // Total time of the motion in seconds; 0 or less means 1 s per key
    // segment.
    double durationSeconds = 0.0;
    // For URScript: the camera's pose in the robot's base frame; the
    // waypoints are mapped into the base frame with it.
    bool hasCameraInBase = false;
    RobotPose cameraInBase;
};

// The whole text of one export, or false with a one-line reason in *error
// (a density or degree out of range, too few key poses, an interpolation
// that cannot be computed, a pose that is not finite). *poseCount, when
// given, receives the number of poses written.
bool motionExportText(const MotionExportRequest &request,
    const std::vector<DualQuaternion> &keyPoses, std::string *text, std::string *error,
    size_t *poseCount = nullptr);

// The three formats on their own, for exported poses.
//   csv:      "index,x,y,z,qx,qy,qz,qw", then one line per pose from index 0.
//   tum:      "t x y z qx qy qz qw" per pose, t from 0 to the duration in
//             equal steps.
//   urscript: "def handmotion_path():", a header comment, one movel per
//             pose, "end".
std::string csvText(const std::vector<ExportPose> &poses);
std::string tumText(const std::vector<ExportPose> &poses, double durationSeconds);

struct URScriptSettings {
    double durationSeconds = 1.0;
    bool hasCameraInBase = false;
    RobotPose cameraInBase;
    // The first lines of the header comment: what motion this is.
    std::vector<std::string> description;
};
// Acceleration of every move, m/s²: moderate, within what arms allow by
// default.
constexpr double urscriptAcceleration = 1.2;
// The slowest tool speed a program asks for, m/s (a path of no length).
constexpr double urscriptMinimumSpeed = 0.001;
// The blend radius is this share of the smallest spacing between
// neighbouring waypoints: below half of it, so that no two blends overlap
// and the robot passes every waypoint.
constexpr double urscriptBlendShare = 0.4;
std::string urscriptText(const std::vector<ExportPose> &poses, const URScriptSettings &settings);

// %.17g, the shortest form C gives that reads back to the same double.
void appendNumber(std::string &out, double value);
