#include "sensor/OneEuroFilter.h"

#include <cmath>

namespace Kinect {

OneEuroFilter::OneEuroFilter(const Parameters &parameters)
    : m_parameters(parameters)
{
}

double OneEuroFilter::smoothingFactor(double cutoff, double dt)
{
    // Written as dt / (dt + tau) so that an infinite cutoff (tau = 0) passes
    // the sample through instead of dividing by zero.
    const double tau = 1.0 / (2.0 * M_PI * cutoff);
    return dt / (dt + tau);
}

double OneEuroFilter::restart(double x, double seconds)
{
    m_started = true;
    m_value = x;
    m_speed = 0.0;
    m_lastSeconds = seconds;
    return x;
}

double OneEuroFilter::filter(double x, double seconds)
{
    if (!std::isfinite(x) || !std::isfinite(seconds))
        return x;
    if (!m_started || seconds < m_lastSeconds)
        return restart(x, seconds);
    const double dt = seconds - m_lastSeconds;
    if (dt == 0.0)
        return m_value;
    m_speed += smoothingFactor(m_parameters.derivativeCutoff, dt) * ((x - m_value) / dt - m_speed);
    // A jump too large for a double over a tiny step: no speed to follow.
    if (!std::isfinite(m_speed))
        return restart(x, seconds);
    // At rest the speed term is left out, so that an infinite beta times a
    // zero speed does not make the cutoff NaN.
    const double absSpeed = std::abs(m_speed);
    const double cutoff
        = m_parameters.minCutoff + (absSpeed > 0.0 ? m_parameters.beta * absSpeed : 0.0);
    m_value += smoothingFactor(cutoff, dt) * (x - m_value);
    m_lastSeconds = seconds;
    return m_value;
}

} // namespace Kinect
