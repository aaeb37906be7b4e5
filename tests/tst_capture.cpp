// Hand-pose capture from body frames: the left-hand gesture, continuous and
// key-position capture with the stillness test, driven through a capture
// host without a window (the rules, the glue that stores what they capture,
// a sensor on a scripted or demo camera), and once through the window that
// runs capture in the program; body frames recorded and replayed, and the
// capture without a window (the program's --capture) against the window's.

#include "algebra/KeyPoseList.h"
#include "algebra/Pose.h"
#include "app/FileNameQuestion.h"
#include "app/WindowCapture.h"
#include "app/mainDialog.h"
#include "sensor/BodyCapture.h"
#include "sensor/CaptureHost.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/DemoSource.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"
#include "session/KeyPositionExport.h"
#include "session/PoseSession.h"
#include "testkit/ScriptedSource.h"
#include "testkit/WindowWithSource.h"
#include "tests/support/CameraTestSupport.h"
#include "tests/support/ProgramRun.h"

#include <QAction>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QtTest>

#include <cmath>
#include <cstring>

using camera::Body;
using camera::ScriptedSource;
using Kinect::CaptureChoice;
using Kinect::CaptureEffects;
using Kinect::HandJoints;
using support::frameWith;
using support::standingBody;
using testkit::WindowWithSource;

