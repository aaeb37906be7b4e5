#include "tests/support/AlgebraTestSupport.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace {

const double pi = std::acos(-1.0);

char *copyOut(const QByteArray &text)
{
    // QtTest frees the string with delete[].
    char *out = new char[static_cast<size_t>(text.size()) + 1];
    std::memcpy(out, text.constData(), static_cast<size_t>(text.size()) + 1);
    return out;
}

QByteArray number(double v) { return QByteArray::number(v, 'g', 17); }

double maxOf(double acc, double d)
{
    if (std::isnan(acc) || std::isnan(d))
        return std::nan("");
    return std::max(acc, d);
}

Quaternion fromAxisAngle(const double axis[3], double angle)
{
    const double s = std::sin(angle / 2.0);
    return Quaternion(axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle / 2.0));
}

} // namespace

QByteArray describe(const Quaternion &q)
{
    return QByteArray("Quaternion(" + number(q.x()) + ", " + number(q.y()) + ", " + number(q.z())
        + ", " + number(q.w()) + ")");
}

QByteArray describe(const DualQuaternion &q)
{
    QByteArray text = "DualQuaternion(";
    for (int i = 0; i < 4; ++i)
        text += "(" + number(q.component(i).real()) + ", " + number(q.component(i).dual())
            + (i < 3 ? "), " : ")");
    return text + ")";
}

QByteArray describe(const Matrix4 &m)
{
    QByteArray text = "Matrix4(";
    for (int r = 0; r < 4; ++r) {
        text += "[";
        for (int c = 0; c < 4; ++c)
            text += number(m(r, c)) + (c < 3 ? ", " : "]");
        text += r < 3 ? " " : ")";
    }
    return text;
}

char *toString(const Quaternion &q) { return copyOut(describe(q)); }
char *toString(const DualQuaternion &q) { return copyOut(describe(q)); }
char *toString(const Matrix4 &m) { return copyOut(describe(m)); }

double maxAbsDifference(const Quaternion &a, const Quaternion &b)
{
    double d = 0.0;
    for (int i = 0; i < 4; ++i)
        d = maxOf(d, std::fabs(a.data()[i] - b.data()[i]));
    return d;
}

double maxAbsDifference(const Matrix4 &a, const Matrix4 &b)
{
    double d = 0.0;
    for (int i = 0; i < 16; ++i)
        d = maxOf(d, std::fabs(a.data()[i] - b.data()[i]));
    return d;
}

double rotationDifference(const Quaternion &a, const Quaternion &q)
{
    const double same = maxAbsDifference(a, q);
    const double flipped = maxAbsDifference(a, -1.0 * q);
    if (std::isnan(same) || std::isnan(flipped))
        return std::nan("");
    return std::min(same, flipped);
}

Matrix4 matrix4FromRotation(const DenseMatrix &r)
{
    Matrix4 m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m(i, j) = r.data[i][j];
    m(3, 3) = 1.0;
    return m;
}

double orthonormalityError(const Matrix4 &m)
{
    double d = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double dot = 0.0;
            for (int k = 0; k < 3; ++k)
                dot += m(i, k) * m(j, k);
            d = maxOf(d, std::fabs(dot - (i == j ? 1.0 : 0.0)));
        }
    return d;
}

double rotationDeterminant(const Matrix4 &m)
{
    return m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1))
        - m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0))
        + m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
}

std::vector<RotationSample> sampleRotations(unsigned seed, int uniformCount)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto randomAxis = [&](double axis[3]) {
        double len = 0.0;
        do {
            for (int i = 0; i < 3; ++i)
                axis[i] = gauss(rng);
            len = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        } while (len < 1e-6);
        for (int i = 0; i < 3; ++i)
            axis[i] /= len;
    };

    std::vector<RotationSample> samples;
    auto add = [&samples](const char *kind, const double axis[3], double angle, double sign) {
        RotationSample s { kind, { axis[0], axis[1], axis[2] }, angle, Quaternion() };
        s.q = sign * fromAxisAngle(axis, angle);
        samples.push_back(s);
    };

    const double coordinateAxes[3][3] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
    for (const auto &axis : coordinateAxes)
        for (double degrees : { 0.0, 30.0, 90.0, 120.0, 179.0, 180.0, -90.0 })
            add("coordinate axis", axis, degrees * pi / 180.0, 1.0);

    for (int i = 0; i < uniformCount; ++i) {
        double axis[3];
        randomAxis(axis);
        // Uniform over (-180, 180] degrees; every fourth one with its sign flipped.
        add("uniform", axis, (2.0 * unit(rng) - 1.0) * pi, i % 4 == 3 ? -1.0 : 1.0);
    }
    for (int i = 0; i < uniformCount / 4 + 1; ++i) {
        double axis[3];
        randomAxis(axis);
        // 10^-7 to 10^-2 radians away from no turn and from a half turn.
        const double tiny = std::pow(10.0, -7.0 + 5.0 * unit(rng));
        add("near 0 degrees", axis, tiny, 1.0);
        add("near 180 degrees", axis, pi - tiny, i % 2 ? -1.0 : 1.0);
        add("exactly 180 degrees", axis, pi, 1.0);
    }
    return samples;
}

void sampleTranslation(unsigned seed, double t[4])
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 3; ++i) {
        const double magnitude = std::pow(10.0, -3.0 + 6.0 * unit(rng));
        t[i] = unit(rng) < 0.5 ? -magnitude : magnitude;
    }
    t[3] = 0.0;
}
