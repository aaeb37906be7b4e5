#include "motion/MScrewMotion.h"

namespace {

DualQuaternion blend(const DualQuaternion &from, const DualQuaternion &to, float t)
{
    // The weights are formed in single precision and widened; the products
    // and the sum are double.
    return static_cast<double>(1.0f - t) * from + static_cast<double>(t) * to;
}

} // namespace

std::vector<DualQuaternion> MScrewMotion::segmentSamples(
    const std::vector<DualQuaternion> &poses, int density)
{
    std::vector<DualQuaternion> samples;
    const int n = static_cast<int>(poses.size());
    if (n < 2)
        return samples;
    // Every step is single precision on purpose: where a segment's last
    // sample falls (just below or just above t = 1) depends on it. Density 0
    // makes the step infinite: one sample per segment.
    const float e
        = (static_cast<float>(samplingDensity(density)) / 100.0f) * (static_cast<float>(n) * 20.0f);
    const float step = 1.0f / (e / static_cast<float>(n - 1));
    for (int j = 0; j + 1 < n; ++j)
        for (float t = 0.0f; static_cast<double>(t) <= 1.0; t += step)
            samples.push_back(blend(poses[j], poses[j + 1], t));
    return samples;
}

std::vector<ScenePoint> MScrewMotion::segmentTrajectory(const std::vector<DualQuaternion> &poses)
{
    std::vector<ScenePoint> points;
    const size_t n = poses.size();
    if (n < 2)
        return points;
    for (size_t j = 0; j + 1 < n; ++j) {
        // 0.02 is added in double and stored back in single precision: 51
        // points, the last at t = 0.99999964.
        for (float t = 0.0f; static_cast<double>(t) <= 1.0;
             t = static_cast<float>(static_cast<double>(t) + 0.02))
            points.push_back(placedTranslation(blend(poses[j], poses[j + 1], t)));
    }
    points.push_back(placedTranslation(poses.back()));
    return points;
}

std::vector<DualQuaternion> MScrewMotion::sampledPoses() const
{
    return segmentSamples(signAlignedPoses(keyPoses()), m_properties.density());
}

std::vector<ScenePoint> MScrewMotion::trajectoryPoints() const
{
    return segmentTrajectory(signAlignedPoses(keyPoses()));
}

void MScrewMotion::draw()
{
    const std::vector<DualQuaternion> samples = sampledPoses();
    for (size_t i = 0; i < samples.size(); ++i)
        drawPoseAt(samples[i], static_cast<int>(i), m_properties, true);
    if (m_properties.showTrajectory() && !samples.empty())
        drawTrajectory(trajectoryPoints(), m_properties.trajectoryColour());
}
