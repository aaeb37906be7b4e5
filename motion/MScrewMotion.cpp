#include "motion/MScrewMotion.h"

#include "motion/MotionCurve.h"

#include <algorithm>

namespace {

DualQuaternion blend(const DualQuaternion &from, const DualQuaternion &to, float t)
{
    // The weights are formed in single precision and widened; the products
    // and the sum are double.
    return static_cast<double>(1.0f - t) * from + static_cast<double>(t) * to;
}

} // namespace

std::unique_ptr<MotionCurve> MScrewMotion::segmentCurve(std::vector<DualQuaternion> poses)
{
    if (poses.size() < 2)
        return nullptr;
    return std::make_unique<MotionCurve>([poses = std::move(poses)](double s) {
        const int n = static_cast<int>(poses.size());
        const double u = s * (n - 1);
        const int j = std::min(static_cast<int>(u), n - 2);
        const double t = u - j;
        return (1.0 - t) * poses[j] + t * poses[j + 1];
    });
}

std::unique_ptr<MotionCurve> MScrewMotion::curve() const
{
    return segmentCurve(signAlignedPoses(keyPoses()));
}

void MScrewMotion::segmentSamples(
    const std::vector<DualQuaternion> &poses, int density, std::vector<DualQuaternion> &samples)
{
    samples.clear();
    const int n = static_cast<int>(poses.size());
    if (n < 2)
        return;
    // Every step is single precision on purpose: where a segment's last
    // sample falls (just below or just above t = 1) depends on it. Density 0
    // makes the step infinite: one sample per segment.
    const float step = samplingStep(density, n, n - 1);
    for (int j = 0; j + 1 < n; ++j)
        for (float t = 0.0f; static_cast<double>(t) <= 1.0; t += step)
            samples.push_back(blend(poses[j], poses[j + 1], t));
}

void MScrewMotion::segmentTrajectory(
    const std::vector<DualQuaternion> &poses, std::vector<ScenePoint> &points)
{
    points.clear();
    const size_t n = poses.size();
    if (n < 2)
        return;
    for (size_t j = 0; j + 1 < n; ++j) {
        // 0.02 is added in double and stored back in single precision: 51
        // points, the last at t = 0.99999964.
        for (float t = 0.0f; static_cast<double>(t) <= 1.0;
             t = static_cast<float>(static_cast<double>(t) + 0.02))
            points.push_back(placedTranslation(blend(poses[j], poses[j + 1], t)));
    }
    points.push_back(placedTranslation(poses.back()));
}

std::vector<DualQuaternion> MScrewMotion::sampledPoses() const
{
    std::vector<DualQuaternion> samples;
    segmentSamples(signAlignedPoses(keyPoses()), m_properties.density(), samples);
    return samples;
}

std::vector<ScenePoint> MScrewMotion::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    segmentTrajectory(signAlignedPoses(keyPoses()), points);
    return points;
}

const MotionDrawing &MScrewMotion::prepareDrawing()
{
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    segmentSamples(poses, m_properties.density(), m_drawing.poses);
    m_drawing.trajectory.clear();
    if (m_properties.showTrajectory() && !m_drawing.poses.empty())
        segmentTrajectory(poses, m_drawing.trajectory);
    m_drawing.placePoses();
    return m_drawing;
}
