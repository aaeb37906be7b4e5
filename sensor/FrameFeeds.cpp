#include "sensor/FrameFeeds.h"

#include <utility>

namespace Kinect {

namespace {

    template <class Interface> void releaseInterface(Interface *&object)
    {
        if (object) {
            object->Release();
            object = nullptr;
        }
    }

    // A body as the camera reports it, read through the contract. A body
    // whose tracking state or joints cannot be read is skipped for this
    // frame: it is stored untracked. A hand state that cannot be read stays
    // unknown.
    camera::Body copyBody(IBody *body)
    {
        camera::Body copy;
        BOOLEAN tracked = 0;
        if (!body || FAILED(body->get_IsTracked(&tracked)) || !tracked)
            return copy;
        if (FAILED(body->GetJoints(JointType_Count, copy.joints.data())))
            return camera::Body();
        copy.tracked = true;
        if (FAILED(body->get_TrackingId(&copy.trackingId)))
            copy.trackingId = 0;
        if (FAILED(body->get_HandLeftState(&copy.handLeftState)))
            copy.handLeftState = HandState_Unknown;
        if (FAILED(body->get_HandRightState(&copy.handRightState)))
            copy.handRightState = HandState_Unknown;
        return copy;
    }

    constexpr std::size_t colorFrameBytes = std::size_t(colorFrameWidth) * colorFrameHeight * 4;

} // namespace

BodyFrameFeed::BodyFrameFeed(IBodyFrameReader *reader)
    : m_reader(reader)
{
    if (m_reader)
        m_reader->AddRef();
}

BodyFrameFeed::~BodyFrameFeed()
{
    for (IBody *&body : m_bodies)
        releaseInterface(body);
    releaseInterface(m_reader);
}

HRESULT BodyFrameFeed::subscribe(WAITABLE_HANDLE *waitableHandle)
{
    return m_reader ? m_reader->SubscribeFrameArrived(waitableHandle) : E_FAIL;
}

void BodyFrameFeed::unsubscribe(WAITABLE_HANDLE waitableHandle)
{
    if (m_reader)
        m_reader->UnsubscribeFrameArrived(waitableHandle);
}

bool BodyFrameFeed::take()
{
    if (!m_reader)
        return false;
    std::lock_guard<std::mutex> takeLock(m_takeMutex);
    bool tell = false;
    // Bounded, so that a taker gets back to its stop event even from a
    // source that never runs dry; the arrival event stays signalled for the
    // rest.
    for (std::size_t n = 0; n < capacity; ++n) {
        IBodyFrame *frame = nullptr;
        if (FAILED(m_reader->AcquireLatestFrame(&frame)) || !frame)
            break;
        // The bodies are refreshed in place frame after frame.
        camera::BodyFrame copy;
        const bool read = SUCCEEDED(frame->GetAndRefreshBodyData(BODY_COUNT, m_bodies));
        if (read) {
            for (int i = 0; i < BODY_COUNT; ++i)
                copy.bodies[std::size_t(i)] = copyBody(m_bodies[i]);
            if (FAILED(frame->get_RelativeTime(&copy.relativeTime)))
                copy.relativeTime = 0;
        }
        frame->Release();
        if (!read)
            continue;
        std::lock_guard<std::mutex> queueLock(m_queueMutex);
        if (m_queue.size() >= capacity) {
            m_queue.pop_front();
            ++m_dropped;
        }
        m_queue.push_back(copy);
        tell = tell || !m_told;
        m_told = true;
    }
    return tell;
}

std::size_t BodyFrameFeed::collect(std::deque<camera::BodyFrame> &frames)
{
    std::deque<camera::BodyFrame> queued;
    std::size_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        queued.swap(m_queue);
        std::swap(dropped, m_dropped);
        m_told = false;
    }
    if (frames.empty())
        frames.swap(queued);
    else
        frames.insert(frames.end(), queued.begin(), queued.end());
    return dropped;
}

ColorFrameFeed::ColorFrameFeed(IColorFrameReader *reader)
    : m_reader(reader)
{
    if (m_reader)
        m_reader->AddRef();
}

ColorFrameFeed::~ColorFrameFeed() { releaseInterface(m_reader); }

void ColorFrameFeed::setPictureSize(QSize size)
{
    std::lock_guard<std::mutex> lock(m_pictureMutex);
    m_pictureSize = size;
}

HRESULT ColorFrameFeed::subscribe(WAITABLE_HANDLE *waitableHandle)
{
    return m_reader ? m_reader->SubscribeFrameArrived(waitableHandle) : E_FAIL;
}

void ColorFrameFeed::unsubscribe(WAITABLE_HANDLE waitableHandle)
{
    if (m_reader)
        m_reader->UnsubscribeFrameArrived(waitableHandle);
}

bool ColorFrameFeed::take()
{
    if (!m_reader)
        return false;
    std::lock_guard<std::mutex> takeLock(m_takeMutex);
    IColorFrame *frame = nullptr;
    if (FAILED(m_reader->AcquireLatestFrame(&frame)) || !frame)
        return false;
    QSize size;
    {
        std::lock_guard<std::mutex> lock(m_pictureMutex);
        size = m_pictureSize;
    }
    QImage picture = pictureOf(frame, size);
    frame->Release();
    if (picture.isNull())
        return false;
    std::lock_guard<std::mutex> lock(m_pictureMutex);
    m_picture = std::move(picture);
    const bool tell = !m_told;
    m_told = true;
    return tell;
}

QImage ColorFrameFeed::pictureOf(IColorFrame *frame, QSize size)
{
    if (size.isEmpty())
        return QImage();
    ColorImageFormat format = ColorImageFormat_None;
    if (FAILED(frame->get_RawColorImageFormat(&format)))
        return QImage();
    if (format == ColorImageFormat_Bgra || format == ColorImageFormat_Yuy2) {
        UINT capacity = 0;
        BYTE *buffer = nullptr;
        if (FAILED(frame->AccessRawUnderlyingBuffer(&capacity, &buffer)) || !buffer)
            return QImage();
        // A frame smaller than a full picture would be read past its end.
        const std::size_t needed
            = format == ColorImageFormat_Bgra ? colorFrameBytes : colorFrameBytes / 2;
        if (capacity < needed)
            return QImage();
        return m_scaler.scaled(buffer, format, colorFrameWidth, colorFrameHeight, size);
    }
    m_converted.resize(colorFrameBytes);
    if (FAILED(frame->CopyConvertedFrameDataToArray(
            UINT(colorFrameBytes), m_converted.data(), ColorImageFormat_Bgra)))
        return QImage();
    return m_scaler.scaled(
        m_converted.data(), ColorImageFormat_Bgra, colorFrameWidth, colorFrameHeight, size);
}

bool ColorFrameFeed::collect(QImage &picture)
{
    std::lock_guard<std::mutex> lock(m_pictureMutex);
    m_told = false;
    if (m_picture.isNull())
        return false;
    picture = std::move(m_picture);
    m_picture = QImage();
    return true;
}

} // namespace Kinect
