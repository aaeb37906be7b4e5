#pragma once

#include "sensor/ColorDisplay.h"
#include "sensor/KinectSdk.h"
#include "sensor/sources/Source.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace Kinect {

// The frames of one camera stream on their way from the thread that takes
// them to the GUI thread. A taker (a polling thread, or the GUI thread
// itself while no thread serves the feed) waits on the reader's arrival
// event and calls take(); the GUI thread collects what was taken. Shared
// through std::shared_ptr, so that neither side has to outlive the other.
class FrameFeed {
public:
    virtual ~FrameFeed() = default;

    // Subscribes to the reader's frame-arrival event (see IBodyFrameReader).
    virtual HRESULT subscribe(WAITABLE_HANDLE *waitableHandle) = 0;
    virtual void unsubscribe(WAITABLE_HANDLE waitableHandle) = 0;
    // Takes what the reader has now. True when the GUI thread should be
    // told: something new is waiting and it was not told already.
    virtual bool take() = 0;

    // Whether a thread takes this feed's frames: while none does, the GUI
    // thread takes them itself when it collects.
    bool isServed() const { return m_served; }
    void setServed(bool served) { m_served = served; }

private:
    std::atomic<bool> m_served { false };
};

// Every body frame of a reader, copied into a value as it arrives and kept
// in order until the GUI thread processes it. Holds up to `capacity` frames
// (30 s at 30 Hz); beyond that the oldest go, and the next collect says how
// many.
class BodyFrameFeed final : public FrameFeed {
public:
    static constexpr std::size_t capacity = 900;

    // Keeps a reference to reader.
    explicit BodyFrameFeed(IBodyFrameReader *reader);
    ~BodyFrameFeed() override;
    BodyFrameFeed(const BodyFrameFeed &) = delete;
    BodyFrameFeed &operator=(const BodyFrameFeed &) = delete;

    HRESULT subscribe(WAITABLE_HANDLE *waitableHandle) override;
    void unsubscribe(WAITABLE_HANDLE waitableHandle) override;
    // Acquires until the reader has nothing new, queueing each frame. A
    // frame whose body data cannot be read is skipped; a body whose tracking
    // state or joints cannot be read is stored untracked.
    bool take() override;

    // Moves the queued frames, oldest first, to the end of frames; returns
    // how many frames were dropped since the last collect.
    std::size_t collect(std::deque<camera::BodyFrame> &frames);

private:
    IBodyFrameReader *m_reader;
    // One taker at a time, so that frames are queued in the order acquired.
    std::mutex m_takeMutex;
    IBody *m_bodies[BODY_COUNT] = {};
    std::mutex m_queueMutex;
    std::deque<camera::BodyFrame> m_queue;
    std::size_t m_dropped = 0;
    bool m_told = false;
};

// The newest colour frame of a reader as a picture ready to show: converted
// and scaled to the colour view's size on the taker's thread. One picture
// waits at most; a newer one replaces it (pictures, not data).
class ColorFrameFeed final : public FrameFeed {
public:
    // Keeps a reference to reader.
    explicit ColorFrameFeed(IColorFrameReader *reader);
    ~ColorFrameFeed() override;
    ColorFrameFeed(const ColorFrameFeed &) = delete;
    ColorFrameFeed &operator=(const ColorFrameFeed &) = delete;

    // The size pictures are scaled to, published by the GUI thread; an
    // empty size makes none.
    void setPictureSize(QSize size);

    HRESULT subscribe(WAITABLE_HANDLE *waitableHandle) override;
    void unsubscribe(WAITABLE_HANDLE waitableHandle) override;
    bool take() override;

    // The waiting picture, if any.
    bool collect(QImage &picture);

private:
    QImage pictureOf(IColorFrame *frame, QSize size);

    IColorFrameReader *m_reader;
    std::mutex m_takeMutex;
    ColorFrameScaler m_scaler;
    // For frames in a format the scaler does not read: converted by the
    // reader first. Allocated on first need.
    std::vector<BYTE> m_converted;
    std::mutex m_pictureMutex;
    QSize m_pictureSize;
    QImage m_picture;
    bool m_told = false;
};

} // namespace Kinect
