#include "sensor/JointSmoother.h"

namespace Kinect {

OneEuroFilter::Parameters JointSmoother::defaultParameters()
{
    // Chosen on the recorded body tracks (bench/drive_smoothing --sweep): a
    // resting hand's centre jitters about 1 to 5 mm from frame to frame, and
    // a cutoff of 0.5 Hz at rest cuts that five-fold; the hand moves at 0.2
    // to 2 m/s between poses, where 8 Hz per m/s lifts the cutoff to 2 to 16
    // Hz and keeps the lag under a frame at 30 Hz. The speed is low-passed
    // at 1 Hz so that jitter hardly lifts the cutoff of a resting hand.
    OneEuroFilter::Parameters parameters;
    parameters.minCutoff = 0.5;
    parameters.beta = 8.0;
    parameters.derivativeCutoff = 1.0;
    return parameters;
}

JointSmoother::JointSmoother(const OneEuroFilter::Parameters &parameters)
{
    m_filters.fill(OneEuroFilter(parameters));
}

void JointSmoother::reset()
{
    for (OneEuroFilter &filter : m_filters)
        filter.reset();
    m_started = false;
}

void JointSmoother::smooth(camera::Body &body, double seconds)
{
    if (!body.tracked) {
        reset();
        return;
    }
    if (m_started && body.trackingId != m_trackingId)
        reset();
    m_started = true;
    m_trackingId = body.trackingId;
    for (std::size_t j = 0; j < body.joints.size(); ++j) {
        CameraSpacePoint &p = body.joints[j].Position;
        // The filters run in double; the camera's single precision is kept
        // for the result.
        p.X = float(m_filters[3 * j].filter(p.X, seconds));
        p.Y = float(m_filters[3 * j + 1].filter(p.Y, seconds));
        p.Z = float(m_filters[3 * j + 2].filter(p.Z, seconds));
    }
}

} // namespace Kinect
