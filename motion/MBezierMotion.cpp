#include "motion/MBezierMotion.h"

#include "motion/MotionCurve.h"

#include <algorithm>
#include <cmath>

namespace {

// The Bernstein polynomials of degree d at t in (0, 1) are the terms of the
// binomial distribution: they rise to a largest value at the mode
// m = floor((d + 1) t) and fall on either side, neighbour to neighbour by
//   B(k + 1) = B(k) * (d - k) / (k + 1) * t / (1 - t),
//   B(k - 1) = B(k) * k / (d - k + 1) * (1 - t) / t.
// Walking outward from the mode with a weight of 1 there, every weight is at
// most 1 and none underflows before the value itself would (B(m) is at least
// 1 / (d + 1)); the weights sum to 1 / B(m), since the polynomials sum to 1.
// Each value costs a multiplication, and none is raised to a power that
// could underflow (at 1,000 key poses t^k (1 - t)^(d - k) does).
struct BernsteinWalk {
    explicit BernsteinWalk(int degree)
        : d(degree)
        , up(static_cast<size_t>(std::max(degree, 0)) + 1)
        , down(static_cast<size_t>(std::max(degree, 0)) + 1)
    {
        for (int k = 0; k <= d; ++k) {
            up[k] = static_cast<double>(d - k) / static_cast<double>(k + 1);
            down[k] = static_cast<double>(k) / static_cast<double>(d - k + 1);
        }
    }

    int mode(double t) const { return std::min(d, static_cast<int>((d + 1) * t)); }

    int d;
    std::vector<double> up; // up[k] = (d - k) / (k + 1)
    std::vector<double> down; // down[k] = k / (d - k + 1)
};

// The curve sums leave out weights below this fraction of the largest: all of
// them together change a sum by far less than its own rounding (2^-53).
constexpr double negligibleWeight = 0x1p-64;

// The Bezier curve at t in [0, 1] of control poses stored as eight doubles
// each (the DualQuaternion order: x.real, x.dual, ..., w.dual).
DualQuaternion curvePointAt(const BernsteinWalk &walk, const std::vector<double> &poses, double t)
{
    const int d = walk.d;
    const auto pose = [&poses](int k) { return poses.data() + 8 * static_cast<size_t>(k); };
    double sum[8];
    if (1.0 - t == 0.0) {
        // B(d) = 1, every other 0: the last control pose itself.
        std::copy(pose(d), pose(d) + 8, sum);
        const double real[4] = { sum[0], sum[2], sum[4], sum[6] };
        const double dual[4] = { sum[1], sum[3], sum[5], sum[7] };
        return DualQuaternion(real, dual);
    }
    const double ratioUp = t / (1.0 - t);
    const double ratioDown = (1.0 - t) / t; // infinite at t = 0, never used then
    const int m = walk.mode(t);
    std::copy(pose(m), pose(m) + 8, sum);
    double total = 1.0;
    double w = 1.0;
    for (int k = m; k < d; ++k) {
        w *= walk.up[k] * ratioUp;
        if (w < negligibleWeight)
            break;
        total += w;
        const double *p = pose(k + 1);
        for (int c = 0; c < 8; ++c)
            sum[c] += w * p[c];
    }
    w = 1.0;
    for (int k = m; k > 0; --k) {
        w *= walk.down[k] * ratioDown;
        if (w < negligibleWeight)
            break;
        total += w;
        const double *p = pose(k - 1);
        for (int c = 0; c < 8; ++c)
            sum[c] += w * p[c];
    }
    const double scale = 1.0 / total;
    const double real[4] = { sum[0] * scale, sum[2] * scale, sum[4] * scale, sum[6] * scale };
    const double dual[4] = { sum[1] * scale, sum[3] * scale, sum[5] * scale, sum[7] * scale };
    return DualQuaternion(real, dual);
}

std::vector<double> flattened(const std::vector<DualQuaternion> &poses)
{
    std::vector<double> flat;
    flat.reserve(8 * poses.size());
    for (const DualQuaternion &pose : poses)
        for (int c = 0; c < 4; ++c) {
            flat.push_back(pose.component(c).real());
            flat.push_back(pose.component(c).dual());
        }
    return flat;
}

} // namespace

