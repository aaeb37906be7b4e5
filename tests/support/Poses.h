#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Matrix4.h"

#include <QVector3D>

// A unit pose: rotation by angleDegrees about axis (normalised here), then
// translation t.
DualQuaternion makePose(double angleDegrees, const QVector3D &axis, const QVector3D &t);
// A pose as the capture stores it: through the rotation matrix and
// rotationMatrixToQuaternion, which makes the largest component positive.
DualQuaternion capturedPose(double angleDegrees, const QVector3D &axis, const QVector3D &t);
// The rotation angle of a pose matrix's 3 x 3 block, in degrees (0 to 180).
double rotationAngleDegrees(const Matrix4 &m);
// Largest element-wise difference of two matrices; infinite when any
// element is not a number.
double maxDifference(const Matrix4 &a, const Matrix4 &b);
