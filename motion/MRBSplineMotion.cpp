#include "motion/MRBSplineMotion.h"

#include "motion/MScrewMotion.h"
#include "motion/MotionCurve.h"

namespace {

// A curve is drawn for at least three control poses and a degree of 1 to
// n - 1; anything else draws nothing.
bool drawsCurve(int n, int degree) { return n >= 3 && degree >= 1 && degree <= n - 1; }

} // namespace

int findKnotSpan(int last, int degree, float t, const std::vector<double> &knots)
{
    if (degree < 0 || last < degree || knots.size() < static_cast<size_t>(last) + 2)
        return -1;
    const double u = static_cast<double>(t);
    if (u >= knots[last + 1])
        return last;
    if (u < knots[degree])
        return degree;
    // Bisection keeping knots[low] <= u < knots[high]: it ends at the one
    // span with knots[span] <= u < knots[span + 1], and it ends whatever the
    // knots hold.
    int low = degree;
    int high = last + 1;
    while (high - low > 1) {
        const int mid = (low + high) / 2;
        if (u < knots[mid])
            high = mid;
        else
            low = mid;
    }
    return low;
}

namespace {

// The buffers of one evaluation of the basis functions, reused from one
// sample of a curve to the next.
struct BasisBuffers {
    std::vector<float> n;
    std::vector<float> left;
    std::vector<float> right;
};

// basisFunctions() into b.n (degree + 1 values); false when the span and
// degree reach outside the knots.
bool basisInto(int span, double t, int degree, const std::vector<double> &knots, BasisBuffers &b)
{
    if (degree < 0 || span + 1 < degree || static_cast<size_t>(span) + degree >= knots.size())
        return false;
    // Single precision throughout, as the curve has always been evaluated.
    const size_t p = static_cast<size_t>(degree);
    b.n.assign(p + 1, 0.0f);
    b.left.assign(p + 1, 0.0f);
    b.right.assign(p + 1, 0.0f);
    std::vector<float> &n = b.n, &left = b.left, &right = b.right;
    n[0] = 1.0f;
    for (int j = 1; j <= degree; ++j) {
        left[j] = static_cast<float>(t - knots[span + 1 - j]);
        right[j] = static_cast<float>(knots[span + j] - t);
        float saved = 0.0f;
        for (int r = 0; r < j; ++r) {
            const float temp = n[r] / (right[r + 1] + left[j - r]);
            n[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        n[j] = saved;
    }
    return true;
}

DualQuaternion pointAt(const std::vector<DualQuaternion> &controlPoses, int degree,
    const std::vector<double> &knots, double t, BasisBuffers &b)
{
    DualQuaternion q = DualQuaternion::zero();
    const int last = static_cast<int>(controlPoses.size()) - 1;
    const int span = findKnotSpan(last, degree, static_cast<float>(t), knots);
    if (span < 0 || !basisInto(span, t, degree, knots, b))
        return q;
    for (size_t k = 0; k < b.n.size(); ++k)
        q = q + static_cast<double>(b.n[k]) * controlPoses[span - degree + k];
    return q;
}

} // namespace

std::vector<float> basisFunctions(int span, double t, int degree, const std::vector<double> &knots)
{
    BasisBuffers b;
    if (!basisInto(span, t, degree, knots, b))
        return {};
    return b.n;
}

std::vector<double> MRBSplineMotion::uniformKnotVector(int n, int degree)
{
    if (n < 1 || degree < 0 || degree > n - 1)
        return {};
    std::vector<double> knots(static_cast<size_t>(n + degree + 1), 1.0);
    for (int j = 0; j <= degree; ++j)
        knots[j] = 0.0;
    // A single-precision counter over a single-precision divisor: 1/3 is
    // stored as 0.3333333432674408, and the curves depend on it.
    const float divisor = static_cast<float>(n - degree);
    float counter = 1.0f;
    for (int j = degree + 1; j <= n - 1; ++j) {
        knots[j] = static_cast<double>(counter / divisor);
        counter += 1.0f;
    }
    return knots;
}

std::vector<double> MRBSplineMotion::uniformKnotVector() const
{
    return uniformKnotVector(keyPoseCount(), m_degree);
}

DualQuaternion MRBSplineMotion::curvePoint(const std::vector<DualQuaternion> &controlPoses,
    int degree, const std::vector<double> &knots, double t)
{
    BasisBuffers b;
    return pointAt(controlPoses, degree, knots, t, b);
}

void MRBSplineMotion::curveSamples(const std::vector<DualQuaternion> &controlPoses, int degree,
    int density, std::vector<DualQuaternion> &samples)
{
    samples.clear();
    const int n = static_cast<int>(controlPoses.size());
    if (!drawsCurve(n, degree))
        return;
    if (degree == 1) {
        MScrewMotion::segmentSamples(controlPoses, density, samples);
        return;
    }
    const std::vector<double> knots = uniformKnotVector(n, degree);
    BasisBuffers b;
    // The step is single precision, summed in double, and t stays below 1:
    // the sample count depends on all three.
    const float step = samplingStep(density, n);
    for (double t = 0.0; t < 1.0; t += static_cast<double>(step))
        samples.push_back(pointAt(controlPoses, degree, knots, t, b));
}

void MRBSplineMotion::curveTrajectory(
    const std::vector<DualQuaternion> &controlPoses, int degree, std::vector<ScenePoint> &points)
{
    points.clear();
    const int n = static_cast<int>(controlPoses.size());
    if (!drawsCurve(n, degree))
        return;
    if (degree == 1) {
        MScrewMotion::segmentTrajectory(controlPoses, points);
        return;
    }
    const std::vector<double> knots = uniformKnotVector(n, degree);
    BasisBuffers b;
    for (double t = 0.0; t < 1.0; t += 0.005)
        points.push_back(placedTranslation(pointAt(controlPoses, degree, knots, t, b)));
    // The curve ends at the last control pose, which t < 1 never reaches.
    points.push_back(placedTranslation(controlPoses.back()));
}

void MRBSplineMotion::prepareCurve(const std::vector<DualQuaternion> &controlPoses, int degree)
{
    curveSamples(controlPoses, degree, m_properties.density(), m_drawing.poses);
    m_drawing.trajectory.clear();
    if (m_properties.showTrajectory() && !m_drawing.poses.empty())
        curveTrajectory(controlPoses, degree, m_drawing.trajectory);
    m_drawing.placePoses();
}

std::vector<DualQuaternion> MRBSplineMotion::sampledPoses() const
{
    std::vector<DualQuaternion> samples;
    curveSamples(signAlignedPoses(keyPoses()), m_degree, m_properties.density(), samples);
    return samples;
}

std::vector<ScenePoint> MRBSplineMotion::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    curveTrajectory(signAlignedPoses(keyPoses()), m_degree, points);
    return points;
}

const MotionDrawing &MRBSplineMotion::prepareDrawing()
{
    prepareCurve(signAlignedPoses(keyPoses()), m_degree);
    return m_drawing;
}

std::unique_ptr<MotionCurve> MRBSplineMotion::splineCurve(
    std::vector<DualQuaternion> controlPoses, int degree)
{
    if (!drawsCurve(static_cast<int>(controlPoses.size()), degree))
        return nullptr;
    if (degree == 1)
        return MScrewMotion::segmentCurve(std::move(controlPoses));
    const int n = static_cast<int>(controlPoses.size());
    return std::make_unique<MotionCurve>(
        [poses = std::move(controlPoses), degree, knots = uniformKnotVector(n, degree)](double s) {
            const int span = findKnotSpan(
                static_cast<int>(poses.size()) - 1, degree, static_cast<float>(s), knots);
            const std::vector<float> basis = basisFunctions(span, s, degree, knots);
            DualQuaternion q = DualQuaternion::zero();
            for (size_t k = 0; k < basis.size(); ++k)
                q = q + static_cast<double>(basis[k]) * poses[span - degree + k];
            return q;
        });
}

std::unique_ptr<MotionCurve> MRBSplineMotion::curve() const
{
    return splineCurve(signAlignedPoses(keyPoses()), m_degree);
}
