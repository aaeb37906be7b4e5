// The camera contract over its sources: reference counting, frame pacing on
// a stepped clock, events and the readers' frame-arrival events (paced,
// pushed and queued sources, across threads), the coordinate mapper, colour
// conversion, and the choice of source from HANDMOTION_CAMERA and the
// --camera option.

#include "app/CameraOption.h"
#include "sensor/KinectSdk.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/ColorConversion.h"
#include "sensor/sources/SourceDevice.h"
#include "sensor/sources/WaitableEvent.h"
#include "testkit/ScriptedSource.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <limits>
#include <thread>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(CameraSpacePoint)

namespace {

// Body frame k falls due every 10 ms on the stepped clock and carries k as
// its tracking id, so that a test sees which frame a reader delivered, and
// its due time as its time.
class CountingSource : public camera::Source {
public:
    explicit CountingSource(camera::Clock clock)
        : m_clock(std::move(clock))
    {
    }
    bool open() override
    {
        m_openedAt = m_clock();
        return true;
    }
    std::int64_t latestBodyFrame() override { return (m_clock() - m_openedAt) / 10ms; }
    void bodyFrame(std::int64_t index, camera::BodyFrame &frame) override
    {
        frame = camera::BodyFrame();
        frame.bodies[0].tracked = true;
        frame.bodies[0].trackingId = UINT64(index);
        frame.relativeTime = index * 100000;
    }
    std::chrono::nanoseconds timeToNextBodyFrame() override
    {
        return (latestBodyFrame() + 1) * 10ms - (m_clock() - m_openedAt);
    }

private:
    camera::Clock m_clock;
    std::chrono::nanoseconds m_openedAt { 0 };
};

// Releases a contract object when the test leaves its scope.
template <class Interface> struct Held {
    Interface *object = nullptr;
    ~Held()
    {
        if (object)
            object->Release();
    }
    Interface **out() { return &object; }
    Interface *operator->() const { return object; }
};

// The tracking id of the newest body frame a reader hands out, -1 for
// E_PENDING; -4 when the frame's time is not the one its source gave it.
long long acquire(IBodyFrameReader *reader)
{
    Held<IBodyFrame> frame;
    const HRESULT hr = reader->AcquireLatestFrame(frame.out());
    if (hr == E_PENDING && !frame.object)
        return -1;
    if (FAILED(hr) || !frame.object)
        return -3;
    IBody *bodies[BODY_COUNT] = {};
    if (FAILED(frame->GetAndRefreshBodyData(BODY_COUNT, bodies)))
        return -3;
    UINT64 id = 0;
    bodies[0]->get_TrackingId(&id);
    for (IBody *body : bodies)
        body->Release();
    TIMESPAN time = -1;
    if (FAILED(frame->get_RelativeTime(&time)) || time != TIMESPAN(id) * 100000
        || frame->get_RelativeTime(nullptr) != E_POINTER)
        return -4;
    return static_cast<long long>(id);
}

// An opened camera over source, with its body reader.
struct OpenCamera {
    Held<IKinectSensor> sensor;
    Held<IBodyFrameReader> bodyReader;
    Held<IColorFrameReader> colorReader;

    // The body reader's arrival event, subscribed for the test's scope.
    struct Arrival {
        IBodyFrameReader *reader;
        WAITABLE_HANDLE waitable = 0;
        explicit Arrival(IBodyFrameReader *r)
            : reader(r)
        {
            if (FAILED(reader->SubscribeFrameArrived(&waitable)))
                qFatal("cannot subscribe");
        }
        ~Arrival() { reader->UnsubscribeFrameArrived(waitable); }
        HANDLE handle() const { return reinterpret_cast<HANDLE>(waitable); }
        bool signalled() const { return WaitForSingleObject(handle(), 0) == WAIT_OBJECT_0; }
    };

    explicit OpenCamera(std::shared_ptr<camera::Source> source)
    {
        sensor.object = camera::createKinectSensor(std::move(source));
        Held<IBodyFrameSource> bodySource;
        Held<IColorFrameSource> colorSource;
        if (FAILED(sensor->Open()) || FAILED(sensor->get_BodyFrameSource(bodySource.out()))
            || FAILED(bodySource->OpenReader(bodyReader.out()))
            || FAILED(sensor->get_ColorFrameSource(colorSource.out()))
            || FAILED(colorSource->OpenReader(colorReader.out())))
            qFatal("cannot open the camera");
    }
};

} // namespace

class CameraContractTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What a source says beyond frames reaches the sensor code through the
    // contract: that its stillness counts by time, and its status, cut to
    // the caller's buffer without splitting a character.
    void sourceWordsThroughTheContract_data()
    {
        QTest::addColumn<bool>("byTime");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QString>("read");
        QTest::newRow("a 30 Hz source, silent") << false << QString() << 64 << QString();
        QTest::newRow("counted by time")
            << true << QStringLiteral("webcam: hand model 14.2 frames/s") << 64
            << QStringLiteral("webcam: hand model 14.2 frames/s");
        QTest::newRow("cut to fit")
            << true << QStringLiteral("abcdef") << 4 << QStringLiteral("abc");
        // "é" takes two bytes: it goes whole or not at all.
        QTest::newRow("cut before a character")
            << true << QStringLiteral("abé") << 4 << QStringLiteral("ab");
        QTest::newRow("a character that fits")
            << true << QStringLiteral("abé") << 5 << QStringLiteral("abé");
    }

    void sourceWordsThroughTheContract()
    {
        QFETCH(bool, byTime);
        QFETCH(QString, status);
        QFETCH(int, capacity);
        QFETCH(QString, read);
        class Talking : public camera::ScriptedSource {
        public:
            bool byTime = false;
            QString status;
            bool countsStillnessByTime() const override { return byTime; }
            QString statusText() override { return status; }
        };
        auto source = std::make_shared<Talking>();
        source->byTime = byTime;
        source->status = status;
        OpenCamera camera(source);
        Held<IBodyFrameSource> bodySource;
        QCOMPARE(camera.sensor->get_BodyFrameSource(bodySource.out()), S_OK);
        BOOLEAN counted = 2;
        QCOMPARE(bodySource->get_CountsStillnessByTime(&counted), S_OK);
        QCOMPARE(counted != 0, byTime);
        QCOMPARE(bodySource->get_CountsStillnessByTime(nullptr), E_POINTER);
        std::vector<char> text(std::size_t(capacity) + 1, 'x');
        QCOMPARE(camera.sensor->GetStatusText(UINT(capacity), text.data()), S_OK);
        QCOMPARE(QString::fromUtf8(text.data()), read);
        QCOMPARE(text[std::size_t(capacity)], 'x');
        QCOMPARE(camera.sensor->GetStatusText(0, text.data()), E_POINTER);
    }

    void objectsLiveUntilTheirLastRelease()
    {
        const int before = camera::liveContractObjects();
        IKinectSensor *sensor
            = camera::createKinectSensor(std::make_shared<camera::ScriptedSource>());
        QCOMPARE(sensor->Open(), S_OK);
        IBodyFrameSource *source = nullptr;
        QCOMPARE(sensor->get_BodyFrameSource(&source), S_OK);
        IBodyFrameReader *reader = nullptr;
        QCOMPARE(source->OpenReader(&reader), S_OK);
        QCOMPARE(camera::liveContractObjects(), before + 3);

        QCOMPARE(sensor->AddRef(), ULONG(2));
        QCOMPARE(sensor->Release(), ULONG(1));
        // The reader keeps what it reads from: the sensor and the frame
        // source may go first.
        QCOMPARE(source->Release(), ULONG(0));
        QCOMPARE(sensor->Release(), ULONG(0));
        QCOMPARE(camera::liveContractObjects(), before + 1);
        IBodyFrame *frame = nullptr;
        QCOMPARE(reader->AcquireLatestFrame(&frame), E_PENDING);
        QCOMPARE(frame, nullptr);
        QCOMPARE(reader->Release(), ULONG(0));
        QCOMPARE(camera::liveContractObjects(), before);
    }

    void bodiesAreCreatedOnceAndRefreshedInPlace()
    {
        camera::SteppedClock clock;
        OpenCamera camera(std::make_shared<CountingSource>(clock.clock()));
        const int before = camera::liveContractObjects();
        IBody *bodies[BODY_COUNT] = {};
        for (int n = 0; n < 3; ++n) {
            Held<IBodyFrame> frame;
            QCOMPARE(camera.bodyReader->AcquireLatestFrame(frame.out()), S_OK);
            IBody *first = bodies[0];
            QCOMPARE(frame->GetAndRefreshBodyData(BODY_COUNT, bodies), S_OK);
            if (first)
                QCOMPARE(bodies[0], first);
            UINT64 id = 99;
            QCOMPARE(bodies[0]->get_TrackingId(&id), S_OK);
            QCOMPARE(id, UINT64(n));
            BOOLEAN tracked = 1;
            QCOMPARE(bodies[1]->get_IsTracked(&tracked), S_OK);
            QCOMPARE(tracked, BOOLEAN(0));
            Joint joints[JointType_Count];
            QCOMPARE(bodies[0]->GetJoints(JointType_Count - 1, joints), E_INVALIDARG);
            clock.advance(10ms);
        }
        QCOMPARE(camera::liveContractObjects(), before + BODY_COUNT);
        for (IBody *body : bodies)
            body->Release();
        QCOMPARE(camera::liveContractObjects(), before);
    }

    void readerDeliversNewestDueFrame()
    {
        camera::SteppedClock clock;
        OpenCamera camera(std::make_shared<CountingSource>(clock.clock()));
        IBodyFrameReader *reader = camera.bodyReader.object;
        QCOMPARE(acquire(reader), 0LL);
        QCOMPARE(acquire(reader), -1LL); // nothing new yet
        clock.advance(9ms);
        QCOMPARE(acquire(reader), -1LL);
        clock.advance(1ms);
        QCOMPARE(acquire(reader), 1LL); // exactly due
        clock.advance(35ms);
        QCOMPARE(acquire(reader), 4LL); // frames 2 and 3 were never taken
        QCOMPARE(acquire(reader), -1LL);
        clock.advance(10ms);
        QCOMPARE(acquire(reader), 5LL);
        // No colour stream: colour never has a frame.
        Held<IColorFrame> colorFrame;
        QCOMPARE(camera.colorReader->AcquireLatestFrame(colorFrame.out()), E_PENDING);
    }

    void closedCameraDeliversNothing()
    {
        camera::SteppedClock clock;
        OpenCamera camera(std::make_shared<CountingSource>(clock.clock()));
        QCOMPARE(camera.sensor->Close(), S_OK);
        clock.advance(100ms);
        QCOMPARE(acquire(camera.bodyReader.object), -1LL);
        // Opening again starts the stream afresh.
        QCOMPARE(camera.sensor->Open(), S_OK);
        QCOMPARE(acquire(camera.bodyReader.object), 0LL);
    }

    void eventsAndWaits()
    {
        const int before = camera::liveEvents();
        HANDLE manual = CreateEvent(1, 0);
        HANDLE automatic = CreateEvent(0, 1);
        QVERIFY(manual && automatic);
        HANDLE both[2] = { manual, automatic };
        // The signalled one is reported; an automatic event resets itself.
        QCOMPARE(WaitForMultipleObjects(2, both, 0, INFINITE), WAIT_OBJECT_0 + 1);
        QCOMPARE(WaitForMultipleObjects(2, both, 0, 0), WAIT_TIMEOUT);
        // Several signalled: the lowest index; a manual event stays set.
        QVERIFY(SetEvent(manual) && SetEvent(automatic));
        QCOMPARE(WaitForMultipleObjects(2, both, 0, 0), WAIT_OBJECT_0);
        QCOMPARE(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
        QVERIFY(ResetEvent(manual));
        QCOMPARE(WaitForMultipleObjects(2, both, 0, 0), WAIT_OBJECT_0 + 1);
        // A due time signals by itself; setting or resetting cancels it.
        QVERIFY(camera::signalEventAt(manual, std::chrono::steady_clock::now() + 20ms));
        QCOMPARE(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
        QCOMPARE(WaitForSingleObject(manual, 10000), WAIT_OBJECT_0);
        QVERIFY(ResetEvent(manual));
        QVERIFY(camera::signalEventAt(manual, std::chrono::steady_clock::now() + 5ms));
        QVERIFY(ResetEvent(manual));
        QCOMPARE(WaitForSingleObject(manual, 30), WAIT_TIMEOUT);
        // Another thread's SetEvent ends an endless wait.
        std::thread setter([&] { SetEvent(automatic); });
        QCOMPARE(WaitForSingleObject(automatic, INFINITE), WAIT_OBJECT_0);
        setter.join();

        // No handles, too many, all at once: refused.
        QCOMPARE(WaitForMultipleObjects(0, both, 0, 0), WAIT_FAILED);
        QCOMPARE(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, both, 0, 0), WAIT_FAILED);
        QCOMPARE(WaitForMultipleObjects(2, both, 1, 0), WAIT_FAILED);
        QVERIFY(CloseHandle(manual) && CloseHandle(automatic));
        // A closed handle is no event any more.
        QCOMPARE(WaitForSingleObject(manual, 0), WAIT_FAILED);
        QVERIFY(!SetEvent(manual) && !ResetEvent(manual) && !CloseHandle(manual));
        QCOMPARE(camera::liveEvents(), before);
    }

    // The arrival event of a reader over a source paced by a clock: set
    // while a frame waits, reset by the acquire that finds nothing, and set
    // again by itself when the source's clock says the next frame is due.
    void arrivalEventFollowsThePacedSource()
    {
        const int eventsBefore = camera::liveEvents();
        {
            camera::SteppedClock clock;
            OpenCamera camera(std::make_shared<CountingSource>(clock.clock()));
            OpenCamera::Arrival arrival(camera.bodyReader.object);
            QVERIFY(arrival.signalled());
            QCOMPARE(acquire(camera.bodyReader.object), 0LL);
            QVERIFY(arrival.signalled());
            QCOMPARE(acquire(camera.bodyReader.object), -1LL);
            QVERIFY(!arrival.signalled());
            // Frame 1 is due 10 ms later on the source's clock: the event
            // follows after as much real time (the stepped clock has not
            // moved, so the acquire that follows finds nothing).
            QCOMPARE(WaitForSingleObject(arrival.handle(), 10000), WAIT_OBJECT_0);
            clock.advance(10ms);
            QCOMPARE(acquire(camera.bodyReader.object), 1LL);
            // A closed camera sleeps; opening it again wakes the reader.
            QCOMPARE(acquire(camera.bodyReader.object), -1LL);
            QCOMPARE(camera.sensor->Close(), S_OK);
            QCOMPARE(acquire(camera.bodyReader.object), -1LL);
            QCOMPARE(WaitForSingleObject(arrival.handle(), 40), WAIT_TIMEOUT);
            QCOMPARE(camera.sensor->Open(), S_OK);
            QVERIFY(arrival.signalled());
            QCOMPARE(acquire(camera.bodyReader.object), 0LL);

            WAITABLE_HANDLE second = 0;
            QCOMPARE(camera.bodyReader->SubscribeFrameArrived(&second), S_OK);
            QCOMPARE(camera.bodyReader->UnsubscribeFrameArrived(second), S_OK);
            QCOMPARE(camera.bodyReader->UnsubscribeFrameArrived(second), E_INVALIDARG);
            QCOMPARE(camera.bodyReader->SubscribeFrameArrived(nullptr), E_POINTER);
            // A subscription left open ends with its reader.
            QCOMPARE(camera.colorReader->SubscribeFrameArrived(&second), S_OK);
        }
        QCOMPARE(camera::liveEvents(), eventsBefore);
    }

    // A thread that waits on the arrival event and acquires until E_PENDING
    // takes every frame a queueing push source delivers, however the pushes
    // and the waits interleave, and then sleeps.
    void waitingThreadTakesEveryQueuedFrame()
    {
        auto source = std::make_shared<camera::ScriptedSource>();
        source->setQueued(true);
        // Frame k carries tracking id k and the time k x 10 ms.
        UINT64 pushed = 0;
        const auto push = [&](int count) {
            camera::BodyFrame frame;
            for (int k = 0; k < count; ++k) {
                frame.relativeTime = TIMESPAN(pushed) * 100000;
                frame.bodies[0].trackingId = pushed++;
                source->pushBodyFrame(frame);
            }
        };
        OpenCamera camera(source);
        OpenCamera::Arrival arrival(camera.bodyReader.object);
        HANDLE stop = CreateEvent(1, 0);
        std::vector<long long> taken;
        std::thread taker([&] {
            const HANDLE handles[2] = { stop, arrival.handle() };
            while (WaitForMultipleObjects(2, handles, 0, INFINITE) == WAIT_OBJECT_0 + 1) {
                for (long long id; (id = acquire(camera.bodyReader.object)) >= 0;)
                    taken.push_back(id);
            }
        });
        constexpr int frames = 2000;
        for (int burst = 1; burst <= 62; ++burst)
            push(burst);
        push(frames - 62 * 63 / 2);
        // Every frame is taken; then the event is left reset.
        while (WaitForSingleObject(arrival.handle(), 0) == WAIT_OBJECT_0)
            std::this_thread::yield();
        SetEvent(stop);
        taker.join();
        CloseHandle(stop);
        QCOMPARE(int(taken.size()), frames);
        for (int k = 0; k < frames; ++k)
            QCOMPARE(taken[std::size_t(k)], (long long)k);
    }

    void nullOutParametersAreRejected()
    {
        OpenCamera camera(std::make_shared<camera::ScriptedSource>());
        QCOMPARE(GetDefaultKinectSensor(nullptr), E_POINTER);
        QCOMPARE(camera.sensor->get_CoordinateMapper(nullptr), E_POINTER);
        QCOMPARE(camera.bodyReader->AcquireLatestFrame(nullptr), E_POINTER);
        QCOMPARE(camera.colorReader->AcquireLatestFrame(nullptr), E_POINTER);
        Held<ICoordinateMapper> mapper;
        QCOMPARE(camera.sensor->get_CoordinateMapper(mapper.out()), S_OK);
        QCOMPARE(
            mapper->MapCameraPointToDepthSpace(CameraSpacePoint { 0, 0, 1 }, nullptr), E_POINTER);
    }

    void mapper_data()
    {
        QTest::addColumn<CameraSpacePoint>("point");
        QTest::addColumn<float>("depthX");
        QTest::addColumn<float>("depthY");
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("on the axis") << CameraSpacePoint { 0.0f, 0.0f, 2.0f } << 256.0f << 212.0f;
        QTest::newRow("right and up") << CameraSpacePoint { 1.0f, 1.0f, 2.0f } << 438.75f << 29.25f;
        QTest::newRow("left and down, far")
            << CameraSpacePoint { -2.0f, -1.0f, 8.0f } << 164.625f << 257.6875f;
        QTest::newRow("at the camera") << CameraSpacePoint { 0.5f, 0.5f, 0.0f } << -inf << -inf;
        QTest::newRow("behind") << CameraSpacePoint { 0.5f, 0.5f, -1.0f } << -inf << -inf;
        QTest::newRow("x not a number") << CameraSpacePoint { nan, 0.0f, 2.0f } << -inf << -inf;
        QTest::newRow("z not a number") << CameraSpacePoint { 0.0f, 0.0f, nan } << -inf << -inf;
        QTest::newRow("y infinite") << CameraSpacePoint { 0.0f, inf, 2.0f } << -inf << -inf;
        QTest::newRow("z infinite") << CameraSpacePoint { 0.0f, 0.0f, inf } << -inf << -inf;
        QTest::newRow("beyond float range")
            << CameraSpacePoint { 1e30f, -1e30f, 1e-30f } << inf << inf;
    }

    void mapper()
    {
        QFETCH(CameraSpacePoint, point);
        QFETCH(float, depthX);
        QFETCH(float, depthY);
        OpenCamera camera(std::make_shared<camera::ScriptedSource>());
        Held<ICoordinateMapper> mapper;
        QCOMPARE(camera.sensor->get_CoordinateMapper(mapper.out()), S_OK);
        DepthSpacePoint depth { 0.0f, 0.0f };
        QCOMPARE(mapper->MapCameraPointToDepthSpace(point, &depth), S_OK);
        QCOMPARE(depth.X, depthX);
        QCOMPARE(depth.Y, depthY);
    }

    void colorConversion_data()
    {
        QTest::addColumn<QColor>("colour");
        QTest::newRow("black") << QColor(0, 0, 0);
        QTest::newRow("white") << QColor(255, 255, 255);
        QTest::newRow("red") << QColor(255, 0, 0);
        QTest::newRow("green") << QColor(0, 255, 0);
        QTest::newRow("blue") << QColor(0, 0, 255);
        QTest::newRow("skin") << QColor(226, 176, 142);
    }

    // YUY2 made from a colour converts back to it within rounding, in both
    // byte orders.
    void colorConversion()
    {
        QFETCH(QColor, colour);
        const camera::Yuv yuv = camera::yuvFromRgb(colour.red(), colour.green(), colour.blue());
        const BYTE pair[4] = { yuv.y, yuv.u, yuv.y, yuv.v };
        BYTE bgra[8] = {};
        BYTE rgba[8] = {};
        camera::convertYuy2(pair, 2, 1, bgra, false);
        camera::convertYuy2(pair, 2, 1, rgba, true);
        for (int pixel = 0; pixel < 2; ++pixel) {
            const BYTE *b = bgra + 4 * pixel;
            const BYTE *r = rgba + 4 * pixel;
            QVERIFY(std::abs(b[2] - colour.red()) <= 3);
            QVERIFY(std::abs(b[1] - colour.green()) <= 3);
            QVERIFY(std::abs(b[0] - colour.blue()) <= 3);
            QCOMPARE(b[3], BYTE(255));
            QCOMPARE(r[0], b[2]);
            QCOMPARE(r[1], b[1]);
            QCOMPARE(r[2], b[0]);
            QCOMPARE(r[3], BYTE(255));
        }
    }

    void colorFrameConversionChecksItsArguments()
    {
        auto source = std::make_shared<camera::ScriptedSource>();
        OpenCamera camera(source);
        camera::ColorImage image;
        image.format = ColorImageFormat_Yuy2;
        image.width = colorFrameWidth;
        image.height = colorFrameHeight;
        image.bytes.assign(std::size_t(colorFrameWidth) * colorFrameHeight * 2, 128);
        source->pushColorImage(image);
        Held<IColorFrame> frame;
        QCOMPARE(camera.colorReader->AcquireLatestFrame(frame.out()), S_OK);
        ColorImageFormat format = ColorImageFormat_None;
        QCOMPARE(frame->get_RawColorImageFormat(&format), S_OK);
        QCOMPARE(format, ColorImageFormat_Yuy2);
        const UINT fullSize = UINT(colorFrameWidth) * colorFrameHeight * 4;
        std::vector<BYTE> buffer(fullSize);
        QCOMPARE(frame->CopyConvertedFrameDataToArray(
                     fullSize - 1, buffer.data(), ColorImageFormat_Bgra),
            E_INVALIDARG);
        QCOMPARE(
            frame->CopyConvertedFrameDataToArray(fullSize, buffer.data(), ColorImageFormat_Yuy2),
            E_INVALIDARG);
        QCOMPARE(frame->CopyConvertedFrameDataToArray(fullSize, nullptr, ColorImageFormat_Bgra),
            E_POINTER);
        QCOMPARE(
            frame->CopyConvertedFrameDataToArray(fullSize, buffer.data(), ColorImageFormat_Bgra),
            S_OK);
        // Mid grey: Y = 128 with neutral chroma.
        QCOMPARE(int(buffer[fullSize - 2]), 130);
    }

    void sourceFromEnvironment_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("message");
        QTest::newRow("unset") << QByteArray() << false << QString();
        QTest::newRow("empty") << QByteArray("") << false << QString();
        QTest::newRow("none") << QByteArray("none") << false << QString();
        QTest::newRow("demo") << QByteArray("demo") << true << QString();
        QTest::newRow("unknown") << QByteArray("kinect") << false
                                 << QStringLiteral("HANDMOTION_CAMERA: unknown camera source "
                                                   "\"kinect\"; valid values are none .*demo "
                                                   ".*replay:PATH.*webcam.*video:PATH");
        QTest::newRow("webcam without a camera") << QByteArray(
            "webcam:/dev/video97") << false << QStringLiteral("webcam: no camera at /dev/video97");
        QTest::newRow("wrong case")
            << QByteArray("Demo") << false << QStringLiteral("unknown camera source \"Demo\"");
        QTest::newRow("replay of another kind of file")
            << QByteArray("replay:/tmp/notes.txt") << false
            << QStringLiteral("cannot replay \"/tmp/notes.txt\": .*\\.csv or \\.skeleton");
        QTest::newRow("replay without a path")
            << QByteArray("replay:") << false << QStringLiteral("cannot replay \"\"");
        QTest::newRow("replay of a missing file")
            << QByteArray("replay:/nonexistent/walk.csv") << false
            << QStringLiteral("/nonexistent/walk.csv: cannot open the recording");
        QTest::newRow("osc on a port the system chooses")
            << QByteArray("osc:0") << true << QString();
        QTest::newRow("osc on no address")
            << QByteArray("osc:my-pc:12345") << false
            << QStringLiteral("HANDMOTION_CAMERA: \"osc:my-pc:12345\": \"my-pc\" is not an IPv4 "
                              "or IPv6 address");
    }

    void sourceFromEnvironment()
    {
        QFETCH(QByteArray, setting);
        QFETCH(bool, opens);
        QFETCH(QString, message);
        if (setting.isNull())
            qunsetenv("HANDMOTION_CAMERA");
        else
            qputenv("HANDMOTION_CAMERA", setting);
        if (!message.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(message));
        Held<IKinectSensor> sensor;
        QCOMPARE(GetDefaultKinectSensor(sensor.out()), S_OK);
        QVERIFY(sensor.object);
        QCOMPARE(SUCCEEDED(sensor->Open()), opens);
        qputenv("HANDMOTION_CAMERA", "none");
    }

    // --camera wins over the variable, "none" included; a value that names
    // no source is refused before anything starts.
    void cameraOptionWinsOverEnvironment_data()
    {
        QTest::addColumn<QByteArray>("environment");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("error");
        QTest::newRow("no option") << QByteArray("demo") << QString() << true << QString();
        QTest::newRow("none over demo") << QByteArray("demo") << "none" << false << QString();
        QTest::newRow("demo over none") << QByteArray("none") << "demo" << true << QString();
        QTest::newRow("over an unknown variable")
            << QByteArray("webcam") << "osc:0" << true << QString();
        QTest::newRow("unknown source")
            << QByteArray("demo") << "kinect" << false
            << "--camera: unknown camera source \"kinect\"; valid values are";
        QTest::newRow("replay of a text file") << QByteArray("demo") << "replay:notes.txt" << false
                                               << "--camera: cannot replay \"notes.txt\"";
    }

    void cameraOptionWinsOverEnvironment()
    {
        QFETCH(QByteArray, environment);
        QFETCH(QString, option);
        QFETCH(bool, opens);
        QFETCH(QString, error);
        qputenv("HANDMOTION_CAMERA", environment);
        QCommandLineParser parser;
        addCameraOption(parser);
        QStringList arguments { QStringLiteral("handmotion") };
        if (!option.isNull())
            arguments << QStringLiteral("--camera") << option;
        QVERIFY(parser.parse(arguments));
        QString message;
        QCOMPARE(applyCameraOption(parser, message), error.isEmpty());
        QVERIFY2(message.startsWith(error), qPrintable(message));
        if (error.isEmpty()) {
            Held<IKinectSensor> sensor;
            QCOMPARE(GetDefaultKinectSensor(sensor.out()), S_OK);
            QCOMPARE(SUCCEEDED(sensor->Open()), opens);
        }
        camera::overrideCameraSetting(QString());
        qputenv("HANDMOTION_CAMERA", "none");
    }

    void installedSourceWinsOverEnvironment()
    {
        qputenv("HANDMOTION_CAMERA", "demo");
        auto scripted = std::make_shared<camera::ScriptedSource>();
        scripted->setOpenSucceeds(false);
        {
            camera::ScopedSource installed(scripted);
            Held<IKinectSensor> sensor;
            QCOMPARE(GetDefaultKinectSensor(sensor.out()), S_OK);
            QCOMPARE(sensor->Open(), E_FAIL);
        }
        QCOMPARE(camera::installedSource(), nullptr);
        qputenv("HANDMOTION_CAMERA", "none");
    }
};

QTEST_MAIN(CameraContractTest)
#include "tst_camera_contract.moc"
