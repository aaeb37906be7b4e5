#include "algebra/Pose.h"

#include <cmath>
#include <cstdio>

namespace {

// The degree-to-radian factor the capture has always used; it differs from
// the double nearest to pi/180 in its last digits, and frames depend on it.
constexpr double degreesToRadians = 0.01745329251993889;

const QVector3D unitX(1.0f, 0.0f, 0.0f);
const QVector3D unitY(0.0f, 1.0f, 0.0f);
const QVector3D unitZ(0.0f, 0.0f, 1.0f);

} // namespace

Matrix4 frameFromPoints(
    const QVector3D &origin, const QVector3D &towardY, const QVector3D &towardX, PoseMode mode)
{
    Matrix4 m;
    if (mode == PoseModeSpatial) {
        // Single precision throughout, as the joints arrive.
        const QVector3D x0 = (towardX - origin).normalized();
        const QVector3D y = (towardY - origin).normalized();
        const QVector3D z = QVector3D::crossProduct(x0, y).normalized();
        const QVector3D x = QVector3D::crossProduct(y, z).normalized();
        const QVector3D *axes[3] = { &x, &y, &z };
        const QVector3D *units[3] = { &unitX, &unitY, &unitZ };
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m(r, c) = static_cast<double>(QVector3D::dotProduct(*axes[c], *units[r]));
            m(r, 3) = static_cast<double>(QVector3D::dotProduct(origin, *units[r]));
        }
        m(3, 3) = 1.0;
    } else if (mode == PoseModePlanar) {
        // Only the xy difference counts: both points are lifted to z = 1.
        QVector3D o = origin;
        QVector3D ty = towardY;
        o.setZ(1.0f);
        ty.setZ(1.0f);
        const QVector3D v = (ty - o).normalized();
        const QVector3D b = rotateVector(v, -90.0f, unitZ).normalized();
        m(0, 0) = b.x();
        m(0, 1) = v.x();
        m(0, 3) = origin.x();
        m(1, 0) = b.y();
        m(1, 1) = v.y();
        m(1, 3) = origin.y();
        m(2, 2) = 1.0;
        m(2, 3) = 1.0;
        m(3, 3) = 1.0;
    }
    return m;
}

QVector3D rotateVector(const QVector3D &v, float angleDegrees, const QVector3D &axis)
{
    const QVector3D n = axis.normalized();
    const float a = static_cast<float>(static_cast<double>(angleDegrees) * degreesToRadians);
    const float s = std::sin(a);
    const float c = std::cos(a);
    const float t = 1.0f - c;
    const float nx = n.x(), ny = n.y(), nz = n.z();
    const float x = v.x() * (nx * nx * t + c) + v.y() * (nx * ny * t - nz * s)
        + v.z() * (nx * nz * t + ny * s);
    const float y = v.x() * (ny * nx * t + nz * s) + v.y() * (ny * ny * t + c)
        + v.z() * (ny * nz * t - nx * s);
    const float z = v.x() * (nz * nx * t - ny * s) + v.y() * (nz * ny * t + nx * s)
        + v.z() * (nz * nz * t + c);
    return QVector3D(x, y, z);
}

float signOf(double x) { return x >= 0.0 ? 1.0f : -1.0f; }

