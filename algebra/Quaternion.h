#pragma once

#include <type_traits>

class DenseMatrix;

// A quaternion of doubles stored as x, y, z, w: the vector part first, the
// scalar w LAST. A rotation by angle a about the unit axis n is
// (n sin(a/2), cos(a/2)). Default construction gives four zeros, not the
// identity rotation. No operation normalises; division by zero propagates
// IEEE infinities and NaN.
class Quaternion {
public:
    Quaternion() = default;
    Quaternion(double x, double y, double z, double w)
        : m_v { x, y, z, w }
    {
    }
    explicit Quaternion(const double v[4])
        : m_v { v[0], v[1], v[2], v[3] }
    {
    }

    double x() const { return m_v[0]; }
    double y() const { return m_v[1]; }
    double z() const { return m_v[2]; }
    double w() const { return m_v[3]; }
    // The four components in storage order x, y, z, w.
    const double *data() const { return m_v; }

    // (-x, -y, -z, w).
    Quaternion conjugate() const { return Quaternion(-m_v[0], -m_v[1], -m_v[2], m_v[3]); }
    // x² + y² + z² + w², no square root.
    double squaredNorm() const
    {
        return m_v[0] * m_v[0] + m_v[1] * m_v[1] + m_v[2] * m_v[2] + m_v[3] * m_v[3];
    }
    static double dot(const Quaternion &a, const Quaternion &b)
    {
        return a.m_v[0] * b.m_v[0] + a.m_v[1] * b.m_v[1] + a.m_v[2] * b.m_v[2]
            + a.m_v[3] * b.m_v[3];
    }

    // The 3 x 3 rotation of q / |q| (every entry divided by the squared norm),
    // for any non-zero q.
    DenseMatrix toRotationMatrix() const;
    // The same nine entries without a heap matrix, for the drawing hot path.
    void rotationEntries(double r[3][3]) const;

private:
    double m_v[4] = { 0.0, 0.0, 0.0, 0.0 };
};

static_assert(sizeof(Quaternion) == 4 * sizeof(double) && std::is_trivially_copyable_v<Quaternion>,
    "a Quaternion is four doubles in place, copied bitwise");

// Hamilton product, scalar stored last: i * j = k, j * i = -k. (a * b) applied
// to a vector applies b first.
Quaternion operator*(const Quaternion &a, const Quaternion &b);
Quaternion operator-(const Quaternion &a, const Quaternion &b);
Quaternion operator*(double s, const Quaternion &a);
Quaternion operator/(const Quaternion &a, double s);
// Exact, component-wise.
bool operator==(const Quaternion &a, const Quaternion &b);
bool operator!=(const Quaternion &a, const Quaternion &b);
