#pragma once

namespace Kinect {

// A One Euro filter on one coordinate: a first-order low-pass whose cutoff
// rises with the signal's speed, so that a signal at rest is smoothed hard
// and a moving one follows with little lag. Each sample carries its own time
// in seconds: frames need not be evenly spaced. The state is the last
// estimate, the low-passed speed (units per second) and the last sample's
// time; non-finite samples and times never enter it.
class OneEuroFilter {
public:
    // The cutoff at rest in Hz (> 0), how much it rises per unit/s of speed
    // (>= 0; in Hz per unit/s), and the cutoff in Hz (> 0) of the low-pass
    // that the speed itself goes through before it raises the cutoff.
    struct Parameters {
        double minCutoff = 1.0;
        double beta = 0.0;
        double derivativeCutoff = 1.0;
    };

    OneEuroFilter() = default;
    explicit OneEuroFilter(const Parameters &parameters);

    const Parameters &parameters() const { return m_parameters; }

    // The estimate after sample x taken at time seconds.
    // - The first sample (and the first after reset()) is passed through.
    // - A sample at the time of the last one adds no time, so it leaves the
    //   estimate as it was; one earlier than the last restarts the filter
    //   there (the clock went back: a new stream).
    // - A non-finite sample or time is returned as it came and leaves the
    //   state untouched; the next good sample sees the whole time since the
    //   last good one, as after a dropped frame.
    double filter(double x, double seconds);

    // Forgets the state: the next sample starts afresh.
    void reset() { m_started = false; }

    bool started() const { return m_started; }
    // The last estimate; meaningful only once started.
    double value() const { return m_value; }

    // The share of a new sample that a first-order low-pass with this
    // cutoff (Hz) takes in after dt seconds: 1 / (1 + tau / dt) with the
    // time constant tau = 1 / (2 pi cutoff).
    static double smoothingFactor(double cutoff, double dt);

private:
    double restart(double x, double seconds);

    Parameters m_parameters;
    bool m_started = false;
    double m_value = 0.0;
    double m_speed = 0.0;
    double m_lastSeconds = 0.0;
};

} // namespace Kinect
