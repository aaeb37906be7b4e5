#pragma once

#include "sensor/sources/HandLandmarks.h"
#include "sensor/sources/HandPoseFit.h"
#include "sensor/sources/Source.h"

#include <cstdint>

namespace camera {

// An open/closed hand state from the open-hand ratio (see
// handfit::opennessRatio), with hysteresis: a hand counts as closed once
// the ratio falls below closeBelow and as open again once it rises above
// openAbove, so that a ratio wavering near one threshold does not toggle
// it. The first ratio decides by the middle of the two; NaN changes
// nothing.
class HandOpenness {
public:
    static constexpr double closeBelow = 1.1;
    static constexpr double openAbove = 1.4;

    HandState update(double ratio);
    HandState state() const { return m_state; }
    void reset() { m_state = HandState_Unknown; }

private:
    HandState m_state = HandState_Unknown;
};

// Turns landmark frames into the body a body tracker would report: joints in
// the tracker's camera space (metres; X to the camera's left as it looks out,
// Y up, Z away from the camera), HandLeftState from the left hand.
//
// The operator's right hand is fitted with a typical hand (see
// handfit::HandPoseFit): HandRight is the palm's centre, HandTipRight lies
// 8.5 cm from it along the hand's y axis (wrist toward the middle finger's
// knuckle), ThumbRight 5 cm across the palm toward the thumb and 3.5 cm
// along y, so the three points give back the fitted orientation exactly;
// WristRight is the fitted template's wrist. The left hand's joints are the
// model's own points placed by their perspective (palm centre, middle
// fingertip, thumb tip, wrist). Every other joint is not tracked, its
// position NaN.
class HandBodyBuilder {
public:
    explicit HandBodyBuilder(double horizontalFovDegrees = 60.0);
    HandBodyBuilder(double horizontalFovDegrees, const handfit::FitSettings &settings);
    void reset(); // a source (re)starts
    Body bodyFrom(const LandmarkFrame &frame); // tracked when a hand was seen

    // Which of a frame's hands are the operator's right and left (indices,
    // -1 for none).
    struct HandChoice {
        int right = -1;
        int left = -1;
    };
    // The choice the last bodyFrom made.
    HandChoice lastChoice() const { return m_lastChoice; }

private:
    // A hand keeps its side while it stays where it was (the model's label
    // flips now and then, e.g. on a hand tipped away). A hand that is new
    // takes its side from the model's label: the model assumes a mirrored
    // picture, so on an unmirrored one its "Right" is the operator's left
    // hand. Two new hands given the same label are told apart by where they
    // are: the operator's right hand is on the camera's left.
    HandChoice chooseHands(const LandmarkFrame &frame);

    // Where a side's hand was last seen: its palm's centre in the
    // unmirrored picture, and the frame's time.
    struct HandTrack {
        bool seen = false;
        double u = 0.0, v = 0.0;
        std::int64_t time = 0;
    };

    double m_horizontalFov;
    handfit::HandPoseFit m_fit;
    HandOpenness m_leftOpenness;
    HandOpenness m_rightOpenness;
    std::int64_t m_previousFitTime = 0;
    HandTrack m_rightTrack, m_leftTrack;
    HandChoice m_lastChoice;
};

} // namespace camera