namespace {

// The pose capture makes of three hand joints, computed independently of the
// capture through the list's own construction.
DualQuaternion poseOf(const HandJoints &hand, PoseMode mode)
{
    KeyPoseList list;
    list.appendFromPoints(hand.centre, hand.tip, hand.thumb, mode);
    return list.at(0);
}

bool samePose(const DualQuaternion &a, const DualQuaternion &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The right hand turned by degrees about the camera's z axis, around its
// centre: a turn of 30 degrees or more is well beyond the stillness test.
HandJoints turnedHand(float degrees)
{
    const QVector3D centre(0.3f, 0.25f, 1.7f);
    const QQuaternion turn = QQuaternion::fromAxisAndAngle(0.0f, 0.0f, 1.0f, degrees);
    return HandJoints { centre, centre + turn.rotatedVector(QVector3D(0.0f, 0.08f, 0.0f)),
        centre + turn.rotatedVector(QVector3D(-0.05f, 0.03f, 0.0f)) };
}

Body bodyWith(const HandJoints &hand, HandState handLeftState = HandState_Unknown)
{
    return standingBody(hand.centre, hand.tip, hand.thumb, handLeftState);
}

// A hand with half a millimetre of jitter across the fingers every frame,
// carried by stepPerFrame.
HandJoints jitteredHand(int n, const QVector3D &fingers, const QVector3D &stepPerFrame)
{
    const QVector3D jitter
        = QVector3D(-fingers.y(), fingers.x(), 0.0f).normalized() * (n % 2 ? 5e-4f : -5e-4f);
    const QVector3D centre = QVector3D(0.3f, 0.25f, 1.7f) + stepPerFrame * float(n);
    return HandJoints { centre, centre + fingers + jitter,
        centre + QVector3D(0.0f, 0.0f, -0.05f) + jitter };
}

// The hand of frame n (from 1) of a named movement.
HandJoints handOfMovement(const QString &movement, int n)
{
    const QVector3D alongX(0.08f, 0.0f, 0.0f), up(0.0f, 0.08f, 0.0f);
    if (movement == "held")
        return turnedHand(0.0f);
    if (movement == "turned once after 60 frames")
        return turnedHand(n <= 60 ? 0.0f : 40.0f);
    if (movement == "tremor of 4 degrees")
        return turnedHand(n % 2 ? 0.0f : 4.0f);
    // Two components of the quaternion tie in size: jitter flips its sign.
    if (movement == "held, fingers along x")
        return jitteredHand(n, alongX, QVector3D());
    if (movement == "carried sideways at 30 cm/s")
        return jitteredHand(n, up, QVector3D(0.01f, 0, 0));
    if (movement == "carried up at 9 cm/s")
        return jitteredHand(n, up, QVector3D(0, 0.003f, 0));
    if (movement == "carried away at 6 cm/s")
        return jitteredHand(n, alongX, QVector3D(0, 0, 0.002f));
    qFatal("unknown movement");
    return {};
}

// A capture host without a window: the choices are plain values, recording
// follows the gesture as the window's check box does, and every step is
// noted.
class PlainHost : public Kinect::CaptureHost {
public:
    CaptureChoice choice;
    std::vector<CaptureEffects> steps;
    int selected = -1;
    QStringList problems;

    bool captureChoice(CaptureChoice &c) const override
    {
        c = choice;
        return true;
    }
    void captureStepped(const CaptureEffects &effects, const CaptureChoice &c) override
    {
        steps.push_back(effects);
        if (effects.recordingChanged)
            choice.recording = c.recording;
    }
    int selectedContinuousPosition() const override { return selected; }
    void showCaptureProblem(const QString &message) override { problems << message; }

    void record(bool continuous, PoseMode mode)
    {
        choice.recording = true;
        choice.continuous = continuous;
        choice.keyPositions = !continuous;
        choice.mode = mode;
    }
};

// A sensor on a camera source with no window at all: it captures into a
// session of its own through a plain host.
struct LoneSensor {
    explicit LoneSensor(std::shared_ptr<camera::Source> source)
        : installed(std::move(source))
    {
        sensor.setCaptureHost(&host);
    }
    camera::ScopedSource installed;
    PoseSession session;
    PlainHost host;
    Kinect::Sensor sensor { nullptr, nullptr, &session };
};

bool sameBits(const std::vector<DualQuaternion> &a, const std::vector<DualQuaternion> &b)
{
    return a.size() == b.size()
        && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

// Polls the sensor once per frame of a replay on a stepped clock, each frame
// as soon as the one before: the whole recording, in order.
void replayWhole(Kinect::Sensor &sensor, camera::ReplaySource &source, camera::SteppedClock &clock)
{
    for (;;) {
        sensor.updateSkeletonFrame();
        const std::chrono::nanoseconds next = source.timeToNextBodyFrame();
        if (next == camera::Source::noFrameDue)
            return;
        clock.advance(next);
    }
}

QString recordingPath(const QString &name)
{
    return QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv/") + name;
}

} // namespace

class CaptureTest : public QObject {
    Q_OBJECT

private:
    PoseSession session;
    PlainHost host;
    std::unique_ptr<Kinect::BodyCapture> capture;

    void frame(const Body &body) { capture->processFrame(frameWith(body)); }

private Q_SLOTS:
    void init()
    {
        Kinect::stillFrameCount = 0;
        Kinect::gestureLatch = 0;
        session.restorePositions({}, {});
        host = PlainHost();
        capture = std::make_unique<Kinect::BodyCapture>(session, &host);
    }

    // A key position is stored after the hand has been still for 100 frames
    // (the first frame always moves), and 100 frames later again; any
    // frame that moves starts the count again. Without a mode the steps are
    // reported but nothing is stored.
    void keyPositionNeedsAHundredStillFrames_data()
    {
        QTest::addColumn<QString>("movement");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("frames");
        QTest::addColumn<QList<int>>("storedAt");
        const int spatial = PoseModeSpatial, planar = PoseModePlanar;
        QTest::newRow("held, spatial") << "held" << spatial << 201 << QList<int> { 101, 201 };
        QTest::newRow("held, no mode") << "held" << -1 << 150 << QList<int> { 101 };
        QTest::newRow("turned once, planar")
            << "turned once after 60 frames" << planar << 200 << QList<int> { 161 };
        QTest::newRow("tremor") << "tremor of 4 degrees" << spatial << 101 << QList<int> { 101 };
        QTest::newRow("tie, planar")
            << "held, fingers along x" << planar << 300 << QList<int> { 101, 201 };
        QTest::newRow("tie, spatial")
            << "held, fingers along x" << spatial << 300 << QList<int> { 101, 201 };
        QTest::newRow("carried sideways")
            << "carried sideways at 30 cm/s" << spatial << 300 << QList<int>();
        QTest::newRow("carried up") << "carried up at 9 cm/s" << planar << 300 << QList<int>();
        QTest::newRow("carried away") << "carried away at 6 cm/s" << spatial << 300 << QList<int>();
    }

    void keyPositionNeedsAHundredStillFrames()
    {
        QFETCH(QString, movement);
        QFETCH(int, mode);
        QFETCH(int, frames);
        QFETCH(QList<int>, storedAt);
        host.record(false, mode);
        QList<int> reported;
        std::vector<DualQuaternion> expected;
        for (int n = 1; n <= frames; ++n) {
            const HandJoints hand = handOfMovement(movement, n);
            capture->step(host.choice, HandState_Unknown, hand);
            if (host.steps.back().keyPositionStored) {
                reported << n;
                if (mode >= 0)
                    expected.push_back(poseOf(hand, mode));
            }
        }
        QCOMPARE(reported, storedAt);
        const std::vector<DualQuaternion> keys = session.keyPositions();
        QCOMPARE(keys.size(), expected.size());
        for (std::size_t i = 0; i < keys.size(); ++i)
            QVERIFY(samePose(keys[i], expected[i]));
        QVERIFY(session.continuousPositions().empty());
    }

    // Every frame's pose, from the three right-hand joints of the body; every
    // tracked body of a frame, in slot order. Without a mode the steps are
    // reported but nothing is stored.
    void continuousCaptureTakesEveryBody_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("spatial") << int(PoseModeSpatial);
        QTest::newRow("planar") << int(PoseModePlanar);
        QTest::newRow("no mode") << -1;
    }

    void continuousCaptureTakesEveryBody()
    {
        QFETCH(int, mode);
        host.record(true, mode);
        std::vector<DualQuaternion> expected;
        for (int n = 0; n < 7; ++n) {
            frame(bodyWith(turnedHand(10.0f * n)));
            if (mode >= 0)
                expected.push_back(poseOf(turnedHand(10.0f * n), mode));
        }
        camera::BodyFrame bodies;
        bodies.bodies[1] = bodyWith(turnedHand(100.0f));
        bodies.bodies[3] = bodyWith(turnedHand(150.0f));
        bodies.bodies[4] = bodyWith(turnedHand(170.0f));
        bodies.bodies[4].tracked = false;
        capture->processFrame(bodies);
        if (mode >= 0) {
            expected.push_back(poseOf(turnedHand(100.0f), mode));
            expected.push_back(poseOf(turnedHand(150.0f), mode));
        }

        const std::vector<DualQuaternion> poses = session.continuousPositions();
        QCOMPARE(poses.size(), expected.size());
        for (std::size_t i = 0; i < poses.size(); ++i)
            QVERIFY(samePose(poses[i], expected[i]));
        QCOMPARE(int(host.steps.size()), 9);
        for (const CaptureEffects &step : host.steps)
            QVERIFY(step.continuousCaptured && !step.keyPositionStored && !step.recordingChanged);
        QVERIFY(session.keyPositions().empty());
    }

    void nothingWithoutRecordingOrCaptureKind()
    {
        host.record(true, PoseModeSpatial);
        host.choice.recording = false;
        for (int n = 0; n < 5; ++n)
            frame(standingBody());
        host.record(false, PoseModeSpatial);
        host.choice.keyPositions = false;
        for (int n = 0; n <= 100; ++n)
            frame(standingBody());
        QVERIFY(session.continuousPositions().empty());
        QVERIFY(session.keyPositions().empty());
        for (const CaptureEffects &step : host.steps)
            QVERIFY(!step.continuousCaptured && !step.keyPositionStored && !step.recordingChanged);
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
        host.choice.recording = recordingBefore;
        Kinect::gestureLatch = latchBefore;
        frame(standingBody(HandState(handState)));
        QCOMPARE(host.choice.recording, recordingAfter);
        QCOMPARE(host.steps.back().recordingChanged, recordingBefore != recordingAfter);
        QCOMPARE(Kinect::gestureLatch, latchAfter);
    }

    // Recording runs from the first closed frame up to the first open one,
    // both captured in the frame of the gesture; a later body of the same
    // frame sees the recording the first one started.
    void gestureStartsCaptureInTheSameFrame()
    {
        host.record(true, PoseModeSpatial);
        host.choice.recording = false;
        frame(standingBody(HandState_Closed));
        frame(standingBody(HandState_Closed));
        frame(standingBody(HandState_Open));
        frame(standingBody(HandState_Open));
        QCOMPARE(session.continuousPositions().size(), std::size_t(2));
        QVERIFY(!host.choice.recording);

        camera::BodyFrame both;
        both.bodies[0] = standingBody(HandState_Closed);
        both.bodies[2] = standingBody(HandState_Unknown);
        capture->processFrame(both);
        QCOMPARE(session.continuousPositions().size(), std::size_t(4));
    }

    // A sensor without a window: a poll without a new frame captures
    // nothing, and "Select position" stores the continuous pose the host
    // selects.
    void sensorCapturesWithoutAWindow_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("stored");
        QTest::newRow("first") << 0 << true;
        QTest::newRow("last") << 2 << true;
        QTest::newRow("one past the end") << 3 << false;
        QTest::newRow("none") << -1 << false;
    }

