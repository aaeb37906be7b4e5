#pragma once

#include "sensor/KinectSdk.h"

#include <QPoint>

class QLabel;

namespace camera {
struct Body;
}

namespace Kinect {

// The point of a w x h view where a depth-image point (512 x 424) appears:
// x = X w / 512, y = Y h / 424 in single precision, truncated toward zero. A
// coordinate that is not a number, or lies beyond viewPointLimit, becomes
// -viewPointLimit or +viewPointLimit: far outside any view, yet safe to draw
// to.
constexpr int viewPointLimit = 1 << 16;
QPoint viewPointFromDepthPoint(const DepthSpacePoint &depthPoint, int w, int h);

// The skeleton view: a tracked body's stick figure, its joints mapped through
// the camera's coordinate mapper into the label's size, drawn green on black
// on a picture of the view's fixed size. GUI thread only.
class SkeletonOverlay {
public:
    // Neither is owned; both must outlive the overlay. Without a label
    // nothing is drawn.
    SkeletonOverlay(QLabel *label, ICoordinateMapper *mapper);

    // Replaces the label's picture by the body's stick figure.
    void show(const camera::Body &body);

private:
    QLabel *m_label;
    ICoordinateMapper *m_mapper;
};

} // namespace Kinect
