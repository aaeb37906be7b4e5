#include "motion/MotionCurve.h"

#include "algebra/Matrix4.h"

#include <algorithm>
#include <cmath>

namespace {

struct Position {
    double x, y, z;
};

Position positionOf(const DualQuaternion &pose)
{
    const Matrix4 m = pose.toMatrix();
    return { m(0, 3), m(1, 3), m(2, 3) };
}

double distance(const Position &a, const Position &b)
{
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

double squaredDistance(const Position &a, const Position &b)
{
    return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z);
}

// The path of the position as a polyline of the table's chords, and walks
// along it with a pair of dividers.
class ChordTable {
public:
    ChordTable(const MotionCurve &curve, int chords)
        : m_points(static_cast<size_t>(chords) + 1)
    {
        for (int k = 0; k <= chords; ++k)
            m_points[k] = positionOf(curve.at(static_cast<double>(k) / chords));
        for (int k = 1; k <= chords; ++k)
            m_length += distance(m_points[k - 1], m_points[k]);
    }

    double length() const { return m_length; }

    // From the start, steps of straight-line length `step` along the
    // polyline, each ending where the polyline first gets that far from
    // where the step began. Returns how many of `steps` it made; *params
    // gets the curve parameter of each step's end.
    int walk(double step, int steps, std::vector<double> *params) const
    {
        params->clear();
        const int chords = static_cast<int>(m_points.size()) - 1;
        Position from = m_points[0];
        // The walk is on chord k, from the point at parameter (k + t) / chords.
        int k = 0;
        Position on = m_points[0];
        double t = 0.0;
        for (int made = 0; made < steps; ++made) {
            int j = k + 1;
            const double reach = step * step;
            while (j <= chords && squaredDistance(m_points[j], from) < reach)
                ++j;
            if (j > chords)
                return made;
            // Where the chord from a to b crosses the sphere of radius step
            // about from: a lies inside it, b on or outside, so the
            // quadratic has one root in [0, 1].
            const Position a = j == k + 1 ? on : m_points[j - 1];
            const double t0 = j == k + 1 ? t : 0.0;
            const Position b = m_points[j];
            const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
            const double ax = a.x - from.x, ay = a.y - from.y, az = a.z - from.z;
            const double qa = dx * dx + dy * dy + dz * dz;
            const double qb = 2.0 * (ax * dx + ay * dy + az * dz);
            const double qc = ax * ax + ay * ay + az * az - reach;
            double u = qa > 0.0
                ? (-qb + std::sqrt(std::max(0.0, qb * qb - 4.0 * qa * qc))) / (2.0 * qa)
                : 1.0;
            u = std::clamp(u, 0.0, 1.0);
            k = j - 1;
            t = t0 + (1.0 - t0) * u;
            on = { a.x + u * dx, a.y + u * dy, a.z + u * dz };
            from = on;
            params->push_back((static_cast<double>(k) + t) / chords);
        }
        return steps;
    }

private:
    std::vector<Position> m_points;
    double m_length = 0.0;
};

} // namespace

std::vector<DualQuaternion> constantSpeedPoses(const MotionCurve &curve, int count, double *length)
{
    if (length)
        *length = 0.0;
    std::vector<DualQuaternion> poses;
    if (count <= 0)
        return poses;

    const ChordTable table(curve, std::max(minimumArcLengthChords, 4 * count));
    const double total = table.length();
    if (length)
        *length = std::isfinite(total) ? total : std::nan("");
    if (!std::isfinite(total))
        return poses;
    poses.reserve(static_cast<size_t>(count));
    if (count == 1) {
        poses.push_back(curve.at(0.0));
        return poses;
    }

    std::vector<double> params;
    if (total > 0.0) {
        // The robot moves in straight lines between neighbouring poses, so
        // those lines, not the arcs, are made equal: the longest step with
        // which count - 1 steps still fit into the path, found by
        // bisection. A step of an equal share of the length never fits
        // unless the path is straight; a step of 0 always does.
        double fits = 0.0;
        double tooLong = total / (count - 1) * (1.0 + 1e-12);
        for (int i = 0; i < 60 && tooLong - fits > 1e-13 * tooLong; ++i) {
            const double step = 0.5 * (fits + tooLong);
            if (table.walk(step, count - 1, &params) == count - 1)
                fits = step;
            else
                tooLong = step;
        }
        table.walk(fits, count - 1, &params);
    }
    if (static_cast<int>(params.size()) != count - 1) {
        // No length (a pure rotation): equal parameter steps.
        params.clear();
        for (int i = 1; i < count; ++i)
            params.push_back(static_cast<double>(i) / (count - 1));
    }
    poses.push_back(curve.at(0.0));
    for (size_t i = 0; i + 1 < params.size(); ++i)
        poses.push_back(curve.at(params[i]));
    // The last step ends at the curve's end, within the bisection's width.
    poses.push_back(curve.at(1.0));
    return poses;
}
