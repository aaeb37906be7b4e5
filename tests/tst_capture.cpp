// Hand-pose capture from body frames: the left-hand gesture, continuous and
// key-position capture with the stillness test, driven by scripted bodies
// through the window, by the capture rules alone, and by the demo operator
// through one whole cycle.

#include "algebra/KeyPoseList.h"
#include "algebra/Pose.h"
#include "app/mainDialog.h"
#include "sensor/CaptureRules.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/DemoSource.h"
#include "sensor/sources/ScriptedSource.h"
#include "tests/support/CameraTestSupport.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include <cmath>

using camera::Body;
using camera::ScriptedSource;
using support::frameWith;
using support::standingBody;
using support::WindowWithSource;

namespace {

// The pose capture makes of three hand joints, computed independently of the
// sensor through the list's own construction.
DualQuaternion poseOf(
    const QVector3D &centre, const QVector3D &tip, const QVector3D &thumb, PoseMode mode)
{
    KeyPoseList list;
    list.appendFromPoints(centre, tip, thumb, mode);
    return list.at(0);
}

DualQuaternion poseOf(const Body &body, PoseMode mode)
{
    auto point = [&](JointType type) {
        const CameraSpacePoint &p = body.joints[std::size_t(type)].Position;
        return QVector3D(p.X, p.Y, p.Z);
    };
    return poseOf(point(JointType_HandRight), point(JointType_HandTipRight),
        point(JointType_ThumbRight), mode);
}

bool samePose(const DualQuaternion &a, const DualQuaternion &b)
{
    for (int k = 0; k < 4; ++k) {
        if (a.realPart().data()[k] != b.realPart().data()[k]
            || a.dualPart().data()[k] != b.dualPart().data()[k])
            return false;
    }
    return true;
}

// The right hand turned by degrees about the camera's z axis, around its
// centre: a turn of 30 degrees or more is well beyond the stillness test.
Body turnedHand(float degrees, HandState handLeftState = HandState_Unknown)
{
    const QVector3D centre(0.3f, 0.25f, 1.7f);
    const QQuaternion turn = QQuaternion::fromAxisAndAngle(0.0f, 0.0f, 1.0f, degrees);
    return standingBody(centre, centre + turn.rotatedVector(QVector3D(0.0f, 0.08f, 0.0f)),
        centre + turn.rotatedVector(QVector3D(-0.05f, 0.03f, 0.0f)), handLeftState);
}

} // namespace

class CaptureTest : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<ScriptedSource> source;
    std::unique_ptr<WindowWithSource> fixture;

    Kinect::mainDialog &window() { return fixture->window(); }
    Kinect::Sensor &sensor() { return fixture->sensor(); }

    void frame(const Body &body)
    {
        source->pushBodyFrame(frameWith(body));
        sensor().updateSkeletonFrame();
    }

    void startRecording(QCheckBox *mode, QCheckBox *pose)
    {
        if (mode)
            mode->setChecked(true);
        if (pose)
            pose->setChecked(true);
        window().startRecordingCheck->setChecked(true);
    }