Quaternion rotationMatrixToQuaternion(const Matrix4 &m)
{
    const double m00 = m(0, 0), m01 = m(0, 1), m02 = m(0, 2);
    const double m10 = m(1, 0), m11 = m(1, 1), m12 = m(1, 2);
    const double m20 = m(2, 0), m21 = m(2, 1), m22 = m(2, 2);

    double w = (m00 + m11 + m22 + 1.0) / 4.0;
    double x = (m00 - m11 - m22 + 1.0) / 4.0;
    double y = (-m00 + m11 - m22 + 1.0) / 4.0;
    double z = (-m00 - m11 + m22 + 1.0) / 4.0;
    // Rounding can push a vanishing component below zero; a NaN stays NaN.
    if (w < 0.0)
        w = 0.0;
    if (x < 0.0)
        x = 0.0;
    if (y < 0.0)
        y = 0.0;
    if (z < 0.0)
        z = 0.0;
    w = std::sqrt(w);
    x = std::sqrt(x);
    y = std::sqrt(y);
    z = std::sqrt(z);

    // The largest component keeps its positive sign; ties go to the earlier case.
    if (w >= x && w >= y && w >= z) {
        x *= signOf(m21 - m12);
        y *= signOf(m02 - m20);
        z *= signOf(m10 - m01);
    } else if (x >= w && x >= y && x >= z) {
        w *= signOf(m21 - m12);
        y *= signOf(m10 + m01);
        z *= signOf(m02 + m20);
    } else if (y >= w && y >= x && y >= z) {
        w *= signOf(m02 - m20);
        x *= signOf(m10 + m01);
        z *= signOf(m21 + m12);
    } else if (z >= w && z >= x && z >= y) {
        w *= signOf(m10 - m01);
        x *= signOf(m20 + m02);
        y *= signOf(m21 + m12);
    } else {
        std::fputs("CALCULATION ERROR\n", stdout);
        std::fflush(stdout);
    }

    // The squared sum, not its root: it is 1 unless a component was clamped.
    const double n = x * x + y * y + z * z + w * w;
    return Quaternion(x / n, y / n, z / n, w / n);
}

DualQuaternion poseFromMatrix(const Matrix4 &m, PoseMode mode)
{
    if (mode == PoseModeSpatial) {
        const Quaternion q = rotationMatrixToQuaternion(m);
        const double t[4] = { m(0, 3), m(1, 3), m(2, 3), 0.0 };
        return DualQuaternion::fromRotationTranslation(q.data(), t);
    }
    if (mode == PoseModePlanar) {
        // A rotation about z by th, with m00 = cos th and m01 = -sin th.
        // atan2 equals acos(m00) with the sign of -m01 wherever both entries
        // are non-zero and the column is of unit length, and gives the right
        // angle on the axes too. 0.0 - m01 turns a -0.0 into +0.0, so the
        // angle lies in (-180, 180] whatever the sign of a zero entry: a half
        // turn is +180 degrees, never -180. Entries that are not
        // numbers, or both zero (a degenerate frame), give no rotation.
        const double m00 = m(0, 0), m01 = m(0, 1), m03 = m(0, 3), m13 = m(1, 3);
        double th = 0.0;
        if (!std::isnan(m00) && !std::isnan(m01) && (m00 != 0.0 || m01 != 0.0))
            th = std::atan2(0.0 - m01, m00);
        const double h = th / 2.0;
        const double cs = std::cos(h);
        const double sn = std::sin(h);
        const double real[4] = { 0.0, 0.0, sn, cs };
        const double dual[4] = { (m03 / 2.0) * cs + (m13 / 2.0) * sn,
            (m13 / 2.0) * cs - (m03 / 2.0) * sn, 0.0, 0.0 };
        return DualQuaternion(real, dual);
    }
    return DualQuaternion::zero();
}

Quaternion translationQuaternion(const QVector3D &v, double length)
{
    const float l = v.length();
    const QVector3D u = v.normalized();
    const double s = std::sqrt(4.0 * length * length + static_cast<double>(l * l));
    const float k = static_cast<float>(static_cast<double>(l) / s);
    const QVector3D scaled = u * k;
    return Quaternion(scaled.x(), scaled.y(), scaled.z(), 2.0 * length / s);
}

Quaternion translationQuaternionConjugate(const QVector3D &v, double length)
{
    const Quaternion q = translationQuaternion(v, length);
    return Quaternion(-q.x(), -q.y(), -q.z(), q.w());
}

Quaternion poseQuaternionPlus(const Quaternion &q, const QVector3D &v, double length)
{
    return translationQuaternion(v, length) * q;
}

Quaternion poseQuaternionMinus(const Quaternion &q, const QVector3D &v, double length)
{
    return translationQuaternionConjugate(v, length) * q;
}
