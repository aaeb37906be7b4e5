// Recordings replayed through the real sensor and window. A whole recording
// replayed at its pace, with the polling threads running while the view
// paints a large scene, loses no body frame in continuous capture. A broken
// one is reported once with file, line and what was expected, the frames
// before the fault are captured, and the program goes on polling and
// drawing.
#include "app/mainDialog.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"
#include "testkit/ReplayFromGo.h"
#include "testkit/WindowWithSource.h"
#include "tests/support/CameraTestSupport.h"
#include "tests/support/GLScene.h"
#include "view/GLWidget.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <memory>

using Kinect::mainDialog;
using namespace std::chrono_literals;

namespace {

// The standing person of the camera tests, right hand a little further to
// the side in every frame.
camera::Body personInFrame(int frame)
{
    const QVector3D shift(0.01f * float(frame), 0.0f, 0.0f);
    const QVector3D centre = QVector3D(0.3f, 0.25f, 1.7f) + shift;
    return support::standingBody(
        centre, centre + QVector3D(0.0f, 0.08f, 0.0f), centre + QVector3D(-0.05f, 0.03f, 0.0f));
}

QByteArray number(float value) { return QByteArray::number(double(value), 'g', 9); }

// One .csv line: the timestamp in 100 ns, then X, Y, Z and state per joint.
QByteArray csvLine(qint64 timestamp, const camera::Body &body)
{
    QByteArray line = QByteArray::number(timestamp) + ',';
    for (const Joint &joint : body.joints)
        line += number(joint.Position.X) + ',' + number(joint.Position.Y) + ','
            + number(joint.Position.Z) + ',' + QByteArray::number(joint.TrackingState) + ',';
    return line + '\n';
}

// One body of a .skeleton frame: its line, the joint count, the first
// jointLines joint lines.
QByteArray skeletonBody(const camera::Body &body, int jointLines = JointType_Count)
{
    QByteArray text = "72057594037928123 0 1 2 1 2 0 0 0 2\n25\n";
    for (int j = 0; j < jointLines; ++j) {
        const CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
        text
            += number(p.X) + ' ' + number(p.Y) + ' ' + number(p.Z) + " 250 200 960 540 1 0 0 0 2\n";
    }
    return text;
}

QByteArray skeletonFrame(int frame) { return "1\n" + skeletonBody(personInFrame(frame)); }

// A pose near the origin of the scene, turned about z.
DualQuaternion pose(double angleDegrees, double x)
{
    const double h = angleDegrees * M_PI / 360.0;
    const double q[4] = { 0, 0, std::sin(h), std::cos(h) };
    const double t[4] = { x, 0, 0, 0 };
    return DualQuaternion::fromRotationTranslation(q, t);
}

} // namespace

class TestGlRecordingFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void everyFrameIsCapturedWhileTheViewPaints();
    void faultIsReportedAndTheProgramGoesOn_data();
    void faultIsReportedAndTheProgramGoesOn();

private:
    QTemporaryDir m_dir;
};

