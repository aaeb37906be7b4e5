#pragma once

#include "algebra/Quaternion.h"

#include <type_traits>

class Matrix4;

// A dual number real + ε·dual. Default construction gives (1, 0).
class DualNumber {
public:
    DualNumber() = default;
    DualNumber(double real, double dual)
        : m_real(real)
        , m_dual(dual)
    {
    }

    void set(double real, double dual)
    {
        m_real = real;
        m_dual = dual;
    }
    double real() const { return m_real; }
    double dual() const { return m_dual; }

private:
    double m_real = 1.0;
    double m_dual = 0.0;
};

DualNumber operator+(const DualNumber &a, const DualNumber &b);
bool operator==(const DualNumber &a, const DualNumber &b);
bool operator!=(const DualNumber &a, const DualNumber &b);

// A dual quaternion: four dual numbers, one per quaternion component, in the
// order x, y, z, w (scalar last). The eight doubles are laid out x.real,
// x.dual, y.real, y.dual, z.real, z.dual, w.real, w.dual.
//
// A pose with rotation q and translation t has real part q and dual part
// 0.5 * T * q with T = (t, 0). Poses are never normalised: toMatrix() divides
// by the squared norm of the real part, so s * Q is the same pose as Q for any
// non-zero s and a dual quaternion acts as homogeneous coordinates of a pose.
class DualQuaternion {
public:
    // Four (1, 0) components. Nothing in the program relies on this value;
    // fresh accumulators start from zero().
    DualQuaternion() = default;
    // c[i] = (real[i], dual[i]) for i = 0..3.
    DualQuaternion(const double real[4], const double dual[4]);

    // All eight doubles 0.
    static DualQuaternion zero();
    // Rotation q as the real half; the dual half is
    // 0.5 * (Quaternion(t) * Quaternion(q)), translation factor on the left.
    // t[3] is expected to be 0.
    static DualQuaternion fromRotationTranslation(const double q[4], const double t[4]);

    const DualNumber &component(int i) const { return m_c[i]; }
    Quaternion realPart() const;
    Quaternion dualPart() const;

    // The 4 x 4 row-major pose matrix [R t; 0 0 0 1]; defined for any dual
    // quaternion with a non-zero real part (a zero real part gives a
    // non-finite matrix).
    Matrix4 toMatrix() const;

    friend DualQuaternion operator+(const DualQuaternion &a, const DualQuaternion &b);
    friend DualQuaternion operator*(double s, const DualQuaternion &q);

private:
    DualNumber m_c[4];
};

static_assert(
    sizeof(DualQuaternion) == 8 * sizeof(double) && std::is_trivially_copyable_v<DualQuaternion>,
    "a DualQuaternion is eight doubles in place, copied bitwise");

// All eight doubles added pairwise.
DualQuaternion operator+(const DualQuaternion &a, const DualQuaternion &b);
// All eight doubles times s.
DualQuaternion operator*(double s, const DualQuaternion &q);
// Exact, all eight doubles.
bool operator==(const DualQuaternion &a, const DualQuaternion &b);
bool operator!=(const DualQuaternion &a, const DualQuaternion &b);
