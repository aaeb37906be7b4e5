#pragma once

#include "algebra/DenseMatrix.h"
#include "algebra/DualQuaternion.h"
#include "algebra/Matrix4.h"
#include "algebra/Quaternion.h"

#include <vector>

#include <QByteArray>

// Full-precision text of a value, for failure messages.
QByteArray describe(const Quaternion &q);
QByteArray describe(const DualQuaternion &q);
QByteArray describe(const Matrix4 &m);

// Printable values for QCOMPARE failures, found by argument-dependent lookup.
char *toString(const Quaternion &q);
char *toString(const DualQuaternion &q);
char *toString(const Matrix4 &m);

// Largest absolute difference over all components; NaN anywhere gives NaN,
// so a check "difference <= tolerance" fails on it. Tolerances are chosen by
// each test next to the computation they bound.
double maxAbsDifference(const Quaternion &a, const Quaternion &b);
double maxAbsDifference(const Matrix4 &a, const Matrix4 &b);
// The smaller of the differences to q and to -q: both are the same rotation.
double rotationDifference(const Quaternion &a, const Quaternion &q);

// The 3 x 3 block of a 3 x 3 DenseMatrix, in a Matrix4 with (3, 3) = 1.
Matrix4 matrix4FromRotation(const DenseMatrix &r);
// The upper-left 3 x 3 block times its transpose, minus the identity: the
// largest absolute element; 0 for an orthonormal block.
double orthonormalityError(const Matrix4 &m);
double rotationDeterminant(const Matrix4 &m);

// A unit rotation quaternion with a named sampling property, and its axis and
// angle for independent oracles.
struct RotationSample {
    const char *kind;
    double axis[3];
    double angleRadians;
    Quaternion q;
};

// A fixed, seeded set of rotations: uniform axes with uniform angles, angles
// a hair above 0 and a hair below 180 degrees, exactly 0 and 180 degrees,
// rotations about each coordinate axis, and sign-flipped quaternions (the
// same rotations as -q). The same seed gives the same set on every run.
std::vector<RotationSample> sampleRotations(unsigned seed, int uniformCount);

// A translation with components spread over several orders of magnitude
// (1e-3 to 1e3), of either sign.
void sampleTranslation(unsigned seed, double t[4]);
