#pragma once

#include "sensor/sources/HandLandmarks.h"
#include "sensor/sources/Source.h"

namespace camera {
// Turns landmark frames into the body a body tracker would report.
class HandBodyBuilder {
public:
    explicit HandBodyBuilder(double horizontalFovDegrees = 60.0);
    void reset();
    Body bodyFrom(const LandmarkFrame &frame);

private:
    double m_fovDegrees;
    bool m_leftClosed = false;
};
}
