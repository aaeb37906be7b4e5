#pragma once

#include "sensor/KinectSdk.h"

#include <QObject>
#include <QPoint>

class QLabel;

namespace Kinect {

// Shows camera colour frames in a label: width x height pixels of 4 bytes
// (blue, green, red, ignored), rows top down, scaled to the label's frame
// without keeping the aspect ratio. The label is not owned.
class colorDisplay : public QObject {
public:
    colorDisplay(QLabel *label, int width, int height, QObject *parent);

    // Shows one frame; the pixels are read, not kept or copied.
    void showFrame(const unsigned char *pixels);

private:
    QLabel *label;
    int width;
    int height;
};

// The point of a w x h view where a depth-image point (512 x 424) appears:
// x = X w / 512, y = Y h / 424 in single precision, truncated toward zero. A
// coordinate that is not a number, or lies beyond viewPointLimit, becomes
// -viewPointLimit or +viewPointLimit: far outside any view, yet safe to draw
// to.
constexpr int viewPointLimit = 1 << 16;
QPoint viewPointFromDepthPoint(const DepthSpacePoint &depthPoint, int w, int h);

} // namespace Kinect
