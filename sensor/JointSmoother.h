#pragma once

#include "sensor/OneEuroFilter.h"
#include "sensor/sources/Source.h"

#include <array>

namespace Kinect {

// Smooths the joints of one body slot from one body frame to the next: a One
// Euro filter on each of the 25 joints' x, y and z, each on its own. It
// restarts when the slot's body is lost or becomes another person (a new
// tracking id), and on reset(), which the owner calls when a source starts.
// Filters are stored joint by joint, x, y, z.
class JointSmoother {
public:
    // The parameters chosen on the recorded body tracks (bench/README.md,
    // figure 10): coordinates in metres, times in seconds.
    static OneEuroFilter::Parameters defaultParameters();

    explicit JointSmoother(const OneEuroFilter::Parameters &parameters = defaultParameters());

    // Replaces body's joint positions by their smoothed values, the body
    // frame taken at time seconds. An untracked body restarts the filters
    // and is left as it is; a non-finite coordinate is left as it came and
    // does not disturb its filter.
    void smooth(camera::Body &body, double seconds);

    void reset();

private:
    std::array<OneEuroFilter, 3 * JointType_Count> m_filters;
    UINT64 m_trackingId = 0;
    bool m_started = false;
};

} // namespace Kinect