private Q_SLOTS:
    void init()
    {
        source = std::make_shared<ScriptedSource>();
        fixture = std::make_unique<WindowWithSource>(source);
    }

    void cleanup()
    {
        fixture.reset();
        source.reset();
    }

    void stillHandStoresKeyPositionEveryHundredFrames()
    {
        startRecording(window().keyPositionCaptureCheck, window().spatialCaptureCheck);
        const Body body = standingBody();
        // The first frame moves (the reference starts at zero); 100 still
        // frames after it make a key position.
        for (int n = 1; n <= 100; ++n)
            frame(body);
        QCOMPARE(sensor().keyPositions().size(), std::size_t(0));
        QVERIFY(!window().keyPositionsCheck->isChecked());
        frame(body);
        QCOMPARE(sensor().keyPositions().size(), std::size_t(1));
        QVERIFY(window().keyPositionsCheck->isChecked());
        QVERIFY(samePose(sensor().keyPositions()[0], poseOf(body, PoseModeSpatial)));

        QSignalSpy announced(window().keyPositionsCheck, &QCheckBox::stateChanged);
        for (int n = 102; n <= 200; ++n)
            frame(body);
        QCOMPARE(sensor().keyPositions().size(), std::size_t(1));
        frame(body);
        QCOMPARE(sensor().keyPositions().size(), std::size_t(2));
        // Already checked: re-announced so that the 3D view redraws.
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.at(0).at(0).toInt(), int(Qt::Checked));
        QVERIFY(sensor().continuousPositions().empty());
    }

    void movingFrameRestartsCount()
    {
        startRecording(window().keyPositionCaptureCheck, window().planarCaptureCheck);
        for (int n = 1; n <= 60; ++n)
            frame(turnedHand(0.0f));
        // One turned frame moves; it is the new reference, so 100 frames of
        // the turned hand after it store a key position, and not before.
        frame(turnedHand(40.0f));
        for (int n = 1; n <= 99; ++n)
            frame(turnedHand(40.0f));
        QCOMPARE(sensor().keyPositions().size(), std::size_t(0));
        frame(turnedHand(40.0f));
        QCOMPARE(sensor().keyPositions().size(), std::size_t(1));
        QVERIFY(samePose(sensor().keyPositions()[0], poseOf(turnedHand(40.0f), PoseModePlanar)));
    }

    void smallTremorCountsAsStill()
    {
        startRecording(window().keyPositionCaptureCheck, window().spatialCaptureCheck);
        // A turn of a few degrees back and forth stays inside the test.
        for (int n = 0; n <= 100; ++n)
            frame(turnedHand(n % 2 == 0 ? 0.0f : 4.0f));
        QCOMPARE(sensor().keyPositions().size(), std::size_t(1));
    }

    void continuousCaptureAppendsEveryFrame_data()
    {
        QTest::addColumn<bool>("spatial");
        QTest::newRow("spatial") << true;
        QTest::newRow("planar") << false;
    }

    void continuousCaptureAppendsEveryFrame()
    {
        QFETCH(bool, spatial);
        const PoseMode mode = spatial ? PoseModeSpatial : PoseModePlanar;
        startRecording(window().continuousCaptureCheck,
            spatial ? window().spatialCaptureCheck : window().planarCaptureCheck);
        QSignalSpy announced(window().continuousMotionCheck, &QCheckBox::stateChanged);
        constexpr int frames = 7;
        for (int n = 0; n < frames; ++n)
            frame(turnedHand(10.0f * n));
        const std::vector<DualQuaternion> poses = sensor().continuousPositions();
        QCOMPARE(poses.size(), std::size_t(frames));
        for (int n = 0; n < frames; ++n)
            QVERIFY(samePose(poses[std::size_t(n)], poseOf(turnedHand(10.0f * n), mode)));
        QVERIFY(window().continuousMotionCheck->isChecked());
        QVERIFY(window().framesCheck->isChecked());
        // The first frame checks the box, every later one re-announces it.
        QCOMPARE(announced.count(), frames);
        QVERIFY(sensor().keyPositions().empty());
    }

    void noPoseModeAppendsNothing_data()
    {
        QTest::addColumn<bool>("continuous");
        QTest::newRow("continuous") << true;
        QTest::newRow("key position") << false;
    }

    void noPoseModeAppendsNothing()
    {
        QFETCH(bool, continuous);
        startRecording(
            continuous ? window().continuousCaptureCheck : window().keyPositionCaptureCheck,
            nullptr);
        for (int n = 0; n <= 100; ++n)
            frame(standingBody());
        QVERIFY(sensor().continuousPositions().empty());
        QVERIFY(sensor().keyPositions().empty());
        // The views are still switched on, as with a mode.
        QCOMPARE(window().continuousMotionCheck->isChecked(), continuous);
        QCOMPARE(window().keyPositionsCheck->isChecked(), !continuous);
    }

    void nothingCapturedWithoutRecordingOrCaptureKind()
    {
        window().continuousCaptureCheck->setChecked(true);
        window().spatialCaptureCheck->setChecked(true);
        for (int n = 0; n < 5; ++n)
            frame(standingBody());
        QVERIFY(sensor().continuousPositions().empty());

        window().continuousCaptureCheck->setChecked(false);
        window().startRecordingCheck->setChecked(true);
        for (int n = 0; n <= 100; ++n)
            frame(standingBody());
        QVERIFY(sensor().continuousPositions().empty());
        QVERIFY(sensor().keyPositions().empty());
    }

    void leftHandGesture_data()
    {
        QTest::addColumn<bool>("recordingBefore");
        QTest::addColumn<int>("latchBefore");
        QTest::addColumn<int>("handState");
        QTest::addColumn<bool>("recordingAfter");
        QTest::addColumn<int>("latchAfter");

        QTest::newRow("closed starts") << false << 0 << int(HandState_Closed) << true << 1;
        QTest::newRow("open stops a gesture's recording")
            << true << 1 << int(HandState_Open) << false << 0;
        QTest::newRow("open leaves a clicked recording")
            << true << 0 << int(HandState_Open) << true << 0;
        QTest::newRow("closed starts nothing while latched")
            << false << 1 << int(HandState_Closed) << false << 1;
        QTest::newRow("closed while recording") << true << 1 << int(HandState_Closed) << true << 1;
        QTest::newRow("open while stopped") << false << 0 << int(HandState_Open) << false << 0;
        for (HandState state : { HandState_Unknown, HandState_NotTracked, HandState_Lasso }) {
            const QByteArray name = QByteArray::number(int(state));
            QTest::newRow("state " + name + " does not start")
                << false << 0 << int(state) << false << 0;
            QTest::newRow("state " + name + " does not stop")
                << true << 1 << int(state) << true << 1;
        }
    }

    void leftHandGesture()
    {
        QFETCH(bool, recordingBefore);
        QFETCH(int, latchBefore);
        QFETCH(int, handState);
        QFETCH(bool, recordingAfter);
        QFETCH(int, latchAfter);
        window().startRecordingCheck->setChecked(recordingBefore);
        Kinect::gestureLatch = latchBefore;
        frame(standingBody(HandState(handState)));
        QCOMPARE(window().startRecordingCheck->isChecked(), recordingAfter);
        QCOMPARE(Kinect::gestureLatch, latchAfter);
    }

    void gestureStartsCaptureInTheSameFrame()
    {
        window().continuousCaptureCheck->setChecked(true);
        window().spatialCaptureCheck->setChecked(true);
        frame(standingBody(HandState_Closed));
        frame(standingBody(HandState_Closed));
        frame(standingBody(HandState_Open));
        frame(standingBody(HandState_Open));
        // Recording ran from the first closed frame up to the first open one.
        QCOMPARE(sensor().continuousPositions().size(), std::size_t(2));
        QVERIFY(!window().startRecordingCheck->isChecked());
    }

    void everyTrackedBodyIsCaptured()
    {
        startRecording(window().continuousCaptureCheck, window().spatialCaptureCheck);
        camera::BodyFrame bodies;
        bodies.bodies[1] = turnedHand(0.0f);
        bodies.bodies[3] = turnedHand(50.0f);
        bodies.bodies[4] = turnedHand(80.0f);
        bodies.bodies[4].tracked = false;
        source->pushBodyFrame(bodies);
        sensor().updateSkeletonFrame();
        const std::vector<DualQuaternion> poses = sensor().continuousPositions();
        QCOMPARE(poses.size(), std::size_t(2));
        QVERIFY(samePose(poses[0], poseOf(turnedHand(0.0f), PoseModeSpatial)));
        QVERIFY(samePose(poses[1], poseOf(turnedHand(50.0f), PoseModeSpatial)));
    }

    void pollWithoutNewFrameCapturesNothing()
    {
        startRecording(window().continuousCaptureCheck, window().spatialCaptureCheck);
        frame(standingBody());
        sensor().updateSkeletonFrame();
        sensor().updateSkeletonFrame();
        QCOMPARE(sensor().continuousPositions().size(), std::size_t(1));
    }

    void storeKeyPosition_data()
    {
        QTest::addColumn<int>("sliderValue");
        QTest::addColumn<bool>("stored");
        QTest::newRow("first") << 0 << true;
        QTest::newRow("last") << 2 << true;
        QTest::newRow("one past the end") << 3 << false;
        QTest::newRow("negative") << -1 << false;
    }

    void storeKeyPosition()
    {
        QFETCH(int, sliderValue);
        QFETCH(bool, stored);
        startRecording(window().continuousCaptureCheck, window().spatialCaptureCheck);
        for (int n = 0; n < 3; ++n)
            frame(turnedHand(20.0f * n));
        window().positionSlider->setRange(-1, 10);
        window().positionSlider->setValue(sliderValue);
        sensor().StoreKeyPosition(false);
        const std::vector<DualQuaternion> keys = sensor().keyPositions();
        QCOMPARE(keys.size(), std::size_t(stored ? 1 : 0));
        if (stored) {
            QVERIFY(samePose(keys[0], sensor().continuousPositions()[std::size_t(sliderValue)]));
        }
    }

    // The rules alone, without a window. A hand held still where two
    // components of its quaternion tie in size (fingers along the camera's x
    // axis) stores a key position every 100 frames, however its jitter flips
    // the quaternion's sign; a hand carried at a steady orientation stores
    // none, whichever way it goes.
    void stillnessOfTheRulesAlone_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVector3D>("fingers");
        QTest::addColumn<QVector3D>("stepPerFrame");
        QTest::addColumn<int>("keys");
        const QVector3D still;
        const QVector3D alongX(0.08f, 0.0f, 0.0f);
        QTest::newRow("tie, planar, fingers along x")
            << int(PoseModePlanar) << alongX << still << 2;
        QTest::newRow("tie, spatial, fingers along x")
            << int(PoseModeSpatial) << alongX << still << 2;
        QTest::newRow("carried sideways at 30 cm/s, spatial")
            << int(PoseModeSpatial) << QVector3D(0, 0.08f, 0) << QVector3D(0.01f, 0, 0) << 0;
        QTest::newRow("carried up at 9 cm/s, planar")
            << int(PoseModePlanar) << QVector3D(0, 0.08f, 0) << QVector3D(0, 0.003f, 0) << 0;
        QTest::newRow("carried away at 6 cm/s, spatial")
            << int(PoseModeSpatial) << alongX << QVector3D(0, 0, 0.002f) << 0;
    }

    void stillnessOfTheRulesAlone()
    {
        QFETCH(int, mode);
        QFETCH(QVector3D, fingers);
        QFETCH(QVector3D, stepPerFrame);
        QFETCH(int, keys);
        Kinect::stillFrameCount = 0;
        Kinect::gestureLatch = 0;
        KeyPoseList keyPositions;
        KeyPoseList continuous;
        Kinect::CaptureRules rules(keyPositions, continuous);
        Kinect::CaptureChoice choice;
        choice.recording = true;
        choice.keyPositions = true;
        choice.mode = mode;
        int stored = 0;
        for (int n = 0; n < 300; ++n) {
            // Half a millimetre of jitter across the fingers, every frame.
            const QVector3D jitter = QVector3D(-fingers.y(), fingers.x(), 0.0f).normalized()
                * (n % 2 ? 5e-4f : -5e-4f);
            const QVector3D centre = QVector3D(0.3f, 0.25f, 1.7f) + stepPerFrame * float(n);
            const Kinect::HandJoints hand { centre, centre + fingers + jitter,
                centre + QVector3D(0.0f, 0.0f, -0.05f) + jitter };
            stored += rules.step(choice, HandState_Unknown, hand).keyPositionStored;
        }
        QCOMPARE(stored, keys);
        QCOMPARE(keyPositions.size(), keys);
        QVERIFY(continuous.poses().empty());
    }

    // Sources that are not 30 Hz count stillness by their frames' times: a
    // hand held for 3.3 s stores a key position whatever the frame rate, a
    // gap in the frames (the hand not seen) or one frame whose hand is not
    // a number restarts the count, and neither stores anything of its own.
    void stillnessCountedByTime_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<int>("brokenFrame");
        QTest::addColumn<bool>("nanHand");
        QTest::addColumn<int>("firstKeyFrame");
        QTest::addColumn<int>("keysInTenSeconds");
        // The first frame is the reference; a key position once the time of
        // 100 frames at 30 Hz has passed since it.
        QTest::newRow("30 Hz") << 30.0 << -1 << false << 100 << 3;
        QTest::newRow("12 Hz") << 12.0 << -1 << false << 40 << 3;
        QTest::newRow("60 Hz") << 60.0 << -1 << false << 200 << 3;
        // Intervals of 1/7 s and 1.1/7 s in turn: 3.3 s after 22 frames,
        // 3.44 s after 23.
        QTest::newRow("7 Hz, uneven") << 7.0 << -1 << false << 23 << 2;
        // The frame after the gap is the new reference.
        QTest::newRow("a gap of 0.6 s") << 12.0 << 20 << false << 20 + 40 << 2;
        // The frame after the one not seen is the new reference.
        QTest::newRow("a hand not seen") << 12.0 << 20 << true << 21 + 40 << 2;
    }

    void stillnessCountedByTime()
    {
        QFETCH(double, fps);
        QFETCH(int, brokenFrame);
        QFETCH(bool, nanHand);
        QFETCH(int, firstKeyFrame);
        QFETCH(int, keysInTenSeconds);
        Kinect::stillFrameCount = 0;
        KeyPoseList keyPositions;
        KeyPoseList continuous;
        Kinect::CaptureRules rules(keyPositions, continuous);
        rules.setCountByTime(true);
        Kinect::CaptureChoice choice;
        choice.recording = true;
        choice.keyPositions = true;
        choice.mode = PoseModeSpatial;
        const float nan = std::nanf("");
        const QVector3D centre(0.3f, 0.25f, 1.7f);
        std::vector<int> keyFrames;
        const bool uneven = fps == 7.0;
        const bool gap = brokenFrame >= 0 && !nanHand;
        for (int n = 0;; ++n) {
            // Ten seconds from an arbitrary clock origin.
            const double seconds = 5.0 + n / fps + (uneven ? (n / 2) * 0.1 / fps : 0.0)
                + (gap && n >= brokenFrame ? 0.6 : 0.0);
            if (seconds > 15.0 + 1e-9)
                break;
            const QVector3D jitter(0.0f, n % 2 ? 5e-4f : -5e-4f, 0.0f);
            Kinect::HandJoints hand { centre, centre + QVector3D(0, 0.08f, 0) + jitter,
                centre + QVector3D(0.05f, 0, 0) };
            if (n == brokenFrame && nanHand)
                hand.centre = QVector3D(nan, nan, nan);
            const auto time = std::chrono::microseconds(std::llround(seconds * 1e6));
            if (rules.step(choice, HandState_Unknown, hand, time).keyPositionStored)
                keyFrames.push_back(n);
        }
        QVERIFY(!keyFrames.empty());
        QCOMPARE(keyFrames.front(), firstKeyFrame);
        QCOMPARE(int(keyFrames.size()), keysInTenSeconds);
        QCOMPARE(keyPositions.size(), keysInTenSeconds);
        // Continuous capture stores no hand that was not seen.
        choice.continuous = true;
        rules.step(choice, HandState_Unknown, { centre, QVector3D(nan, 0, 0), centre });
        QVERIFY(continuous.poses().empty());
        rules.step(choice, HandState_Unknown,
            { centre, centre + QVector3D(0, 0.08f, 0), centre + QVector3D(0.05f, 0, 0) });
        QCOMPARE(continuous.size(), 1);
    }

    // The demo operator, stepped frame by frame through one cycle with key
    // positions and spatial capture chosen: the left hand starts and stops the
    // recording, and every held pose gives exactly one key position, the pose
    // of the hold's hand.
    void demoCycleStoresOneKeyPositionPerHold()
    {
        cleanup();
        camera::SteppedClock clock;
        fixture = std::make_unique<WindowWithSource>(
            std::make_shared<camera::DemoSource>(clock.clock()));
        window().keyPositionCaptureCheck->setChecked(true);
        window().spatialCaptureCheck->setChecked(true);

        using camera::DemoOperator;
        const std::chrono::nanoseconds framePeriod(1000000000 / DemoOperator::framesPerSecond + 1);
        bool recorded = false;
        for (int n = 0; n < DemoOperator::cycleFrames; ++n) {
            sensor().updateSkeletonFrame();
            recorded = recorded || window().startRecordingCheck->isChecked();
            clock.advance(framePeriod);
        }
        QVERIFY(recorded);
        QVERIFY(!window().startRecordingCheck->isChecked());

        const std::vector<DualQuaternion> keys = sensor().keyPositions();
        const std::vector<DemoOperator::HeldPose> &held = DemoOperator::heldPoses();
        QCOMPARE(keys.size(), held.size());
        for (std::size_t i = 0; i < held.size(); ++i) {
            const DualQuaternion expected
                = poseOf(held[i].handCentre, held[i].handTip, held[i].thumbTip, PoseModeSpatial);
            const Matrix4 got = keys[i].toMatrix();
            const Matrix4 want = expected.toMatrix();
            // Tracker jitter of a few millimetres moves the frame by about a
            // degree and the position by a few millimetres.
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(
                        std::abs(got(r, c) - want(r, c)) < 0.05, qPrintable(QString::number(i)));
                QVERIFY2(std::abs(got(r, 3) - want(r, 3)) < 0.005, qPrintable(QString::number(i)));
            }
        }
    }
};

QTEST_MAIN(CaptureTest)
#include "tst_capture.moc"
