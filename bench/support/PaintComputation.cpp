#include "bench/support/PaintComputation.h"

#include "app/mainDialog.h"
#include "motion/MNoneMotion.h"
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

double computeMotion(Motion &motion) { return checksum(motion.prepareDrawing()); }

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
    for (const MotionKindInfo &kind : motionKinds()) {
        Motion *motion = view.motion(kind.kind);
        if (!motion)
            continue;
        if (kind.source == MotionSource::ContinuousPositions) {
            motion->setKeyPoses(window.sensor->continuousPositions());
        } else {
            motion->setKeyPoses(keyPoses);
            if (showKeyPositions)
                sum += computeKeyPositions(*motion);
        }
        sum += computeMotion(*motion);
    }
    return sum;
}

} // namespace bench
