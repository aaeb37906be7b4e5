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

    double checksum(const MotionDrawing &drawing)
    {
        double sum = double(drawing.placements.size()) + double(drawing.trajectory.size());
        if (!drawing.trajectory.empty())
            sum += drawing.trajectory.back().x;
        for (const Matrix4 &m : drawing.placements)
            sum += m.data()[12];
        return sum;
    }

} // namespace

double computeMotion(MScrewMotion &motion) { return checksum(motion.prepareDrawing()); }

double computeMotion(MBezierMotion &motion) { return checksum(motion.prepareDrawing()); }

double computeMotion(MRBSplineMotion &motion) { return checksum(motion.prepareDrawing()); }

double computeMotion(MRBSplineInterpolation &motion) { return checksum(motion.prepareDrawing()); }

double computeMotion(MContinuousMotion &motion) { return checksum(motion.prepareDrawing()); }

double computeKeyPositions(const Motion &motion)
{
    double sum = 0.0;
    for (const DualQuaternion &pose : motion.keyPoses()) {
        const Matrix4 m = posePlacementMatrix(pose);
        if (isFiniteMatrix(m))
            sum += m.data()[12];
    }
    return sum;
}

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
        sum += computeMotion(*motion);
    };
    kind(GLWidget::screwActive, view.screwMotion);
    kind(GLWidget::bezierActive, view.bezierMotion);
    kind(GLWidget::approximationActive, view.approximationMotion);
    kind(GLWidget::interpolationActive, view.interpolationMotion);
    if (GLWidget::continuousActive && view.continuousMotion) {
        view.continuousMotion->setKeyPoses(window.sensor->continuousPositions());
        sum += computeMotion(*view.continuousMotion);
    }
    return sum;
}

} // namespace bench
