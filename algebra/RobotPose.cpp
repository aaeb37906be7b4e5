#include "algebra/RobotPose.h"

#include <charconv>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

// Without the underflow of a sum of squares: an angle of 1e-300 keeps its
// length.
double norm3(const double v[3]) { return std::hypot(v[0], v[1], v[2]); }

} // namespace

bool parseRobotPose(const std::string &text, RobotPose *pose)
{
    size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    const auto expect = [&](char c) {
        skipBlanks();
        if (i >= text.size() || text[i] != c)
            return false;
        ++i;
        return true;
    };
    skipBlanks();
    if (i < text.size() && text[i] == 'p')
        ++i;
    if (!expect('['))
        return false;
    double values[6];
    for (int k = 0; k < 6; ++k) {
        if (k > 0 && !expect(','))
            return false;
        skipBlanks();
        if (i < text.size() && text[i] == '+')
            ++i;
        const char *begin = text.data() + i;
        const std::from_chars_result result
            = std::from_chars(begin, text.data() + text.size(), values[k]);
        if (result.ec != std::errc() || !std::isfinite(values[k]))
            return false;
        i += static_cast<size_t>(result.ptr - begin);
    }
    if (!expect(']'))
        return false;
    skipBlanks();
    if (i != text.size())
        return false;
    for (int k = 0; k < 3; ++k) {
        pose->position[k] = values[k];
        pose->rotationVector[k] = values[k + 3];
    }
    return true;
}

Quaternion quaternionFromRotationVector(const double r[3])
{
    const double angle = norm3(r);
    if (angle == 0.0)
        return Quaternion(0.0, 0.0, 0.0, 1.0);
    const double s = std::sin(angle / 2.0) / angle;
    return Quaternion(r[0] * s, r[1] * s, r[2] * s, std::cos(angle / 2.0));
}

void rotationVector(const Quaternion &unit, const double *previous, double r[3])
{
    // The angle from atan2 of the vector part's length and w stays accurate
    // at both ends: near 0, where acos(w) loses half the digits, and near pi.
    double v[3] = { unit.x(), unit.y(), unit.z() };
    double w = unit.w();
    if (w < 0.0) {
        w = -w;
        for (double &c : v)
            c = -c;
    }
    const double length = norm3(v);
    if (length == 0.0) {
        r[0] = r[1] = r[2] = 0.0;
        return;
    }
    const double axis[3] = { v[0] / length, v[1] / length, v[2] / length };
    const double angle = 2.0 * std::atan2(length, w);
    for (int c = 0; c < 3; ++c)
        r[c] = axis[c] * angle;
    if (!previous)
        return;
    // Along the axis, the equivalent vectors lie 2 pi apart: take the one
    // nearest to the previous vector's own component along it.
    const double along = axis[0] * previous[0] + axis[1] * previous[1] + axis[2] * previous[2];
    const double turns = std::round((along - angle) / (2.0 * pi));
    if (!std::isfinite(turns) || turns == 0.0)
        return;
    const double shifted = angle + 2.0 * pi * turns;
    for (int c = 0; c < 3; ++c)
        r[c] = axis[c] * shifted;
}