    void sensorCapturesWithoutAWindow()
    {
        QFETCH(int, selected);
        QFETCH(bool, stored);
        auto source = std::make_shared<ScriptedSource>();
        LoneSensor lone(source);
        lone.host.record(true, PoseModeSpatial);
        for (int n = 0; n < 3; ++n) {
            source->pushBodyFrame(frameWith(bodyWith(turnedHand(20.0f * n))));
            lone.sensor.updateSkeletonFrame();
            lone.sensor.updateSkeletonFrame();
        }
        const std::vector<DualQuaternion> continuous = lone.session.continuousPositions();
        QCOMPARE(continuous.size(), std::size_t(3));

        lone.host.selected = selected;
        lone.sensor.StoreKeyPosition(false);
        const std::vector<DualQuaternion> keys = lone.session.keyPositions();
        QCOMPARE(keys.size(), std::size_t(stored ? 1 : 0));
        if (stored)
            QVERIFY(samePose(keys[0], continuous[std::size_t(selected)]));
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
        Kinect::CaptureRules rules;
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
            const CaptureEffects effects = rules.step(choice, HandState_Unknown, hand, time);
            if (effects.keyPositionStored) {
                keyFrames.push_back(n);
                QVERIFY(effects.pose.has_value());
            }
        }
        QVERIFY(!keyFrames.empty());
        QCOMPARE(keyFrames.front(), firstKeyFrame);
        QCOMPARE(int(keyFrames.size()), keysInTenSeconds);
        // Continuous capture captures no hand that was not seen.
        choice.continuous = true;
        QVERIFY(!rules.step(choice, HandState_Unknown, { centre, QVector3D(nan, 0, 0), centre })
                     .pose.has_value());
        QVERIFY(
            rules
                .step(choice, HandState_Unknown,
                    { centre, centre + QVector3D(0, 0.08f, 0), centre + QVector3D(0.05f, 0, 0) })
                .pose.has_value());
    }

    // The demo operator, stepped frame by frame through one cycle with key
    // positions and spatial capture chosen: the left hand starts and stops the
    // recording, and every held pose gives exactly one key position, the pose
    // of the hold's hand.
    void demoCycleStoresOneKeyPositionPerHold()
    {
        camera::SteppedClock clock;
        LoneSensor lone(std::make_shared<camera::DemoSource>(clock.clock()));
        lone.host.record(false, PoseModeSpatial);
        lone.host.choice.recording = false;

        using camera::DemoOperator;
        const std::chrono::nanoseconds framePeriod(1000000000 / DemoOperator::framesPerSecond + 1);
        bool recorded = false;
        for (int n = 0; n < DemoOperator::cycleFrames; ++n) {
            lone.sensor.updateSkeletonFrame();
            recorded = recorded || lone.host.choice.recording;
            clock.advance(framePeriod);
        }
        QVERIFY(recorded);
        QVERIFY(!lone.host.choice.recording);

        const std::vector<DualQuaternion> keys = lone.session.keyPositions();
        const std::vector<DemoOperator::HeldPose> &held = DemoOperator::heldPoses();
        QCOMPARE(keys.size(), held.size());
        for (std::size_t i = 0; i < held.size(); ++i) {
            const DualQuaternion expected
                = poseOf(HandJoints { held[i].handCentre, held[i].handTip, held[i].thumbTip },
                    PoseModeSpatial);
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

    // The window's capture: its check boxes are the choices ("Spatial
    // capture" before "Planar capture"), and none while no window is shown.
    void windowChoices_data()
    {
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<bool>("keyPositions");
        QTest::addColumn<int>("mode");
        QTest::newRow("nothing") << QStringList() << false << false << false << -1;
        QTest::newRow("recording continuously, planar")
            << QStringList { "startRecording", "continuous", "planar" } << true << true << false
            << int(PoseModePlanar);
        QTest::newRow("key positions, both modes") << QStringList { "keyPositions", "planar",
            "spatial" } << false << false << true << int(PoseModeSpatial);
    }

    void windowChoices()
    {
        QFETCH(QStringList, checked);
        QFETCH(bool, recording);
        QFETCH(bool, continuous);
        QFETCH(bool, keyPositions);
        QFETCH(int, mode);
        WindowWithSource fixture(std::make_shared<ScriptedSource>());
        Kinect::mainDialog &w = fixture.window();
        const std::pair<const char *, QCheckBox *> boxes[]
            = { { "startRecording", w.startRecordingCheck },
                  { "continuous", w.continuousCaptureCheck },
                  { "keyPositions", w.keyPositionCaptureCheck }, { "planar", w.planarCaptureCheck },
                  { "spatial", w.spatialCaptureCheck } };
        for (const auto &box : boxes)
            box.second->setChecked(checked.contains(QLatin1String(box.first)));
        w.positionSlider->setRange(0, 10);
        w.positionSlider->setValue(4);

        WindowCapture &windowCapture = WindowCapture::instance();
        CaptureChoice choice;
        QVERIFY(windowCapture.captureChoice(choice));
        QCOMPARE(choice.recording, recording);
        QCOMPARE(choice.continuous, continuous);
        QCOMPARE(choice.keyPositions, keyPositions);
        QCOMPARE(choice.mode, mode);
        QCOMPARE(windowCapture.selectedContinuousPosition(), 4);

        mainDialogInstance = nullptr;
        QVERIFY(!windowCapture.captureChoice(choice));
        QCOMPARE(windowCapture.selectedContinuousPosition(), -1);
    }

    // What capture stores, the window shows: the gesture switches "Start
    // recording", the first continuous pose checks "Continuous motion" and
    // "Frames" and each later one announces it again, and each key position
    // checks "Key positions" or announces it again, so that the 3D view
    // redraws.
    void windowShowsWhatCaptureStores()
    {
        auto source = std::make_shared<ScriptedSource>();
        WindowWithSource fixture(source);
        Kinect::mainDialog &w = fixture.window();
        const auto push = [&](const Body &body) {
            source->pushBodyFrame(frameWith(body));
            fixture.sensor().updateSkeletonFrame();
        };
        w.continuousCaptureCheck->setChecked(true);
        w.spatialCaptureCheck->setChecked(true);
        QSignalSpy continuousShown(w.continuousMotionCheck, &QCheckBox::stateChanged);
        push(standingBody(HandState_Closed));
        QVERIFY(w.startRecordingCheck->isChecked());
        for (int n = 0; n < 3; ++n)
            push(standingBody());
        QVERIFY(w.continuousMotionCheck->isChecked() && w.framesCheck->isChecked());
        QCOMPARE(continuousShown.count(), 4);
        push(standingBody(HandState_Open));
        QVERIFY(!w.startRecordingCheck->isChecked());
        QCOMPARE(w.session->continuousPositionCount(), 4);

        w.continuousCaptureCheck->setChecked(false);
        w.keyPositionCaptureCheck->setChecked(true);
        w.startRecordingCheck->setChecked(true);
        QSignalSpy keysShown(w.keyPositionsCheck, &QCheckBox::stateChanged);
        for (int n = 1; n <= 201; ++n)
            push(standingBody());
        QCOMPARE(w.session->keyPositionCount(), 2);
        QVERIFY(w.keyPositionsCheck->isChecked());
        QCOMPARE(keysShown.count(), 2);
        QCOMPARE(keysShown.at(1).at(0).toInt(), int(Qt::Checked));
        QCOMPARE(w.session->continuousPositionCount(), 4);
    }

    // What the sensor records of a live source replays to the same poses,
    // bit for bit: the demo operator, its left hand starting the recording,
    // captured with and without smoothing (which depends on the frames'
    // times as well as their joints).
    void recordedFramesReplayToTheSamePoses_data()
    {
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<bool>("smoothing");
        QTest::newRow("continuous") << true << false;
        QTest::newRow("continuous, smoothed") << true << true;
        QTest::newRow("key positions, smoothed") << false << true;
    }

    void recordedFramesReplayToTheSamePoses()
    {
        QFETCH(bool, continuous);
        QFETCH(bool, smoothing);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.csv"));
        const auto captureWith = [&](LoneSensor &lone) {
            Kinect::stillFrameCount = 0;
            Kinect::gestureLatch = 0;
            lone.host.record(continuous, PoseModeSpatial);
            lone.host.choice.recording = false;
            lone.host.choice.smoothing = smoothing;
        };
        const auto posesOf = [&](const LoneSensor &lone) {
            return continuous ? lone.session.continuousPositions() : lone.session.keyPositions();
        };

        constexpr int frames = 900;
        camera::SteppedClock clock;
        LoneSensor live(std::make_shared<camera::DemoSource>(clock.clock()));
        captureWith(live);
        QString error;
        QVERIFY2(live.sensor.startRecordingFrames(path, &error), qPrintable(error));
        for (int n = 0; n < frames; ++n) {
            live.sensor.updateSkeletonFrame();
            clock.advance(std::chrono::nanoseconds(33333334));
        }
        QCOMPARE(live.sensor.stopRecordingFrames(), std::int64_t(frames));
        const std::vector<DualQuaternion> captured = posesOf(live);
        QVERIFY(captured.size() >= (continuous ? 800u : 2u));

        camera::SteppedClock replayClock;
        auto replay = std::make_shared<camera::ReplaySource>(path, replayClock.clock());
        LoneSensor again(replay);
        captureWith(again);
        replayWhole(again.sensor, *replay, replayClock);
        QVERIFY(sameBits(posesOf(again), captured));
    }

    // The program's --capture, without a display, writes what the window
    // captures from the same recording, replayed frame by frame with
    // "Start recording" checked before the first frame.
    void captureWithoutAWindowEqualsTheWindows_data()
    {
        QTest::addColumn<QString>("recording");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("planar");
        QTest::addColumn<bool>("smoothing");
        QTest::newRow("continuous, spatial") << "KinectReader_joints.csv"
                                             << "continuous" << false << false;
        QTest::newRow("continuous, smoothed") << "Ges01_wavehand.csv"
                                              << "continuous" << false << true;
        QTest::newRow("keys, planar") << "Ges04_comehere.csv"
                                      << "keys" << true << false;
    }

    void captureWithoutAWindowEqualsTheWindows()
    {
        QFETCH(QString, recording);
        QFETCH(QString, mode);
        QFETCH(bool, planar);
        QFETCH(bool, smoothing);
        const QString path = recordingPath(recording);
        if (!QFileInfo::exists(path))
            QSKIP("the recordings are not beside the repository");

        camera::SteppedClock clock;
        auto replay = std::make_shared<camera::ReplaySource>(path, clock.clock());
        WindowWithSource fixture(replay);
        Kinect::mainDialog &w = fixture.window();
        const bool continuous = mode == QLatin1String("continuous");
        (continuous ? w.continuousCaptureCheck : w.keyPositionCaptureCheck)->setChecked(true);
        (planar ? w.planarCaptureCheck : w.spatialCaptureCheck)->setChecked(true);
        w.smoothingCheck->setChecked(smoothing);
        w.startRecordingCheck->setChecked(true);
        replayWhole(fixture.sensor(), *replay, clock);
        const std::vector<DualQuaternion> poses
            = continuous ? w.session->continuousPositions() : w.session->keyPositions();
        QVERIFY(!poses.empty());

        QTemporaryDir dir;
        const QString output = dir.filePath(QStringLiteral("capture.xml"));
        QStringList arguments { QStringLiteral("--capture"), mode, QStringLiteral("--camera"),
            QStringLiteral("replay:") + path, QStringLiteral("--output"), output };
        if (planar)
            arguments << QStringLiteral("--planar");
        if (smoothing)
            arguments << QStringLiteral("--smooth");
        const support::ProgramRun run
            = support::runWithoutDisplay(QStringLiteral(HANDMOTION_PROGRAM), arguments);
        QVERIFY2(run.status == 0, run.err.constData());
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), keyPositionExportText(poses));
    }

    // Each fault of a capture without a window is one line on standard
    // error with its status, and no output is written.
    void captureWithoutAWindowFails_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString good = recordingPath(QStringLiteral("Ges01_wavehand.csv"));
        const QString replay = QStringLiteral("replay:") + good;
        QTest::newRow("unknown mode") << QStringList { "--capture", "some", "--camera", replay }
                                      << 2 << "--capture \"some\": expected keys or continuous";
        QTest::newRow("no output") << QStringList { "--capture", "keys", "--camera", replay } << 2
                                   << "--output FILE is missing";
        QTest::newRow("no camera")
            << QStringList { "--capture", "keys", "--camera", "none", "--output", "OUT" } << 2
            << "--camera SOURCE is missing";
        QTest::newRow("bad duration") << QStringList {
            "--capture", "keys", "--camera", replay, "--duration", "-1", "--output", "OUT"
        } << 2 << "--duration \"-1\" is not a number of seconds above 0";
        QTest::newRow("broken recording")
            << QStringList { "--capture", "keys", "--camera", "replay:BROKEN", "--output", "OUT" }
            << 3 << "broken.csv:2: expected 101 comma-separated fields";
        QTest::newRow("missing recording") << QStringList { "--capture", "keys", "--camera",
            "replay:DIR/none.csv", "--output", "OUT" }
                                           << 3 << "cannot open the recording";
        QTest::newRow("nothing captured") << QStringList { "--capture", "keys", "--camera", replay,
            "--output", "OUT" } << 4 << "no key position was captured";
        QTest::newRow("output not writable") << QStringList { "--capture", "continuous", "--camera",
            replay, "--output", "/proc/handmotion.xml" }
                                             << 5 << "cannot be written";
        QTest::newRow("record into a missing folder") << QStringList { "--capture", "continuous",
            "--camera", replay, "--record", "DIR/gone/frames.csv", "--output", "OUT" }
                                                      << 5 << "Cannot record body frames to";
    }

    void captureWithoutAWindowFails()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        if (!QFileInfo::exists(recordingPath(QStringLiteral("Ges01_wavehand.csv"))))
            QSKIP("the recordings are not beside the repository");
        QTemporaryDir dir;
        QFile broken(dir.filePath(QStringLiteral("broken.csv")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        QFile good(recordingPath(QStringLiteral("Ges01_wavehand.csv")));
        QVERIFY(good.open(QIODevice::ReadOnly));
        broken.write(good.readLine() + "1,2,3\n");
        broken.close();
        const QString output = dir.filePath(QStringLiteral("out.xml"));
        for (QString &argument : arguments) {
            argument.replace(QLatin1String("BROKEN"), broken.fileName());
            argument.replace(QLatin1String("DIR"), dir.path());
            if (argument == QLatin1String("OUT"))
                argument = output;
        }
        const support::ProgramRun run
            = support::runWithoutDisplay(QStringLiteral(HANDMOTION_PROGRAM), arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.startsWith("handmotion: ") && run.err.count('\n') == 1
                && run.err.contains(message.toUtf8()),
            run.err.constData());
        QVERIFY(!QFile::exists(output));
    }

    // "Record body frames…" records what the sensor takes until it is
    // unchecked; a target that cannot be written, from the start or later,
    // is said in the status bar and unchecks it, and capture goes on.
    void windowRecordsBodyFrames()
    {
        auto source = std::make_shared<ScriptedSource>();
        WindowWithSource fixture(source);
        Kinect::mainDialog &w = fixture.window();
        w.continuousCaptureCheck->setChecked(true);
        w.spatialCaptureCheck->setChecked(true);
        w.startRecordingCheck->setChecked(true);
        const auto push = [&](int n) {
            for (int k = 0; k < n; ++k) {
                source->pushBodyFrame(frameWith(standingBody()));
                fixture.sensor().updateSkeletonFrame();
            }
        };

        QTemporaryDir dir;
        const QString chosen = dir.filePath(QStringLiteral("frames"));
        {
            const ScopedFileNameAnswer answer([&](const FileNameQuestion &) { return chosen; });
            w.recordFramesAction->trigger();
        }
        QVERIFY(w.recordFramesAction->isChecked());
        push(3);
        w.recordFramesAction->trigger();
        QVERIFY(!w.recordFramesAction->isChecked());
        QVERIFY2(
            w.statusBar()->currentMessage().startsWith(QStringLiteral("Recorded 3 body frames")),
            qPrintable(w.statusBar()->currentMessage()));
        const camera::Recording recorded = camera::readRecording(chosen + QStringLiteral(".csv"));
        QVERIFY2(recorded.error.isEmpty(), qPrintable(recorded.error));
        QCOMPARE(recorded.frames.size(), std::size_t(3));

        QVERIFY(!w.startRecordingFrames(dir.filePath(QStringLiteral("gone/frames.csv"))));
        QVERIFY(!w.recordFramesAction->isChecked());
        QVERIFY(w.statusBar()->currentMessage().startsWith(
            QStringLiteral("Cannot record body frames to")));

        // Every write to /dev/full fails as on a full disk.
        QVERIFY(w.startRecordingFrames(QStringLiteral("/dev/full")));
        QVERIFY(w.recordFramesAction->isChecked());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("stopped")));
        push(2);
        QVERIFY(!w.recordFramesAction->isChecked());
        QVERIFY2(w.statusBar()->currentMessage().contains(QStringLiteral("the 0 frames before")),
            qPrintable(w.statusBar()->currentMessage()));
        QCOMPARE(w.session->continuousPositionCount(), 5);
    }
};

QTEST_MAIN(CaptureTest)
#include "tst_capture.moc"
