#include "motion/MBezierMotion.h"

std::vector<double> MBezierMotion::allBernstein(int degree, double t) const
{
    if (degree < 0)
        return {};
    // de Casteljau's recurrence on the weights themselves.
    std::vector<double> b(static_cast<size_t>(degree) + 1, 0.0);
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

DualQuaternion MBezierMotion::curvePoint(const std::vector<DualQuaternion> &poses, double t) const
{
    const std::vector<double> b = allBernstein(static_cast<int>(poses.size()) - 1, t);
    DualQuaternion q = DualQuaternion::zero();
    for (size_t j = 0; j < poses.size(); ++j)
        q = q + b[j] * poses[j];
    return q;
}

std::vector<DualQuaternion> MBezierMotion::sampledPoses() const
{
    std::vector<DualQuaternion> samples;
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    const int n = static_cast<int>(poses.size());
    if (n < 2)
        return samples;
    // A single-precision step summed in double: the number of samples (and
    // whether t = 1 is among them) depends on both.
    const float e = (static_cast<float>(samplingDensity(m_properties.density())) / 100.0f)
        * (static_cast<float>(n) * 20.0f);
    const float step = 1.0f / e;
    for (double t = 0.0; t <= 1.0; t += static_cast<double>(step))
        samples.push_back(curvePoint(poses, t));
    return samples;
}

std::vector<ScenePoint> MBezierMotion::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    if (poses.size() < 2)
        return points;
    for (double t = 0.0; t <= 1.0; t += 0.005)
        points.push_back(placedTranslation(curvePoint(poses, t)));
    // The sum of 0.005 steps passes 1 just before reaching it: the curve's
    // end is joined explicitly.
    points.push_back(placedTranslation(poses.back()));
    return points;
}

void MBezierMotion::draw()
{
    const std::vector<DualQuaternion> samples = sampledPoses();
    for (size_t i = 0; i < samples.size(); ++i)
        drawPoseAt(samples[i], static_cast<int>(i), m_properties, true);
    if (m_properties.showTrajectory() && !samples.empty())
        drawTrajectory(trajectoryPoints(), m_properties.trajectoryColour());
}
