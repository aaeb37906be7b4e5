#include "algebra/DualQuaternion.h"

#include "algebra/Matrix4.h"

DualNumber operator+(const DualNumber &a, const DualNumber &b)
{
    return DualNumber(a.real() + b.real(), a.dual() + b.dual());
}

bool operator==(const DualNumber &a, const DualNumber &b)
{
    return a.real() == b.real() && a.dual() == b.dual();
}

bool operator!=(const DualNumber &a, const DualNumber &b) { return !(a == b); }

DualQuaternion::DualQuaternion(const double real[4], const double dual[4])
{
    for (int i = 0; i < 4; ++i)
        m_c[i].set(real[i], dual[i]);
}

DualQuaternion DualQuaternion::zero()
{
    const double zeros[4] = { 0.0, 0.0, 0.0, 0.0 };
    return DualQuaternion(zeros, zeros);
}

DualQuaternion DualQuaternion::fromRotationTranslation(const double q[4], const double t[4])
{
    // The translation factor goes on the left: D = 0.5 * T * Q.
    const Quaternion dual = 0.5 * (Quaternion(t) * Quaternion(q));
    return DualQuaternion(q, dual.data());
}

Quaternion DualQuaternion::realPart() const
{
    return Quaternion(m_c[0].real(), m_c[1].real(), m_c[2].real(), m_c[3].real());
}

Quaternion DualQuaternion::dualPart() const
{
    return Quaternion(m_c[0].dual(), m_c[1].dual(), m_c[2].dual(), m_c[3].dual());
}

Matrix4 DualQuaternion::toMatrix() const
{
    const Quaternion p = realPart();
    const Quaternion d = dualPart();
    // Dividing by the squared norm of the real part makes the result the same
    // for s * Q as for Q: weighted sums of poses need no normalisation.
    const double n = p.squaredNorm();
    const Quaternion a = p * d.conjugate();
    const Quaternion b = d * p.conjugate();
    const Quaternion t = (b - a) / n;
    // Every drawn pose passes through here in every paint, so the rotation
    // is taken without the heap matrix of toRotationMatrix(); the entries are
    // the same.
    double r[3][3];
    p.rotationEntries(r);

    Matrix4 m;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m(row, col) = r[row][col];
    m(0, 3) = t.x();
    m(1, 3) = t.y();
    m(2, 3) = t.z();
    m(3, 3) = 1.0;
    return m;
}

DualQuaternion operator+(const DualQuaternion &a, const DualQuaternion &b)
{
    DualQuaternion r;
    for (int i = 0; i < 4; ++i)
        r.m_c[i] = a.m_c[i] + b.m_c[i];
    return r;
}

DualQuaternion operator*(double s, const DualQuaternion &q)
{
    DualQuaternion r;
    for (int i = 0; i < 4; ++i)
        r.m_c[i].set(s * q.m_c[i].real(), s * q.m_c[i].dual());
    return r;
}

bool operator==(const DualQuaternion &a, const DualQuaternion &b)
{
    for (int i = 0; i < 4; ++i)
        if (a.component(i) != b.component(i))
            return false;
    return true;
}

bool operator!=(const DualQuaternion &a, const DualQuaternion &b) { return !(a == b); }
