#pragma once

#include "algebra/Quaternion.h"

#include <string>

// A rigid transform as robot controllers write it, p[x, y, z, rx, ry, rz]:
// a position in metres and a rotation vector (unit axis times the angle) in
// radians.
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
