#include "motion/MContinuousMotion.h"

void MContinuousMotion::sampleInto(
    const std::vector<DualQuaternion> &poses, std::vector<DualQuaternion> &shown) const
{
    shown.clear();
    const int n = static_cast<int>(poses.size());
    // Single precision on purpose: how many poses are shown depends on it.
    const float fraction = static_cast<float>(samplingDensity(m_properties.density())) / 100.0f;
    const int count = static_cast<int>(fraction * static_cast<float>(n));
    const int stride = count > 0 ? n / count : n;
    for (int k = 0; k < n && stride > 0; k += stride)
        shown.push_back(poses[static_cast<size_t>(k)]);
}

void MContinuousMotion::trajectoryInto(
    const std::vector<DualQuaternion> &poses, std::vector<ScenePoint> &points)
{
    points.clear();
    for (const DualQuaternion &pose : poses)
        points.push_back(placedTranslation(pose));
}

std::vector<DualQuaternion> MContinuousMotion::sampledPoses() const
{
    std::vector<DualQuaternion> shown;
    sampleInto(keyPoses(), shown);
    return shown;
}

std::vector<ScenePoint> MContinuousMotion::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    trajectoryInto(keyPoses(), points);
    return points;
}

const MotionDrawing &MContinuousMotion::prepareDrawing()
{
    const std::vector<DualQuaternion> poses = keyPoses();
    sampleInto(poses, m_drawing.poses);
    m_drawing.trajectory.clear();
    if (m_properties.showTrajectory())
        trajectoryInto(poses, m_drawing.trajectory);
    m_drawing.placePoses();
    return m_drawing;
}

void MContinuousMotion::draw()
{
    prepareDrawing();
    drawMotion(m_drawing, m_properties, false);
}

DualQuaternion MContinuousMotion::shownPose(int i) const
{
    const std::vector<DualQuaternion> &shown = drawnPoses();
    if (i < 0 || static_cast<size_t>(i) >= shown.size())
        return DualQuaternion::zero();
    return shown[static_cast<size_t>(i)];
}
