#include "sensor/sources/SourceDevice.h"

#include "sensor/sources/ColorConversion.h"
#include "sensor/sources/Source.h"
#include "sensor/sources/WaitableEvent.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>

namespace camera {

namespace {

    std::atomic<int> liveObjects { 0 };

    // What the contract's getters do: E_POINTER for a null out-parameter,
    // else the value handed out and S_OK.
    template <class Out, class Value> HRESULT handOut(Out *out, const Value &value)
    {
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    // The reference count every contract object carries. The count starts at
    // one: the reference of whoever created the object.
    template <class Interface> class RefCounted : public Interface {
    public:
        RefCounted() { ++liveObjects; }
        RefCounted(const RefCounted &) = delete;
        RefCounted &operator=(const RefCounted &) = delete;

        ULONG AddRef() override { return ++m_references; }
        ULONG Release() override
        {
            const ULONG left = --m_references;
            if (left == 0)
                delete this;
            return left;
        }

    protected:
        ~RefCounted() override { --liveObjects; }

    private:
        std::atomic<ULONG> m_references { 1 };
    };

    // The state one sensor object shares with everything it hands out. Each
    // stream has a lock of its own, held through every call a reader makes
    // into the source, so that the body and the colour reader can run on two
    // threads at once; open and close take both.
    struct Device {
        std::shared_ptr<Source> source; // null: no camera
        std::mutex bodyMutex;
        std::mutex colorMutex;
        bool open = false;
        // Counts the opens, so that readers know when frame indices restart.
        int openCount = 0;

        std::mutex &mutexOf(Source::Stream stream)
        {
            return stream == Source::Stream::Body ? bodyMutex : colorMutex;
        }
    };

    // A contract object that shares its sensor's device.
    template <class Interface> class OnDevice : public RefCounted<Interface> {
    public:
        explicit OnDevice(std::shared_ptr<Device> device)
            : m_device(std::move(device))
        {
        }

    protected:
        std::shared_ptr<Device> m_device;
    };

    // Which frame of a stream a reader delivered last; -1 for none since the
    // device was last opened.
    class StreamCursor {
    public:
        // The newest due index not delivered yet, or -1.
        std::int64_t next(const Device &device, std::int64_t latestDue)
        {
            if (m_openCount != device.openCount) {
                m_openCount = device.openCount;
                m_delivered = -1;
            }
            if (latestDue <= m_delivered)
                return -1;
            m_delivered = latestDue;
            return latestDue;
        }

    private:
        int m_openCount = 0;
        std::int64_t m_delivered = -1;
    };

    class BodyImpl final : public RefCounted<IBody> {
    public:
        explicit BodyImpl(const Body &body)
            : m_body(body)
        {
        }
        void refresh(const Body &body) { m_body = body; }

        HRESULT get_IsTracked(BOOLEAN *tracked) override
        {
            return handOut(tracked, BOOLEAN(m_body.tracked ? 1 : 0));
        }
        HRESULT get_TrackingId(UINT64 *trackingId) override
        {
            return handOut(trackingId, m_body.trackingId);
        }
        HRESULT get_HandLeftState(HandState *handState) override
        {
            return handOut(handState, m_body.handLeftState);
        }
        HRESULT get_HandRightState(HandState *handState) override
        {
            return handOut(handState, m_body.handRightState);
        }
        HRESULT GetJoints(UINT capacity, Joint *joints) override
        {
            if (!joints)
                return E_POINTER;
            if (capacity < static_cast<UINT>(JointType_Count))
                return E_INVALIDARG;
            std::copy(m_body.joints.begin(), m_body.joints.end(), joints);
            return S_OK;
        }

    private:
        Body m_body;
    };

    class BodyFrameImpl final : public RefCounted<IBodyFrame> {
    public:
        BodyFrame frame;

        HRESULT GetAndRefreshBodyData(UINT capacity, IBody **bodies) override
        {
            if (!bodies)
                return E_POINTER;
            const UINT count = std::min(capacity, static_cast<UINT>(BODY_COUNT));
            // Check every slot before changing any, so that a failure leaves
            // the caller's array as it was.
            for (UINT i = 0; i < count; ++i) {
                if (bodies[i] && !dynamic_cast<BodyImpl *>(bodies[i]))
                    return E_INVALIDARG;
            }
            for (UINT i = 0; i < count; ++i) {
                if (bodies[i])
                    static_cast<BodyImpl *>(bodies[i])->refresh(frame.bodies[i]);
                else
                    bodies[i] = new BodyImpl(frame.bodies[i]);
            }
            return S_OK;
        }

        HRESULT get_RelativeTime(TIMESPAN *relativeTime) override
        {
            if (!relativeTime)
                return E_POINTER;
            *relativeTime = frame.relativeTime;
            return S_OK;
        }
    };

    // The camera's colour stream is always 1920 x 1080; an image of another
    // size, or one with too few bytes for its format, is not delivered.
    bool isFullColorFrame(const ColorImage &image)
    {
        constexpr std::size_t pixels = std::size_t(colorFrameWidth) * colorFrameHeight;
        if (image.width != colorFrameWidth || image.height != colorFrameHeight)
            return false;
        switch (image.format) {
        case ColorImageFormat_Yuy2:
            return image.bytes.size() >= 2 * pixels;
        case ColorImageFormat_Bgra:
            return image.bytes.size() >= 4 * pixels;
        default:
            return false;
        }
    }

    class ColorFrameImpl final : public RefCounted<IColorFrame> {
    public:
        explicit ColorFrameImpl(std::shared_ptr<ColorImage> image)
            : m_image(std::move(image))
        {
        }

        HRESULT get_RawColorImageFormat(ColorImageFormat *format) override
        {
            return handOut(format, m_image->format);
        }
        HRESULT AccessRawUnderlyingBuffer(UINT *capacity, BYTE **buffer) override
        {
            if (!capacity || !buffer)
                return E_POINTER;
            *capacity = static_cast<UINT>(m_image->bytes.size());
            *buffer = m_image->bytes.data();
            return S_OK;
        }
        HRESULT CopyConvertedFrameDataToArray(
            UINT capacity, BYTE *array, ColorImageFormat format) override
        {
            if (!array)
                return E_POINTER;
            if (format != ColorImageFormat_Bgra && format != ColorImageFormat_Rgba)
                return E_INVALIDARG;
            const ColorImage &image = *m_image;
            const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
            if (capacity < 4 * pixels)
                return E_INVALIDARG;
            const bool rgbaOrder = format == ColorImageFormat_Rgba;
            switch (image.format) {
            case ColorImageFormat_Yuy2:
                if (image.width % 2 != 0 || image.bytes.size() < 2 * pixels)
                    return E_FAIL;
                convertYuy2(image.bytes.data(), image.width, image.height, array, rgbaOrder);
                return S_OK;
            case ColorImageFormat_Bgra:
                if (image.bytes.size() < 4 * pixels)
                    return E_FAIL;
                std::memcpy(array, image.bytes.data(), 4 * pixels);
                if (rgbaOrder) {
                    for (std::size_t i = 0; i < pixels; ++i)
                        std::swap(array[4 * i], array[4 * i + 2]);
                }
                return S_OK;
            default:
                return E_FAIL;
            }
        }

    private:
        std::shared_ptr<ColorImage> m_image;
    };

    // A reader of one stream: hands out the newest due frame it has not
    // handed out yet, while the device is open, and keeps the arrival events
    // of its subscribers signalled while a frame may be waiting.
    template <class ReaderInterface, class FrameInterface, Source::Stream stream>
    class FrameReader : public OnDevice<ReaderInterface> {
    public:
        using OnDevice<ReaderInterface>::OnDevice;

        HRESULT AcquireLatestFrame(FrameInterface **frame) override
        {
            if (!frame)
                return E_POINTER;
            *frame = nullptr;
            std::lock_guard<std::mutex> lock(m_device->mutexOf(m_stream));
            // Reset before looking: a frame that arrives after this point
            // signals again, so none is slept through.
            for (HANDLE event : m_events)
                ResetEvent(event);
            if (!m_device->open)
                return E_PENDING;
            Source &source = *m_device->source;
            const std::int64_t index = m_cursor.next(*m_device, latestDue(source));
            if (index < 0) {
                armEvents(timeToNext(source));
                return E_PENDING;
            }
            // Another frame may be queued behind this one; the next acquire
            // finds out.
            for (HANDLE event : m_events)
                SetEvent(event);
            *frame = makeFrame(source, index);
            return *frame ? S_OK : E_FAIL;
        }

        HRESULT SubscribeFrameArrived(WAITABLE_HANDLE *waitableHandle) override
        {
            if (!waitableHandle)
                return E_POINTER;
            HANDLE event = CreateEvent(1, 1);
            {
                std::lock_guard<std::mutex> lock(m_device->mutexOf(m_stream));
                m_events.push_back(event);
            }
            if (m_device->source)
                m_device->source->addArrivalEvent(m_stream, event);
            *waitableHandle = reinterpret_cast<WAITABLE_HANDLE>(event);
            return S_OK;
        }

        HRESULT UnsubscribeFrameArrived(WAITABLE_HANDLE waitableHandle) override
        {
            HANDLE event = reinterpret_cast<HANDLE>(waitableHandle);
            {
                std::lock_guard<std::mutex> lock(m_device->mutexOf(m_stream));
                const auto found = std::find(m_events.begin(), m_events.end(), event);
                if (found == m_events.end())
                    return E_INVALIDARG;
                m_events.erase(found);
            }
            endSubscription(event);
            return S_OK;
        }

    protected:
        ~FrameReader() override
        {
            for (HANDLE event : m_events)
                endSubscription(event);
        }

        // The frame of that index (one reference for the caller), or null
        // when it cannot be delivered.
        virtual FrameInterface *makeFrame(Source &source, std::int64_t index) = 0;

    private:
        std::int64_t latestDue(Source &source) const
        {
            return m_stream == Source::Stream::Body ? source.latestBodyFrame()
                                                    : source.latestColorFrame();
        }
        std::chrono::nanoseconds timeToNext(Source &source) const
        {
            return m_stream == Source::Stream::Body ? source.timeToNextBodyFrame()
                                                    : source.timeToNextColorFrame();
        }

        void endSubscription(HANDLE event)
        {
            if (m_device->source)
                m_device->source->removeArrivalEvent(m_stream, event);
            CloseHandle(event);
        }

        // Wakes the subscribers when the source's clock says the next frame
        // falls due. A delay beyond a day is a clock far off, not a frame to
        // wait for: the subscriber then wakes once a day and finds nothing.
        void armEvents(std::chrono::nanoseconds delay)
        {
            if (m_events.empty() || delay == Source::noFrameDue)
                return;
            constexpr std::chrono::nanoseconds longest = std::chrono::hours(24);
            const EventTime due = std::chrono::steady_clock::now() + std::min(delay, longest);
            for (HANDLE event : m_events)
                signalEventAt(event, due);
        }

        using OnDevice<ReaderInterface>::m_device;
        static constexpr Source::Stream m_stream = stream;
        StreamCursor m_cursor;
        // The subscribers' events, guarded by the stream's lock.
        std::vector<HANDLE> m_events;
    };

    class BodyFrameReaderImpl final
        : public FrameReader<IBodyFrameReader, IBodyFrame, Source::Stream::Body> {
    public:
        using FrameReader::FrameReader;

    private:
        IBodyFrame *makeFrame(Source &source, std::int64_t index) override
        {
            auto *frame = new BodyFrameImpl;
            source.bodyFrame(index, frame->frame);
            return frame;
        }
    };

    class ColorFrameReaderImpl final
        : public FrameReader<IColorFrameReader, IColorFrame, Source::Stream::Color> {
    public:
        using FrameReader::FrameReader;

    private:
        IColorFrame *makeFrame(Source &source, std::int64_t index) override
        {
            // The image buffer is reused once the frame that last held it is
            // gone, so steady polling allocates nothing.
            if (!m_image || m_image.use_count() > 1)
                m_image = std::make_shared<ColorImage>();
            source.colorFrame(index, *m_image);
            if (!isFullColorFrame(*m_image))
                return nullptr;
            return new ColorFrameImpl(m_image);
        }

        std::shared_ptr<ColorImage> m_image;
    };

    template <class SourceInterface, class ReaderInterface, class ReaderImpl>
    class FrameSourceImpl : public OnDevice<SourceInterface> {
    public:
        using OnDevice<SourceInterface>::OnDevice;

        HRESULT OpenReader(ReaderInterface **reader) override
        {
            if (!reader)
                return E_POINTER;
            *reader = new ReaderImpl(this->m_device);
            return S_OK;
        }
    };

    class BodyFrameSourceImpl final
        : public FrameSourceImpl<IBodyFrameSource, IBodyFrameReader, BodyFrameReaderImpl> {
    public:
        using FrameSourceImpl::FrameSourceImpl;

        HRESULT get_CountsStillnessByTime(BOOLEAN *byTime) override
        {
            if (!byTime)
                return E_POINTER;
            *byTime = m_device->source && m_device->source->countsStillnessByTime();
            return S_OK;
        }
    };

    class ColorFrameSourceImpl final
        : public FrameSourceImpl<IColorFrameSource, IColorFrameReader, ColorFrameReaderImpl> {
    public:
        using FrameSourceImpl::FrameSourceImpl;

        HRESULT get_MissingStreamCaption(const char **caption) override
        {
            return handOut(caption,
                m_device->source ? m_device->source->missingColorStreamCaption() : nullptr);
        }
    };

    // A double as a float, beyond the float range as an infinity (a plain
    // conversion of such a value is undefined).
    float toFloat(double value)
    {
        constexpr double largest = std::numeric_limits<float>::max();
        if (value > largest)
            return std::numeric_limits<float>::infinity();
        if (value < -largest)
            return -std::numeric_limits<float>::infinity();
        return static_cast<float>(value);
    }

    class CoordinateMapperImpl final : public RefCounted<ICoordinateMapper> {
    public:
        HRESULT MapCameraPointToDepthSpace(CameraSpacePoint p, DepthSpacePoint *depthPoint) override
        {
            if (!depthPoint)
                return E_POINTER;
            // The depth camera's pinhole: 512 x 424 pixels, principal point in
            // the middle, focal length 365.5 pixels.
            constexpr double focalLength = 365.5;
            if (!(p.Z > 0.0f) || !std::isfinite(p.X) || !std::isfinite(p.Y)
                || !std::isfinite(p.Z)) {
                const float unmappable = -std::numeric_limits<float>::infinity();
                *depthPoint = DepthSpacePoint { unmappable, unmappable };
                return S_OK;
            }
            depthPoint->X = toFloat(256.0 + focalLength * p.X / p.Z);
            depthPoint->Y = toFloat(212.0 - focalLength * p.Y / p.Z);
            return S_OK;
        }
    };

    class KinectSensorImpl final : public RefCounted<IKinectSensor> {
    public:
        explicit KinectSensorImpl(std::shared_ptr<Source> source)
            : m_device(std::make_shared<Device>())
        {
            m_device->source = std::move(source);
        }

        HRESULT Open() override
        {
            {
                std::scoped_lock lock(m_device->bodyMutex, m_device->colorMutex);
                if (m_device->open)
                    return S_OK;
                if (!m_device->source || !m_device->source->open())
                    return E_FAIL;
                m_device->open = true;
                ++m_device->openCount;
            }
            // Both streams start afresh: their readers look again.
            m_device->source->bodyFrameArrived();
            m_device->source->colorFrameArrived();
            return S_OK;
        }
        HRESULT Close() override
        {
            std::scoped_lock lock(m_device->bodyMutex, m_device->colorMutex);
            if (m_device->open) {
                m_device->open = false;
                m_device->source->close();
            }
            return S_OK;
        }
        HRESULT get_CoordinateMapper(ICoordinateMapper **mapper) override
        {
            if (!mapper)
                return E_POINTER;
            *mapper = new CoordinateMapperImpl;
            return S_OK;
        }
        HRESULT get_ColorFrameSource(IColorFrameSource **source) override
        {
            if (!source)
                return E_POINTER;
            *source = new ColorFrameSourceImpl(m_device);
            return S_OK;
        }
        HRESULT GetStatusText(UINT capacity, char *text) override
        {
            if (!text || capacity == 0)
                return E_POINTER;
            const QByteArray status
                = m_device->source ? m_device->source->statusText().toUtf8() : QByteArray();
            // Cut at a character's start, so that the text stays UTF-8.
            int length = std::min(status.size(), int(capacity) - 1);
            while (length > 0 && length < status.size() && (status[length] & 0xc0) == 0x80)
                --length;
            std::memcpy(text, status.constData(), std::size_t(length));
            text[length] = '\0';
            return S_OK;
        }
        HRESULT get_BodyFrameSource(IBodyFrameSource **source) override
        {
            if (!source)
                return E_POINTER;
            *source = new BodyFrameSourceImpl(m_device);
            return S_OK;
        }

    private:
        ~KinectSensorImpl() override { Close(); }

        std::shared_ptr<Device> m_device;
    };

} // namespace

IKinectSensor *createKinectSensor(std::shared_ptr<Source> source)
{
    return new KinectSensorImpl(std::move(source));
}

int liveContractObjects() { return liveObjects.load(); }

} // namespace camera
