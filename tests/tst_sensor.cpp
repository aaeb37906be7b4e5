// The sensor and its threads: start-up with and without a camera, the
// colour view (pictures scaled as Qt scales them), the skeleton view,
// reference counting over many polls, and the threads that take the frames:
// idle without frames, every body frame kept in order while the GUI thread
// is busy, an overflow reported once, and stopping in every order.

#include "app/mainDialog.h"
#include "sensor/ColorDisplay.h"
#include "sensor/FrameFeeds.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"
#include "sensor/SkeletonOverlay.h"
#include "sensor/sources/ColorConversion.h"
#include "sensor/sources/SourceDevice.h"
#include "sensor/sources/WaitableEvent.h"
#include "session/PoseSession.h"
#include "testkit/ScriptedSource.h"
#include "testkit/WatchedSource.h"
#include "testkit/WindowWithSource.h"
#include "tests/support/CameraTestSupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using camera::ScriptedSource;
using support::frameWith;
using support::handPose;
using support::standingBody;
using testkit::WindowWithSource;

Q_DECLARE_METATYPE(DepthSpacePoint)

namespace {

constexpr int colorWidth = 1920;
constexpr int colorHeight = 1080;

// A full-size colour frame of one colour, in the camera's raw format.
camera::ColorImage uniformImage(
    ColorImageFormat format, int red, int green, int blue, int height = colorHeight)
{
    camera::ColorImage image;
    image.format = format;
    image.width = colorWidth;
    image.height = height;
    const std::size_t pixels = std::size_t(colorWidth) * std::size_t(height);
    if (format == ColorImageFormat_Yuy2) {
        const camera::Yuv yuv = camera::yuvFromRgb(red, green, blue);
        image.bytes.resize(2 * pixels);
        for (std::size_t i = 0; i < pixels / 2; ++i) {
            BYTE *pair = &image.bytes[4 * i];
            pair[0] = yuv.y;
            pair[1] = yuv.u;
            pair[2] = yuv.y;
            pair[3] = yuv.v;
        }
    } else {
        image.bytes.resize(4 * pixels);
        for (std::size_t i = 0; i < pixels; ++i) {
            BYTE *pixel = &image.bytes[4 * i];
            pixel[0] = BYTE(blue);
            pixel[1] = BYTE(green);
            pixel[2] = BYTE(red);
            pixel[3] = 255;
        }
    }
    return image;
}

QPixmap labelPixmap(const QLabel *label) { return label->pixmap(Qt::ReturnByValue); }

QImage labelImage(const QLabel *label) { return labelPixmap(label).toImage(); }

bool isGreen(QRgb pixel) { return qGreen(pixel) > 200 && qRed(pixel) < 50 && qBlue(pixel) < 50; }

// Whether a circle of radius 5 around p was drawn: its leftmost and
// rightmost points are on the pen.
bool circleAround(const QImage &image, QPoint p)
{
    return isGreen(image.pixel(p + QPoint(-5, 0))) || isGreen(image.pixel(p + QPoint(5, 0)));
}

// Where a camera-space point lands in a 938 x 438 view (the depth camera's
// pinhole, then scaled), computed here independently of the sensor.
QPoint expectedViewPoint(const CameraSpacePoint &p)
{
    const double x = 256.0 + 365.5 * p.X / p.Z;
    const double y = 212.0 - 365.5 * p.Y / p.Z;
    return QPoint(int(x * 938.0 / 512.0), int(y * 438.0 / 424.0));
}

// A scripted camera that counts what its readers ask (how often each stream
// looked for a new frame, how many body frames were taken) and can wait
// until a frame it was given is taken.
class CountingSource : public camera::WatchedSource<ScriptedSource> {
public:
    // Pushes a frame and waits, without running the GUI thread's event
    // loop, until a polling thread has taken it.
    bool pushAndWaitTaken(const camera::BodyFrame &frame)
    {
        const int before = bodyFramesTaken;
        pushBodyFrame(frame);
        QElapsedTimer waited;
        waited.start();
        while (bodyFramesTaken == before) {
            if (waited.elapsed() > 30000)
                return false;
            std::this_thread::yield();
        }
        return true;
    }
};

// The standing person with the right hand moved sideways by k millimetres:
// a different pose in every frame.
camera::Body personNumber(int k)
{
    const QVector3D centre = QVector3D(0.3f, 0.25f, 1.7f) + QVector3D(0.001f * float(k), 0, 0);
    return standingBody(
        centre, centre + QVector3D(0.0f, 0.08f, 0.0f), centre + QVector3D(-0.05f, 0.03f, 0.0f));
}

// Counts the queued calls an object receives.
class QueuedCallCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

void recordContinuously(Kinect::mainDialog &window)
{
    window.continuousCaptureCheck->setChecked(true);
    window.spatialCaptureCheck->setChecked(true);
    window.startRecordingCheck->setChecked(true);
}

} // namespace

class SensorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noCameraKeepsViewsEmptyAndListsUsable()
    {
        QTest::ignoreMessage(QtDebugMsg, "Sensor not working");
        qputenv("HANDMOTION_CAMERA", "none");
        Kinect::mainDialog window;
        Kinect::Sensor &sensor = *window.sensor;
        sensor.updateColorFrame();
        sensor.updateSkeletonFrame();
        QVERIFY(labelPixmap(window.colorLabel).isNull());
        QVERIFY(labelPixmap(window.skeletonLabel).isNull());

        const double rotation[4] = { 0.0, 0.0, 0.0, 1.0 };
        const double translation[4] = { 1.0, 2.0, 3.0, 0.0 };
        const DualQuaternion pose = DualQuaternion::fromRotationTranslation(rotation, translation);
        sensor.addKeyPosition(pose);
        QCOMPARE(sensor.keyPositions().size(), std::size_t(1));
        sensor.clearKeyPositions();
        window.session->clearContinuousPositions();
        QVERIFY(sensor.keyPositions().empty());
        QVERIFY(sensor.continuousPositions().empty());
    }

    void failedOpenReportsSensorNotWorking()
    {
        auto source = std::make_shared<ScriptedSource>();
        source->setOpenSucceeds(false);
        QTest::ignoreMessage(QtDebugMsg, "Sensor not working");
        WindowWithSource fixture(source);
        source->pushBodyFrame(frameWith(standingBody()));
        fixture.sensor().updateSkeletonFrame();
        QVERIFY(labelPixmap(fixture.window().skeletonLabel).isNull());
    }

    void viewPoint_data()
    {
        QTest::addColumn<DepthSpacePoint>("depthPoint");
        QTest::addColumn<QPoint>("expected");
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const int limit = Kinect::viewPointLimit;
        QTest::newRow("centre") << DepthSpacePoint { 256.0f, 212.0f } << QPoint(469, 219);
        QTest::newRow("top left") << DepthSpacePoint { 0.0f, 0.0f } << QPoint(0, 0);
        QTest::newRow("bottom right") << DepthSpacePoint { 512.0f, 424.0f } << QPoint(938, 438);
        QTest::newRow("truncated toward zero")
            << DepthSpacePoint { -1.0f, 100.0f } << QPoint(-1, 103);
        QTest::newRow("unmappable") << DepthSpacePoint { -inf, -inf } << QPoint(-limit, -limit);
        QTest::newRow("plus infinity") << DepthSpacePoint { inf, inf } << QPoint(limit, limit);
        QTest::newRow("not a number") << DepthSpacePoint { nan, nan } << QPoint(-limit, -limit);
        QTest::newRow("huge") << DepthSpacePoint { 3e38f, -3e38f } << QPoint(limit, -limit);
    }

    void viewPoint()
    {
        QFETCH(DepthSpacePoint, depthPoint);
        QFETCH(QPoint, expected);
        QCOMPARE(Kinect::viewPointFromDepthPoint(depthPoint, 938, 438), expected);
    }

    void colorFrameReachesLabel_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("shown");
        QTest::newRow("YUY2, converted") << int(ColorImageFormat_Yuy2) << colorHeight << true;
        QTest::newRow("BGRA, shown as it is") << int(ColorImageFormat_Bgra) << colorHeight << true;
        QTest::newRow("BGRA too short, skipped") << int(ColorImageFormat_Bgra) << 10 << false;
        QTest::newRow("YUY2 too short, skipped") << int(ColorImageFormat_Yuy2) << 10 << false;
    }

    void colorFrameReachesLabel()
    {
        QFETCH(int, format);
        QFETCH(int, height);
        QFETCH(bool, shown);
        auto source = std::make_shared<ScriptedSource>();
        WindowWithSource fixture(source);
        QLabel *label = fixture.window().colorLabel;
        label->resize(938, 438);
        source->pushColorImage(uniformImage(ColorImageFormat(format), 200, 60, 30, height));
        fixture.sensor().updateColorFrame();
        const QImage shownImage = labelImage(label);
        QCOMPARE(!shownImage.isNull(), shown);
        if (!shown)
            return;
        QCOMPARE(shownImage.size(), QSize(938, 438));
        const QRgb centre = shownImage.pixel(469, 219);
        // YUY2 carries the colour to within a few steps of rounding.
        QVERIFY2(std::abs(qRed(centre) - 200) <= 3 && std::abs(qGreen(centre) - 60) <= 3
                && std::abs(qBlue(centre) - 30) <= 3,
            qPrintable(QColor(centre).name()));
    }

    void pollWithoutNewFrameChangesNothing()
    {
        auto source = std::make_shared<ScriptedSource>();
        WindowWithSource fixture(source);
        fixture.window().colorLabel->resize(938, 438);
        source->pushColorImage(uniformImage(ColorImageFormat_Bgra, 10, 20, 30));
        source->pushBodyFrame(frameWith(standingBody()));
        fixture.sensor().updateColorFrame();
        fixture.sensor().updateSkeletonFrame();
        const qint64 colorKey = labelPixmap(fixture.window().colorLabel).cacheKey();
        const qint64 skeletonKey = labelPixmap(fixture.window().skeletonLabel).cacheKey();
        fixture.sensor().updateColorFrame();
        fixture.sensor().updateSkeletonFrame();
        QCOMPARE(labelPixmap(fixture.window().colorLabel).cacheKey(), colorKey);
        QCOMPARE(labelPixmap(fixture.window().skeletonLabel).cacheKey(), skeletonKey);
    }

    void skeletonViewShowsLastTrackedBody()
    {
        auto source = std::make_shared<ScriptedSource>();
        WindowWithSource fixture(source);
        fixture.window().skeletonLabel->resize(938, 438);
        camera::BodyFrame frame;
        frame.bodies[1] = standingBody(HandState_Unknown, -0.6f);
        frame.bodies[4] = standingBody(HandState_Unknown, 0.6f);
        source->pushBodyFrame(frame);
        fixture.sensor().updateSkeletonFrame();

        const QImage overlay = labelImage(fixture.window().skeletonLabel);
        QCOMPARE(overlay.size(), QSize(938, 438));
        QCOMPARE(QColor(overlay.pixel(2, 2)), QColor(Qt::black));
        const CameraSpacePoint firstHead = frame.bodies[1].joints[JointType_Head].Position;
        const CameraSpacePoint secondHead = frame.bodies[4].joints[JointType_Head].Position;
        QVERIFY(circleAround(overlay, expectedViewPoint(secondHead)));
        QVERIFY(!circleAround(overlay, expectedViewPoint(firstHead)));
        // A bone: the middle of the second body's spine is on the pen.
        const CameraSpacePoint base = frame.bodies[4].joints[JointType_SpineBase].Position;
        const CameraSpacePoint mid = frame.bodies[4].joints[JointType_SpineMid].Position;
        const QPoint a = expectedViewPoint(base);
        const QPoint b = expectedViewPoint(mid);
        QVERIFY(isGreen(overlay.pixel(a.x(), (a.y() + b.y()) / 2)));
    }

    void unmappableJointsStillDraw_data()
    {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<float>("z");
        const float inf = std::numeric_limits<float>::infinity();
        QTest::newRow("at the camera") << 0.0f << 0.0f << 0.0f;
        QTest::newRow("behind the camera") << 0.1f << 0.2f << -1.0f;
        QTest::newRow("not a number") << std::nanf("") << 0.0f << 2.0f;
        QTest::newRow("infinite") << inf << -inf << 2.0f;
        QTest::newRow("almost at the camera") << 1.0f << 1.0f << 1e-30f;
    }

    void unmappableJointsStillDraw()
    {
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(float, z);
        auto source = std::make_shared<ScriptedSource>();
        WindowWithSource fixture(source);
        fixture.window().skeletonLabel->resize(938, 438);
        camera::Body body = standingBody();
        body.joints[JointType_Head].Position = CameraSpacePoint { x, y, z };
        body.joints[JointType_FootLeft].Position = CameraSpacePoint { x, y, z };
        source->pushBodyFrame(frameWith(body));
        fixture.sensor().updateSkeletonFrame();
        const QImage overlay = labelImage(fixture.window().skeletonLabel);
        QVERIFY(!overlay.isNull());
        // The rest of the figure is drawn as usual.
        QVERIFY(circleAround(overlay, expectedViewPoint(body.joints[JointType_SpineMid].Position)));
    }

    void noContractObjectLeaksOverManyPolls()
    {
        const int before = camera::liveContractObjects();
        {
            auto source = std::make_shared<ScriptedSource>();
            WindowWithSource fixture(source);
            fixture.window().colorLabel->resize(94, 44);
            // The sensor keeps exactly its camera, mapper and two readers.
            QCOMPARE(camera::liveContractObjects(), before + 4);
            // ... and the body feed the six bodies it refreshes in place.
            camera::BodyFrame frame;
            frame.bodies[0] = standingBody();
            frame.bodies[5] = standingBody(HandState_Unknown, 0.5f);
            for (int n = 0; n < 1000; ++n) {
                source->pushBodyFrame(frame);
                if (n % 50 == 0)
                    source->pushColorImage(uniformImage(ColorImageFormat_Yuy2, 1, 2, 3));
                fixture.sensor().updateSkeletonFrame();
                fixture.sensor().updateColorFrame();
            }
            QCOMPARE(camera::liveContractObjects(), before + 4 + BODY_COUNT);
        }
        QCOMPARE(camera::liveContractObjects(), before);
    }

    // The picture the colour thread makes is the one Qt's own nearest
    // scaling makes of the converted frame, pixel for pixel.
    void colorPictureMatchesQtScaling_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QSize>("size");
        for (int format : { int(ColorImageFormat_Bgra), int(ColorImageFormat_Yuy2) }) {
            const QByteArray name = format == ColorImageFormat_Bgra ? "BGRA " : "YUY2 ";
            QTest::newRow(name + "to the colour view") << format << QSize(938, 438);
            QTest::newRow(name + "to an odd size") << format << QSize(641, 333);
            QTest::newRow(name + "to one pixel") << format << QSize(1, 1);
            QTest::newRow(name + "to a line") << format << QSize(1919, 1);
            QTest::newRow(name + "enlarged") << format << QSize(2500, 1207);
        }
    }

    void colorPictureMatchesQtScaling()
    {
        QFETCH(int, format);
        QFETCH(QSize, size);
        const int bytesPerPixel = format == ColorImageFormat_Bgra ? 4 : 2;
        std::vector<BYTE> frame(std::size_t(colorWidth) * colorHeight * bytesPerPixel);
        QRandomGenerator random(7);
        for (BYTE &b : frame)
            b = BYTE(random.bounded(256));
        std::vector<BYTE> bgra(std::size_t(colorWidth) * colorHeight * 4);
        if (format == ColorImageFormat_Yuy2) {
            camera::convertYuy2(frame.data(), colorWidth, colorHeight, bgra.data(), false);
        } else {
            bgra = frame;
            for (std::size_t i = 3; i < bgra.size(); i += 4)
                bgra[i] = 255;
        }
        const QImage expected = QImage(bgra.data(), colorWidth, colorHeight, QImage::Format_RGB32)
                                    .scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        Kinect::ColorFrameScaler scaler;
        const QImage picture
            = scaler.scaled(frame.data(), ColorImageFormat(format), colorWidth, colorHeight, size);
        QCOMPARE(picture.format(), QImage::Format_RGB32);
        QCOMPARE(picture, expected);
        // Made again for the same size from the kept sampling: the same.
        QCOMPARE(
            scaler.scaled(frame.data(), ColorImageFormat(format), colorWidth, colorHeight, size),
            expected);
    }

    // Without frames the threads sleep: no acquire, no call queued for the
    // GUI thread. Each frame that arrives wakes them once.
    void threadsSleepUntilAFrameArrives_data()
    {
        QTest::addColumn<bool>("camera");
        QTest::newRow("no camera") << false;
        QTest::newRow("camera without frames") << true;
    }

    void threadsSleepUntilAFrameArrives()
    {
        QFETCH(bool, camera);
        auto source = std::make_shared<CountingSource>();
        source->setOpenSucceeds(camera);
        if (!camera)
            QTest::ignoreMessage(QtDebugMsg, "Sensor not working");
        WindowWithSource fixture(source, WindowWithSource::Running);
        Kinect::mainDialog &window = fixture.window();
        window.colorLabel->resize(94, 44);
        // The threads' signals reach the sensor as queued calls.
        QueuedCallCounter calls;
        fixture.sensor().installEventFilter(&calls);
        QTRY_VERIFY(
            window.colorFrameThread->isRunning() && window.skeletonFrameThread->isRunning());
        // Each reader looks once when its thread starts, then sleeps.
        if (camera)
            QTRY_VERIFY(source->bodyLooks >= 1 && source->colorLooks >= 1);
        const int bodyLooks = source->bodyLooks;
        const int colorLooks = source->colorLooks;
        QTest::qWait(300);
        QCOMPARE(source->bodyLooks.load(), bodyLooks);
        QCOMPARE(source->colorLooks.load(), colorLooks);
        QCOMPARE(calls.count, 0);
        if (!camera)
            return;

        source->pushBodyFrame(frameWith(standingBody()));
        source->pushColorImage(uniformImage(ColorImageFormat_Yuy2, 200, 60, 30));
        QTRY_VERIFY(!labelPixmap(window.skeletonLabel).isNull());
        QTRY_VERIFY(!labelPixmap(window.colorLabel).isNull());
        QCOMPARE(labelPixmap(window.colorLabel).size(), window.colorLabel->frameSize());
        QTest::qWait(100);
        // One call each for the body frame and the picture.
        QCOMPARE(calls.count, 2);
        // The frame, then the look that found nothing more.
        QCOMPARE(source->bodyLooks.load(), bodyLooks + 2);
    }

    // The skeleton thread takes every body frame while the GUI thread is
    // busy (here: not running its event loop at all); the sensor then
    // processes all of them, in order. Beyond the queue's capacity the
    // oldest go, and the loss is reported once.
    void everyBodyFrameIsKeptWhileTheGuiThreadIsBusy()
    {
        auto source = std::make_shared<CountingSource>();
        WindowWithSource fixture(source, WindowWithSource::Running);
        recordContinuously(fixture.window());
        QTRY_VERIFY(fixture.window().skeletonFrameThread->isRunning());

        constexpr int frames = 300;
        for (int k = 0; k < frames; ++k)
            QVERIFY(source->pushAndWaitTaken(frameWith(personNumber(k))));
        QTRY_COMPARE(fixture.sensor().continuousPositionCount(), frames);
        std::vector<DualQuaternion> poses = fixture.sensor().continuousPositions();
        for (int k = 0; k < frames; ++k)
            QVERIFY2(poses[std::size_t(k)] == handPose(personNumber(k), PoseModeSpatial),
                qPrintable(QString::number(k)));

        constexpr int overflow = 25;
        const int burst = int(Kinect::BodyFrameFeed::capacity) + overflow;
        for (int k = 0; k < burst; ++k)
            QVERIFY(source->pushAndWaitTaken(frameWith(personNumber(k))));
        const QString message
            = QStringLiteral("Capture fell behind: the oldest %1 body frames were dropped")
                  .arg(overflow);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(message));
        QTRY_COMPARE(fixture.sensor().continuousPositionCount(),
            frames + int(Kinect::BodyFrameFeed::capacity));
        QCOMPARE(fixture.window().statusBar()->currentMessage(), message);
        poses = fixture.sensor().continuousPositions();
        QVERIFY(poses[frames] == handPose(personNumber(overflow), PoseModeSpatial));
        QVERIFY(poses.back() == handPose(personNumber(burst - 1), PoseModeSpatial));
    }

    // A thread ends promptly whenever it is stopped: before it started,
    // while it sleeps with or without a camera, and when its window is
    // destroyed with frames still queued for the GUI thread. Nothing is left
    // behind.
    void stoppingIsSafeInEveryOrder()
    {
        const int objectsBefore = camera::liveContractObjects();
        const int eventsBefore = camera::liveEvents();
        {
            Kinect::colorThread stoppedFirst;
            stoppedFirst.stop();
            stoppedFirst.start();
            QVERIFY(stoppedFirst.wait(10000));
            Kinect::skeletonThread noFeed;
            noFeed.start();
            QTRY_VERIFY(noFeed.isRunning());
            noFeed.stop();
            QVERIFY(noFeed.wait(10000));
            // Destroyed while it runs: the destructor stops and waits.
            Kinect::skeletonThread running;
            running.start();
            QTRY_VERIFY(running.isRunning());
        }
        {
            auto source = std::make_shared<CountingSource>();
            WindowWithSource fixture(source, WindowWithSource::Running);
            recordContinuously(fixture.window());
            QTRY_VERIFY(fixture.window().skeletonFrameThread->isRunning());
            for (int k = 0; k < 50; ++k)
                QVERIFY(source->pushAndWaitTaken(frameWith(personNumber(k))));
            // stopPolling, as tests and benchmarks use it: the threads have
            // ended and the call they queued is dropped, the frames they took
            // stay queued, and the sensor takes frames itself from then on.
            QueuedCallCounter calls;
            fixture.sensor().installEventFilter(&calls);
            fixture.window().stopPolling();
            QVERIFY(fixture.window().skeletonFrameThread->isFinished());
            QVERIFY(fixture.window().colorFrameThread->isFinished());
            QCoreApplication::processEvents();
            QCOMPARE(calls.count, 0);
            QCOMPARE(fixture.sensor().continuousPositionCount(), 0);
            source->pushBodyFrame(frameWith(personNumber(50)));
            fixture.sensor().updateSkeletonFrame();
            QCOMPARE(fixture.sensor().continuousPositionCount(), 51);
            fixture.window().stopPolling();
        }
        {
            auto source = std::make_shared<CountingSource>();
            WindowWithSource fixture(source, WindowWithSource::Running);
            QTRY_VERIFY(fixture.window().skeletonFrameThread->isRunning());
            for (int k = 0; k < 50; ++k)
                QVERIFY(source->pushAndWaitTaken(frameWith(personNumber(k))));
            source->pushColorImage(uniformImage(ColorImageFormat_Yuy2, 1, 2, 3));
        }
        QCOMPARE(camera::liveContractObjects(), objectsBefore);
        QCOMPARE(camera::liveEvents(), eventsBefore);
    }
};

QTEST_MAIN(SensorTest)
#include "tst_sensor.moc"
