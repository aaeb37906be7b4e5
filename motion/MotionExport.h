#pragma once

#include "motion/MotionExportFormat.h"
#include "motion/MotionKind.h"

#include <string>
#include <vector>

// Writing computed motions: the poses a motion draws (or resampled to
// constant speed) in one of the formats. Positions are the translation of
// toMatrix() in the camera frame as captured (not the view's scene units);
// orientations have signs continuous along the motion, the first with
// w >= 0.

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
    // For a kind with a degree: 1 .. number of key poses - 1.
    int degree = 3;
    bool constantSpeed = false;
    MotionExportFormat format = MotionExportFormat::Csv;
    // Total time of the motion in seconds; 0 or less means 1 s per key
    // segment.
    double durationSeconds = 0.0;
    // For a format that takes it: the camera's pose in the robot's base
    // frame.
    bool hasCameraInBase = false;
    RobotPose cameraInBase;
};

// The whole text of one export, or false with a one-line reason in *error
// (a density or degree out of range, too few key poses, a motion that
// cannot be computed, a pose that is not finite). *poseCount, when given,
// receives the number of poses written.
bool motionExportText(const MotionExportRequest &request,
    const std::vector<DualQuaternion> &keyPoses, std::string *text, std::string *error,
    size_t *poseCount = nullptr);
