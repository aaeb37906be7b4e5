#include "sensor/JointSmoother.h"

namespace Kinect {

OneEuroFilter::Parameters JointSmoother::defaultParameters()
{
    // Chosen on the recorded body tracks (bench/drive_smoothing --sweep).
    // At rest a cutoff of 1 Hz cuts the hand centre's frame-to-frame jitter
    // (1 to 9 mm) four-fold or more; a moving hand (0.2 to 2 m/s between
    // poses) lifts it by 8 Hz per m/s to 3 to 17 Hz, so that the smoothed
    // path trails the raw one by under a frame at 30 Hz. A lower cutoff at
    // rest smooths a resting hand only a little more but lets a hand moving
    // a few centimetres a second trail by more than two frames. The speed is
    // low-passed at 1 Hz so that jitter hardly lifts a resting hand's cutoff.
    OneEuroFilter::Parameters parameters;
    parameters.minCutoff = 1.0;
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
