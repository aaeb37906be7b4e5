#include "sensor/JointSmoother.h"

namespace Kinect {

OneEuroFilter::Parameters JointSmoother::defaultParameters()
{
    OneEuroFilter::Parameters parameters;
    parameters.minCutoff = 1.0;
    parameters.beta = 0.0;
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
