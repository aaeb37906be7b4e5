#include "bench/support/PaintComputation.h"

#include "app/mainDialog.h"
#include "motion/MBezierMotion.h"
#include "motion/MContinuousMotion.h"
#include "motion/MNoneMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MRBSplineMotion.h"
#include "motion/MScrewMotion.h"
#include "sensor/Sensor.h"
#include "view/GLWidget.h"

#include <QCheckBox>

#include <vector>

namespace bench {

namespace {

    // The interpolation's drawing steps, to be run on control poses
    // computed once.
    struct InterpolationSteps : MRBSplineInterpolation {
        using MRBSplineMotion::curveSamples;
        using MRBSplineMotion::curveTrajectory;
    };

    double placementsOf(const std::vector<DualQuaternion> &poses)
    {
        double sum = 0.0;
        for (const DualQuaternion &pose : poses) {
            const Matrix4 m = posePlacementMatrix(pose);
            if (isFiniteMatrix(m))
                sum += m.data()[12];
        }
        return sum;
    }

    double checksum(const std::vector<DualQuaternion> &samples,
        const std::vector<ScenePoint> &trajectory, bool placements)
    {
        double sum = double(samples.size()) + double(trajectory.size());
        if (!trajectory.empty())
            sum += trajectory.back().x;
        if (placements)
            sum += placementsOf(samples);
        return sum;
    }

    template <typename M> double computeOwnSampling(const M &motion, bool placements)
    {
        const std::vector<DualQuaternion> samples = motion.sampledPoses();
        std::vector<ScenePoint> trajectory;
        if (motion.properties().showTrajectory() && !samples.empty())
            trajectory = motion.trajectoryPoints();
        return checksum(samples, trajectory, placements);
    }

} // namespace

double computeMotion(const MScrewMotion &motion, bool placements)
{
    return computeOwnSampling(motion, placements);
}

double computeMotion(const MBezierMotion &motion, bool placements)
{
    return computeOwnSampling(motion, placements);
}

double computeMotion(const MRBSplineMotion &motion, bool placements)
{
    return computeOwnSampling(motion, placements);
}

double computeMotion(const MRBSplineInterpolation &motion, bool placements)
{
    if (motion.keyPoseCount() < 3)
        return 0.0;
    const std::vector<DualQuaternion> control = motion.interpolationControlPoints();
    const std::vector<DualQuaternion> samples
        = InterpolationSteps::curveSamples(control, motion.degree(), motion.properties().density());
    std::vector<ScenePoint> trajectory;
    if (motion.properties().showTrajectory() && !samples.empty())
        trajectory = InterpolationSteps::curveTrajectory(control, motion.degree());
    return checksum(samples, trajectory, placements);
}

double computeMotion(const MContinuousMotion &motion, bool placements)
{
    return computeOwnSampling(motion, placements);
}

double computeKeyPositions(const Motion &motion) { return placementsOf(motion.keyPoses()); }

double computePaint(Kinect::mainDialog &window)
{
    GLWidget &view = *window.glWidget;
    const std::vector<DualQuaternion> keyPoses = window.sensor->keyPositions();
    const bool showKeyPositions = window.keyPositionsCheck->isChecked();
    double sum = 0.0;
    if (showKeyPositions) {
        MNoneMotion keyPositions;
        keyPositions.setKeyPoses(keyPoses);
        sum += computeKeyPositions(keyPositions);
    }
    auto kind = [&](bool active, auto *motion) {
        if (!active || !motion)
            return;
        motion->setKeyPoses(keyPoses);
        if (showKeyPositions)
            sum += computeKeyPositions(*motion);
        sum += computeMotion(*motion, true);
    };
    kind(GLWidget::screwActive, view.screwMotion);
    kind(GLWidget::bezierActive, view.bezierMotion);
    kind(GLWidget::approximationActive, view.approximationMotion);
    kind(GLWidget::interpolationActive, view.interpolationMotion);
    if (GLWidget::continuousActive && view.continuousMotion) {
        view.continuousMotion->setKeyPoses(window.sensor->continuousPositions());
        sum += computeMotion(*view.continuousMotion, true);
    }
    return sum;
}

} // namespace bench