std::vector<double> MBezierMotion::allBernstein(int degree, double t)
{
    if (degree < 0)
        return {};
    std::vector<double> b(static_cast<size_t>(degree) + 1, 0.0);
    if (!(t >= 0.0 && t <= 1.0)) {
        // Outside the curve's interval the values alternate in sign and the
        // walk's normalisation would cancel: the quadratic recurrence on
        // the values themselves (de Casteljau's).
        b[0] = 1.0;
        const double u1 = 1.0 - t;
        for (int j = 1; j <= degree; ++j) {
            double saved = 0.0;
            for (int k = 0; k < j; ++k) {
                const double temp = b[k];
                b[k] = saved + u1 * temp;
                saved = t * temp;
            }
            b[j] = saved;
        }
        return b;
    }
    if (1.0 - t == 0.0) {
        b[degree] = 1.0;
        return b;
    }
    const BernsteinWalk walk(degree);
    const int m = walk.mode(t);
    const double ratioUp = t / (1.0 - t);
    const double ratioDown = (1.0 - t) / t;
    b[m] = 1.0;
    for (int k = m; k < degree; ++k)
        b[k + 1] = b[k] * walk.up[k] * ratioUp;
    for (int k = m; k > 0; --k)
        b[k - 1] = b[k] * walk.down[k] * ratioDown;
    double total = 0.0;
    for (double w : b)
        total += w;
    for (double &w : b)
        w /= total;
    return b;
}

void MBezierMotion::sampleInto(std::vector<DualQuaternion> &samples) const
{
    samples.clear();
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    const int n = static_cast<int>(poses.size());
    if (n < 2)
        return;
    const BernsteinWalk walk(n - 1);
    const std::vector<double> flat = flattened(poses);
    // A single-precision step summed in double: the number of samples (and
    // whether t = 1 is among them) depends on both.
    const float step = samplingStep(m_properties.density(), n);
    for (double t = 0.0; t <= 1.0; t += static_cast<double>(step))
        samples.push_back(curvePointAt(walk, flat, t));
}

void MBezierMotion::trajectoryInto(std::vector<ScenePoint> &points) const
{
    points.clear();
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    if (poses.size() < 2)
        return;
    const BernsteinWalk walk(static_cast<int>(poses.size()) - 1);
    const std::vector<double> flat = flattened(poses);
    for (double t = 0.0; t <= 1.0; t += 0.005)
        points.push_back(placedTranslation(curvePointAt(walk, flat, t)));
    // The sum of 0.005 steps passes 1 just before reaching it: the curve's
    // end is joined explicitly.
    points.push_back(placedTranslation(poses.back()));
}

std::vector<DualQuaternion> MBezierMotion::sampledPoses() const
{
    std::vector<DualQuaternion> samples;
    sampleInto(samples);
    return samples;
}

std::vector<ScenePoint> MBezierMotion::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    trajectoryInto(points);
    return points;
}

const MotionDrawing &MBezierMotion::prepareDrawing()
{
    sampleInto(m_drawing.poses);
    m_drawing.trajectory.clear();
    if (m_properties.showTrajectory() && !m_drawing.poses.empty())
        trajectoryInto(m_drawing.trajectory);
    m_drawing.placePoses();
    return m_drawing;
}

std::unique_ptr<MotionCurve> MBezierMotion::curve() const
{
    if (keyPoseCount() < 2)
        return nullptr;
    return std::make_unique<MotionCurve>([poses = signAlignedPoses(keyPoses())](double s) {
        const int n = static_cast<int>(poses.size());
        const std::vector<double> b = allBernstein(n - 1, s);
        DualQuaternion q = DualQuaternion::zero();
        for (int j = 0; j < n; ++j)
            q = q + b[j] * poses[j];
        return q;
    });
}