void TestGlRecordingFaults::everyFrameIsCapturedWhileTheViewPaints()
{
    // The first 90 frames (3 s) of a real recording.
    QFile recorded(QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv/Ges01_wavehand.csv"));
    if (!recorded.open(QIODevice::ReadOnly))
        QSKIP("The recordings are not here; nothing to replay.");
    const QString path = m_dir.filePath(QStringLiteral("first90.csv"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (int line = 0; line < 90; ++line)
            QVERIFY(file.write(recorded.readLine()) > 0);
    }
    const camera::Recording recording = camera::readRecording(path);
    QVERIFY(recording.error.isEmpty());
    QCOMPARE(int(recording.frames.size()), 90);

    // Four times slower than recorded.
    auto source = std::make_shared<camera::ReplayFromGo>(path, 4);
    testkit::WindowWithSource fixture(source, testkit::WindowWithSource::Running);
    mainDialog &window = fixture.window();
    Kinect::Sensor &sensor = fixture.sensor();
    window.resize(1600, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.glWidget->isValid());

    // A large scene: 20 key positions as all four kinds of motion, with
    // frames and objects. Every paint of it holds the GUI thread for many
    // camera frames.
    for (int k = 0; k < 20; ++k)
        sensor.addKeyPosition(pose(18.0 * k, 0.1 * k - 1.0));
    for (QCheckBox *box : { window.keyPositionsCheck, window.screwCheck, window.bezierCheck,
             window.approximationCheck, window.interpolationCheck, window.framesCheck,
             window.objectCheck })
        box->setChecked(true);
    window.spatialCaptureCheck->setChecked(true);
    window.continuousCaptureCheck->setChecked(true);
    window.startRecordingCheck->setChecked(true);
    int paints = 0;
    QObject::connect(window.glWidget, &QOpenGLWidget::frameSwapped, [&] { ++paints; });

    // Every frame the skeleton thread took becomes a pose, in order, however
    // long the paints hold the GUI thread. The thread itself keeps up: a
    // machine under heavy load may starve it of a frame now and then, while
    // a GUI thread taking the frames itself would miss most of them (one
    // paint of this scene lasts many frames, even at this pace).
    source->go();
    QTRY_VERIFY_WITH_TIMEOUT(source->played(), 60000);
    const std::vector<std::int64_t> taken = source->taken();
    QTRY_COMPARE_WITH_TIMEOUT(sensor.continuousPositionCount(), int(taken.size()), 60000);
    QVERIFY(paints > 0);
    QVERIFY2(taken.size() >= recording.frames.size() * 9 / 10,
        qPrintable(QStringLiteral("%1 of %2 frames taken")
                       .arg(taken.size())
                       .arg(recording.frames.size())));
    const std::vector<DualQuaternion> poses = sensor.continuousPositions();
    for (std::size_t k = 0; k < taken.size(); ++k) {
        if (k > 0)
            QVERIFY(taken[k] > taken[k - 1]);
        const camera::Body &body
            = recording.bodies[std::size_t(recording.frames[std::size_t(taken[k])].firstBody)];
        QVERIFY2(poses[k] == support::handPose(body, PoseModeSpatial),
            qPrintable(QString::number(taken[k])));
    }
}

void TestGlRecordingFaults::faultIsReportedAndTheProgramGoesOn_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    // What is expected after "FILE:"; the frames before the fault play.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("framesPlayed");

    QByteArray csv;
    for (int f = 0; f < 4; ++f)
        csv += csvLine(1000000 + 333333 * f, personInFrame(f));
    camera::Body nan = personInFrame(4);
    nan.joints[JointType_HandRight].Position.X = std::nanf("");
    camera::Body inf = personInFrame(5);
    inf.joints[JointType_Head].Position.Y = -INFINITY;
    QTest::newRow("csv: NaN, then an infinite coordinate")
        << QStringLiteral("nan.csv") << csv + csvLine(2400000, nan) + csvLine(2800000, inf)
        << QStringLiteral("5: field 46 (X of joint 11 (HandRight)): expected a finite number, "
                          "found \"nan\"")
        << 4;

    camera::Body infSkeleton = personInFrame(2);
    infSkeleton.joints[JointType_HandTipRight].Position.Z = INFINITY;
    QTest::newRow("skeleton: infinite coordinate")
        << QStringLiteral("inf.skeleton")
        << "3\n" + skeletonFrame(0) + skeletonFrame(1) + "1\n" + skeletonBody(infSkeleton)
        << QStringLiteral("84: in frame 3 of 3, body 1, joint 23 (HandTipRight): field 3 (z): "
                          "expected a finite number in metres, found \"inf\"")
        << 2;

    QTest::newRow("skeleton: ends mid-frame")
        << QStringLiteral("cut.skeleton")
        << "4\n" + skeletonFrame(0) + skeletonFrame(1) + skeletonFrame(2) + "1\n"
            + skeletonBody(personInFrame(3), 10)
        << QStringLiteral("99: the file ends in frame 4 of 4, body 1, joint 10 (WristRight): "
                          "expected the joint's line (x, y, z, depth x, depth y, colour x, colour "
                          "y, orientation w, x, y, z, tracking state)")
        << 3;

    QTest::newRow("skeleton: seven bodies in a frame")
        << QStringLiteral("seven.skeleton")
        << "3\n" + skeletonFrame(0) + "7\n" + skeletonBody(personInFrame(1))
        << QStringLiteral("30: in frame 2 of 3: expected the body count (an integer from 0 to "
                          "6), found \"7\"")
        << 1;

    QTest::newRow("skeleton: a billion frames")
        << QStringLiteral("billion.skeleton") << "1000000000\n" + skeletonFrame(0)
        << QStringLiteral("1: expected the frame count (an integer from 0 to 1000000), found "
                          "\"1000000000\"")
        << 0;
}

void TestGlRecordingFaults::faultIsReportedAndTheProgramGoesOn()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, fault);
    QFETCH(int, framesPlayed);

    const QString path = m_dir.filePath(fileName);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), qint64(content.size()));
    }

    // The camera opens with the window: the one message comes then.
    QTest::ignoreMessage(QtWarningMsg,
        qPrintable(QStringLiteral("replay: %1:%2; replaying the %3 frames before it")
                       .arg(path, fault, QString::number(framesPlayed))));
    camera::SteppedClock clock;
    testkit::WindowWithSource fixture(std::make_shared<camera::ReplaySource>(path, clock.clock()));
    mainDialog &window = fixture.window();
    Kinect::Sensor &sensor = fixture.sensor();
    window.glWidget->setFixedSize(160, 120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.glWidget->isValid());

    // Every frame before the fault is captured; polling on past the end of
    // the recording finds nothing new.
    window.spatialCaptureCheck->setChecked(true);
    window.continuousCaptureCheck->setChecked(true);
    window.startRecordingCheck->setChecked(true);
    for (int i = 0; i < framesPlayed + 20; ++i) {
        sensor.updateSkeletonFrame();
        clock.advance(34ms);
    }
    QCOMPARE(sensor.continuousPositionCount(), framesPlayed);
    QCOMPARE(window.skeletonLabel->pixmap(Qt::ReturnByValue).isNull(), framesPlayed == 0);
    QCOMPARE(window.continuousMotionCheck->isChecked(), framesPlayed > 0);

    // The view draws what was captured, and key positions added afterwards.
    const QImage captured = window.glWidget->grabFramebuffer();
    QCOMPARE(changedPixels(captured, qRgb(0, 0, 0)) > 0, framesPlayed > 0);
    window.continuousMotionCheck->setChecked(false);
    sensor.addKeyPosition(pose(0, -0.5));
    sensor.addKeyPosition(pose(45, 0.0));
    sensor.addKeyPosition(pose(90, 0.5));
    window.screwCheck->setChecked(true);
    const QImage screw = window.glWidget->grabFramebuffer();
    QVERIFY(changedPixels(screw, qRgb(0, 0, 0)) > 100);
}

QTEST_MAIN(TestGlRecordingFaults)
#include "tst_gl_recording_faults.moc"
