#pragma once

#include "sensor/sources/Source.h"

#include <QPointF>

#include <vector>

namespace camera {

// The demo camera's colour picture: a room rendered once at construction and
// kept as YUY2, and the operator drawn over a copy of it in each frame as
// shaded limbs, straight into YUY2, so that a frame costs one copy of the
// room and the few pixels the body covers.
class DemoScene {
public:
    static constexpr int width = 1920;
    static constexpr int height = 1080;

    DemoScene();

    // The colour frame showing body: ColorImageFormat_Yuy2, width x height.
    void render(const Body &body, ColorImage &image) const;

    // Where a camera-space point appears in the colour picture (a pinhole in
    // the middle of the picture, focal length 1060 pixels, mirrored like the
    // depth image: +X to the right).
    static QPointF colorPoint(const CameraSpacePoint &p);

    // The room without the operator, YUY2.
    const std::vector<BYTE> &background() const { return m_background; }

private:
    std::vector<BYTE> m_background;
};

} // namespace camera
