#pragma once

#include "sensor/KinectSdk.h"

#include <QString>

#include <array>
#include <chrono>
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
    // When the frame was taken, in units of 100 ns on the source's clock:
    // later for every later frame of one open().
    TIMESPAN relativeTime = 0;
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
// has not delivered yet.
//
// When a frame falls due, the readers waiting for it must be woken. A
// source does that in one of two ways:
// - Paced by a clock (demo, replay): timeToNextBodyFrame() says how long,
//   on the source's clock, until the next frame falls due, and the reader
//   wakes its thread then. On a SteppedClock that wake-up comes after the
//   stepped delay of real time, whether or not the clock was stepped: code
//   that steps a clock acquires frames itself rather than waiting.
// - Pushed (frames that arrive from elsewhere, e.g. over the network, or
//   scripted by a test): once latestBodyFrame() returns the new frame, the
//   source calls bodyFrameArrived(), from any thread.
// A source may also keep pushed frames in a queue and hand them out one by
// one in order: each latestBodyFrame() then returns the index of the next
// queued frame (the reader calls it once per AcquireLatestFrame, then
// bodyFrame() with that index when it is new). A reader's arrival event
// stays signalled after every frame it delivers, so a burst of queued
// frames is taken in full, one acquire each, without further signals.
//
// Threads: the readers call the body stream's functions (latestBodyFrame,
// bodyFrame, timeToNextBodyFrame) from one thread at a time and the colour
// stream's likewise, but the two streams may be in calls at the same time
// on two threads. open() and close() come while neither stream is in a
// call. What a source shares between its streams, or with a thread of its
// own, it guards itself.
class Source {
public:
    Source();
    virtual ~Source();
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;

    // Starts both streams; frame times count from this call. False when
    // there is no camera behind this source; the source has then said why on
    // standard error.
    virtual bool open() = 0;
    virtual void close() { }

    // The newest body frame that is due, -1 while none is. Called on every
    // acquire, so it must be cheap.
    virtual std::int64_t latestBodyFrame() = 0;
    // Fills frame with body frame index, an index latestBodyFrame() returned.
    virtual void bodyFrame(std::int64_t index, BodyFrame &frame) = 0;

    // The same for colour; a source without colour never has a frame due.
    virtual std::int64_t latestColorFrame() { return -1; }
    // Fills image with colour frame index. The image may hold an earlier
    // frame of the same size, which the source can overwrite in place.
    virtual void colorFrame(std::int64_t index, ColorImage &image);
    // What the colour view shows instead of pictures when this source has
    // no colour stream and wants to say so; null otherwise.
    virtual const char *missingColorStreamCaption() const { return nullptr; }
    // Whether this source's body frames come at another rate than the body
    // tracker's 30 Hz, so that capture counts stillness by their times.
    virtual bool countsStillnessByTime() const { return false; }
    // What the status bar shows for this source now (see
    // IKinectSensor::GetStatusText); any thread.
    virtual QString statusText() { return QString(); }

    // For sources paced by a clock: how long from now, on the source's
    // clock, until the body (colour) frame after the latest one falls due;
    // zero or less when one is due already. noFrameDue (what push sources
    // and finished sources return) when no frame will fall due by time
    // alone.
    static constexpr std::chrono::nanoseconds noFrameDue = std::chrono::nanoseconds::max();
    virtual std::chrono::nanoseconds timeToNextBodyFrame() { return noFrameDue; }
    virtual std::chrono::nanoseconds timeToNextColorFrame() { return noFrameDue; }

    // For push sources: wakes the readers waiting for a body (colour) frame
    // of this source. Call it after latestBodyFrame() returns the new frame.
    // Any thread, any time, also before open() and with no reader waiting;
    // cheap, and calling it once too often only costs a reader one acquire.
    void bodyFrameArrived();
    void colorFrameArrived();

    // For the contract's readers: the arrival events that
    // bodyFrameArrived() and colorFrameArrived() signal.
    enum class Stream { Body, Color };
    void addArrivalEvent(Stream stream, HANDLE event);
    void removeArrivalEvent(Stream stream, HANDLE event);

private:
    struct ArrivalEvents;
    std::unique_ptr<ArrivalEvents> m_arrivalEvents;
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

// What is wrong with a camera setting (a value of HANDMOTION_CAMERA or of
// the --camera option), empty when it names a source: "", "none", "demo",
// "replay:PATH" (PATH ending in .csv or .skeleton; whether the file exists is
// found out when the source opens), "osc", "osc:PORT" or "osc:ADDRESS:PORT",
// "webcam", "webcam:/dev/videoN" or "video:PATH", each with options (see
// readHandSourceSetting in sensor/sources/HandSource.h).
QString cameraSettingError(const QString &setting);
// The source a camera setting names, paced by the steady clock: null for
// "", "none", and (after a message on standard error with what is wrong)
// for anything cameraSettingError refuses.
std::shared_ptr<Source> sourceFromSetting(const QString &setting);

// Makes the setting the camera is chosen by this one (the command line's
// choice) instead of HANDMOTION_CAMERA; a null string goes back to the
// variable.
void overrideCameraSetting(const QString &setting);
// The setting in force: the override when there is one, else the variable.
QString cameraSetting();
// sourceFromSetting of the setting in force.
std::shared_ptr<Source> sourceFromEnvironment();

} // namespace camera
