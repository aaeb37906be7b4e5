#pragma once

#include "sensor/KinectSdk.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// What sits behind the camera contract: a Source produces body frames and
// colour images on its own clock; sensor/sources/SourceDevice.h wraps one in
// the contract's reference-counted objects. Sources know nothing of widgets.
namespace camera {

// One body slot of a body frame as the camera reports it.
struct Body {
    bool tracked = false;
    UINT64 trackingId = 0;
    HandState handLeftState = HandState_Unknown;
    HandState handRightState = HandState_Unknown;
    // Indexed by JointType; joints[j].JointType == j.
    std::array<Joint, JointType_Count> joints {};
};

// A body frame: BODY_COUNT slots, an empty slot being an untracked body.
struct BodyFrame {
    std::array<Body, BODY_COUNT> bodies {};
};

// A colour image in the camera's raw format, rows top down: 2 bytes a pixel
// for ColorImageFormat_Yuy2 (Y0 U Y1 V for each pair of pixels), 4 for
// ColorImageFormat_Bgra.
struct ColorImage {
    ColorImageFormat format = ColorImageFormat_None;
    int width = 0;
    int height = 0;
    std::vector<BYTE> bytes;
};

// A camera source. Frame indices count the frames of one stream from 0 at
// each open() and never decrease; a reader delivers the newest due index it
// has not delivered yet. All calls come from one thread.
class Source {
public:
    virtual ~Source();

    // Starts both streams; frame times count from this call. False when
    // there is no camera behind this source; the source has then said why on
    // standard error.
    virtual bool open() = 0;
    virtual void close() { }

    // The newest body frame that is due, -1 while none is. Called on every
    // poll, so it must be cheap.
    virtual std::int64_t latestBodyFrame() = 0;
    // Fills frame with body frame index, an index latestBodyFrame() returned.
    virtual void bodyFrame(std::int64_t index, BodyFrame &frame) = 0;

    // The same for colour; a source without colour never has a frame due.
    virtual std::int64_t latestColorFrame() { return -1; }
    // Fills image with colour frame index. The image may hold an earlier
    // frame of the same size, which the source can overwrite in place.
    virtual void colorFrame(std::int64_t index, ColorImage &image);
};

// Makes GetDefaultKinectSensor use source instead of reading
// HANDMOTION_CAMERA, until replaced; null goes back to the environment. This
// is how tests and tools put a scripted or clock-stepped source behind the
// sensor. One sensor at a time should use a source: opening it again restarts
// its frame count.
void installSource(std::shared_ptr<Source> source);
std::shared_ptr<Source> installedSource();

// Installs a source for the lifetime of this object, then puts back the one
// installed before.
class ScopedSource {
public:
    explicit ScopedSource(std::shared_ptr<Source> source);
    ~ScopedSource();
    ScopedSource(const ScopedSource &) = delete;
    ScopedSource &operator=(const ScopedSource &) = delete;

private:
    std::shared_ptr<Source> m_previous;
};

// The source a value of HANDMOTION_CAMERA names, paced by the steady clock:
// null for "", "none", and (after a message on standard error listing the
// valid values) for anything unknown.
std::shared_ptr<Source> sourceFromSetting(const QString &setting);
// sourceFromSetting of the environment variable.
std::shared_ptr<Source> sourceFromEnvironment();

} // namespace camera
