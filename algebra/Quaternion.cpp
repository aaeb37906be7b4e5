#include "algebra/Quaternion.h"

#include "algebra/DenseMatrix.h"

Quaternion operator*(const Quaternion &a, const Quaternion &b)
{
    return Quaternion(a.w() * b.x() + b.w() * a.x() + a.y() * b.z() - a.z() * b.y(),
        a.w() * b.y() + b.w() * a.y() + a.z() * b.x() - a.x() * b.z(),
        a.w() * b.z() + b.w() * a.z() + a.x() * b.y() - a.y() * b.x(),
        a.w() * b.w() - (a.x() * b.x() + a.y() * b.y() + a.z() * b.z()));
}

Quaternion operator-(const Quaternion &a, const Quaternion &b)
{
    return Quaternion(a.x() - b.x(), a.y() - b.y(), a.z() - b.z(), a.w() - b.w());
}

Quaternion operator*(double s, const Quaternion &a)
{
    return Quaternion(s * a.x(), s * a.y(), s * a.z(), s * a.w());
}

Quaternion operator/(const Quaternion &a, double s)
{
    return Quaternion(a.x() / s, a.y() / s, a.z() / s, a.w() / s);
}

bool operator==(const Quaternion &a, const Quaternion &b)
{
    return a.x() == b.x() && a.y() == b.y() && a.z() == b.z() && a.w() == b.w();
}

bool operator!=(const Quaternion &a, const Quaternion &b) { return !(a == b); }

void Quaternion::rotationEntries(double r[3][3]) const
{
    const double x = m_v[0], y = m_v[1], z = m_v[2], w = m_v[3];
    const double n = x * x + y * y + z * z + w * w;
    r[0][0] = (x * x - y * y - z * z + w * w) / n;
    r[0][1] = 2.0 * (x * y - z * w) / n;
    r[0][2] = 2.0 * (x * z + y * w) / n;
    r[1][0] = 2.0 * (x * y + z * w) / n;
    r[1][1] = (-x * x + y * y - z * z + w * w) / n;
    r[1][2] = 2.0 * (y * z - x * w) / n;
    r[2][0] = 2.0 * (x * z - y * w) / n;
    r[2][1] = 2.0 * (y * z + x * w) / n;
    r[2][2] = (-x * x - y * y + z * z + w * w) / n;
}

DenseMatrix Quaternion::toRotationMatrix() const
{
    double entries[3][3];
    rotationEntries(entries);
    DenseMatrix r(3, 3);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            r.data[row][col] = entries[row][col];
    return r;
}
