#include "motion/MContinuousMotion.h"

#include "app/mainDialog.h"

#include <QSlider>

std::vector<DualQuaternion> MContinuousMotion::sampledPoses() const
{
    const std::vector<DualQuaternion> poses = keyPoses();
    const int n = static_cast<int>(poses.size());
    // Single precision on purpose: how many poses are shown depends on it.
    const float fraction = static_cast<float>(samplingDensity(m_properties.density())) / 100.0f;
    const int count = static_cast<int>(fraction * static_cast<float>(n));
    const int stride = count > 0 ? n / count : n;

    std::vector<DualQuaternion> shown;
    for (int k = 0; k < n && stride > 0; k += stride)
        shown.push_back(poses[static_cast<size_t>(k)]);
    return shown;
}

std::vector<ScenePoint> MContinuousMotion::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    for (const DualQuaternion &pose : keyPoses())
        points.push_back(placedTranslation(pose));
    return points;
}

void MContinuousMotion::draw()
{
    m_shownPoses = sampledPoses();
    for (size_t i = 0; i < m_shownPoses.size(); ++i)
        drawPoseAt(m_shownPoses[i], static_cast<int>(i), m_properties, false);
    if (m_properties.showTrajectory())
        drawTrajectory(trajectoryPoints(), m_properties.trajectoryColour());

    // The one place a motion reaches into the window: the position slider
    // always ranges over the poses shown here.
    if (mainDialogInstance && mainDialogInstance->positionSlider)
        mainDialogInstance->positionSlider->setRange(0, static_cast<int>(m_shownPoses.size()) - 1);
}

DualQuaternion MContinuousMotion::shownPose(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_shownPoses.size())
        return DualQuaternion::zero();
    return m_shownPoses[static_cast<size_t>(i)];
}
