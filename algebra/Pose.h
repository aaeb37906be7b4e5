#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Matrix4.h"
#include "algebra/Quaternion.h"

#include <QVector3D>

// Capture mode: how a frame is formed from three tracked points. Any other
// value makes the functions below return zeros.
using PoseMode = int;
constexpr PoseMode PoseModeSpatial = 0;
constexpr PoseMode PoseModePlanar = 1;

// The pose frame of three points. Spatial: y from origin to towardY, z normal
// to the plane of the three points, x in that plane on towardX's side.
// Planar: a rotation about z from the xy direction origin → towardY; the
// frame's z translation is the constant 1. Vector steps are single precision
// on purpose (QVector3D). Any other mode gives the zero matrix.
Matrix4 frameFromPoints(
    const QVector3D &origin, const QVector3D &towardY, const QVector3D &towardX, PoseMode mode);

// Rodrigues' rotation of v by angleDegrees about axis, right-handed, single
// precision.
QVector3D rotateVector(const QVector3D &v, float angleDegrees, const QVector3D &axis);

// The unit quaternion of the rotation in M's upper-left 3 x 3 block. Prints
// "CALCULATION ERROR" on standard output when no component dominates (only
// possible with NaN input) and returns the then meaningless values.
Quaternion rotationMatrixToQuaternion(const Matrix4 &m);

// The pose of frame M. Spatial: rotation and translation from the whole
// matrix. Planar: a rotation about z by atan2(-m01, m00), in (-180, 180]
// degrees (no rotation when either entry is NaN or both are zero), and a
// translation from m03/m13. Any other mode gives DualQuaternion::zero().
DualQuaternion poseFromMatrix(const Matrix4 &m, PoseMode mode);

// +1 for x >= 0 (and for -0.0), -1 otherwise, NaN included.
float signOf(double x);

// (v, 2·length) / |(v, 2·length)|, and its conjugate in the vector part.
Quaternion translationQuaternion(const QVector3D &v, double length);
Quaternion translationQuaternionConjugate(const QVector3D &v, double length);
// translationQuaternion(v, length) * q and translationQuaternionConjugate(v, length) * q.
Quaternion poseQuaternionPlus(const Quaternion &q, const QVector3D &v, double length);
Quaternion poseQuaternionMinus(const Quaternion &q, const QVector3D &v, double length);
