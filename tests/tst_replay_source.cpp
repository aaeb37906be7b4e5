// Recorded body tracking: both file formats read exactly, handmotion's own
// recordings written and read back bit for bit, every kind of bad input
// reported with file, line and what was expected, a recording cut short by a
// full disk or a vanished folder, pacing, and the real recordings delivered
// frame by frame.

#include "sensor/BodyFrameRecorder.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/RecordingWriter.h"
#include "sensor/sources/ReplaySource.h"
#include "sensor/sources/SourceDevice.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/FailingTargetDirectory.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

using camera::Recording;
using namespace std::chrono_literals;

namespace {

// Joint j of a synthetic body: distinct, exactly representable coordinates.
float jointX(int j) { return -0.5f + 0.03125f * float(j); }
float jointY(int j) { return 0.75f - 0.0625f * float(j); }
float jointZ(int j) { return 2.0f + 0.0078125f * float(j); }

// Exactly the float, in as few digits as it takes.
QByteArray text(float value) { return QByteArray::number(double(value), 'g', 9); }

QByteArray csvLine(qint64 timestamp, int trackingState = 2)
{
    QByteArray line = QByteArray::number(timestamp) + ',';
    for (int j = 0; j < JointType_Count; ++j) {
        line += text(jointX(j)) + ',' + text(jointY(j)) + ',' + text(jointZ(j)) + ','
            + QByteArray::number(trackingState) + ',';
    }
    return line + '\n';
}

// A line of handmotion's own layout: the plain line, then the four added
// fields.
QByteArray ownLine(qint64 timestamp, const QByteArray &added)
{
    return csvLine(timestamp).replace(",\n", "," + added + ",\n");
}

QByteArray skeletonBody(const QByteArray &bodyLine, int jointLines = JointType_Count)
{
    QByteArray lines = bodyLine + "\n25\n";
    for (int j = 0; j < jointLines; ++j) {
        lines += text(jointX(j)) + ' ' + text(jointY(j)) + ' ' + text(jointZ(j))
            + " 250.5 200.25 960.1 540.2 0.9 0.1 0.2 0.3 " + QByteArray::number(j % 3) + '\n';
    }
    return lines;
}

const QByteArray bodyLine = "72057594037928123 0 1 3 0 2 0 0.125 -0.25 2";

QByteArray skeletonFrame(int bodies)
{
    QByteArray text = QByteArray::number(bodies) + '\n';
    for (int b = 0; b < bodies; ++b)
        text += skeletonBody(bodyLine);
    return text;
}

Recording read(const QByteArray &format, const QByteArray &content)
{
    QByteArray data = content;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return format == "csv" ? camera::readCsvRecording(buffer, QStringLiteral("rec.csv"))
                           : camera::readSkeletonRecording(buffer, QStringLiteral("rec.skeleton"));
}

void compareSyntheticJoints(const camera::Body &body, bool statesFromIndex)
{
    for (int j = 0; j < JointType_Count; ++j) {
        const Joint &joint = body.joints[std::size_t(j)];
        QCOMPARE(int(joint.JointType), j);
        QCOMPARE(joint.Position.X, jointX(j));
        QCOMPARE(joint.Position.Y, jointY(j));
        QCOMPARE(joint.Position.Z, jointZ(j));
        QCOMPARE(int(joint.TrackingState), statesFromIndex ? j % 3 : 2);
    }
}

QString recordingsDir() { return QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv"); }

} // namespace

// The frames a recording holds, as the replay source hands them out.
std::vector<camera::BodyFrame> replayedFrames(const QString &path)
{
    camera::SteppedClock clock;
    camera::ReplaySource source(path, clock.clock());
    std::vector<camera::BodyFrame> frames;
    if (!source.open())
        return frames;
    clock.advance(std::chrono::hours(24));
    for (std::int64_t k = 0; k <= source.latestBodyFrame(); ++k) {
        frames.emplace_back();
        source.bodyFrame(k, frames.back());
    }
    return frames;
}

// Where two frames differ, bit for bit ("" when they do not); a NaN matches
// any NaN.
QString difference(const camera::BodyFrame &a, const camera::BodyFrame &b)
{
    const auto sameFloat = [](float x, float y) {
        return (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0;
    };
    if (a.relativeTime != b.relativeTime)
        return QStringLiteral("time %1, %2").arg(a.relativeTime).arg(b.relativeTime);
    for (int slot = 0; slot < BODY_COUNT; ++slot) {
        const camera::Body &x = a.bodies[std::size_t(slot)];
        const camera::Body &y = b.bodies[std::size_t(slot)];
        if (x.tracked != y.tracked)
            return QStringLiteral("slot %1 tracked").arg(slot);
        if (!x.tracked)
            continue;
        if (x.trackingId != y.trackingId || x.handLeftState != y.handLeftState
            || x.handRightState != y.handRightState)
            return QStringLiteral("slot %1 id or hands").arg(slot);
        for (int j = 0; j < JointType_Count; ++j) {
            const Joint &p = x.joints[std::size_t(j)];
            const Joint &q = y.joints[std::size_t(j)];
            if (p.JointType != q.JointType || p.TrackingState != q.TrackingState
                || !sameFloat(p.Position.X, q.Position.X) || !sameFloat(p.Position.Y, q.Position.Y)
                || !sameFloat(p.Position.Z, q.Position.Z))
                return QStringLiteral("slot %1 joint %2").arg(slot).arg(j);
        }
    }
    return QString();
}

// Frames that use every part of the layout: hand states, several bodies in
// any slots, a frame without bodies, joints without a position, and floats
// from the smallest to the largest.
std::vector<camera::BodyFrame> framesOfEveryKind()
{
    std::vector<camera::BodyFrame> frames(6);
    for (std::size_t k = 0; k < frames.size(); ++k)
        frames[k].relativeTime = TIMESPAN(k) * 333333 + TIMESPAN(k * k);
    frames[0].bodies[0] = camera::DemoOperator::body(100);
    frames[0].bodies[0].trackingId = 42;
    frames[1].bodies[1] = camera::DemoOperator::body(101);
    frames[1].bodies[4] = camera::DemoOperator::body(900);
    frames[1].bodies[4].trackingId = 72057594037928123ull;
    frames[1].bodies[4].handLeftState = HandState_Lasso;
    frames[1].bodies[4].handRightState = HandState_NotTracked;
    // frames[2]: nobody tracked.
    camera::Body &odd = frames[3].bodies[2];
    odd = camera::DemoOperator::body(102);
    for (JointType j : { JointType_HandRight, JointType_HandTipRight, JointType_ThumbRight }) {
        odd.joints[j].Position = { std::numeric_limits<float>::quiet_NaN(),
            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN() };
        odd.joints[j].TrackingState = TrackingState_NotTracked;
    }
    odd.joints[0].Position
        = { std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::max(), -0.0f };
    odd.joints[1].Position = { std::numeric_limits<float>::min(), -1e-30f, 0.1f };
    frames[4].bodies[0] = camera::DemoOperator::body(1700);
    frames[5].bodies[5] = camera::DemoOperator::body(1701);
    return frames;
}

class ReplaySourceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void csvIsReadExactly()
    {
        const Recording recording = read("csv", csvLine(1000) + csvLine(334333) + csvLine(1000000));
        QVERIFY2(recording.error.isEmpty(), qPrintable(recording.error));
        QCOMPARE(recording.frames.size(), std::size_t(3));
        QCOMPARE(recording.frames[0].dueNanoseconds, std::int64_t(0));
        QCOMPARE(recording.frames[1].dueNanoseconds, std::int64_t(33333300));
        QCOMPARE(recording.frames[2].dueNanoseconds, std::int64_t(99900000));
        QCOMPARE(recording.frames[0].bodyCount, 1);
        const camera::Body &body = recording.bodies[0];
        QVERIFY(body.tracked);
        QCOMPARE(body.handLeftState, HandState_Unknown);
        QCOMPARE(body.handRightState, HandState_Unknown);
        compareSyntheticJoints(body, false);
    }

    // What handmotion records replays bit for bit; and a reader of the plain
    // layout, which passes over the added fields, reads the same joints.
    void ownRecordingsReadBackExactly()
    {
        const std::vector<camera::BodyFrame> frames = framesOfEveryKind();
        QByteArray text;
        for (const camera::BodyFrame &frame : frames)
            camera::appendCsvRecordingLines(text, frame, 5000 + frame.relativeTime);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("own.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        file.close();
        const QString error = camera::readRecording(path).error;
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const std::vector<camera::BodyFrame> replayed = replayedFrames(path);
        QCOMPARE(replayed.size(), frames.size());
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const QString diff = difference(replayed[k], frames[k]);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("frame %1: %2").arg(k).arg(diff)));
        }

        QByteArray plain;
        for (const QByteArray &line : text.split('\n')) {
            if (!line.isEmpty() && !line.endsWith(",-1,0,"))
                plain += line.split(',').mid(0, 101).join(',') + ",\n";
        }
        const Recording plainRecording = read("csv", plain);
        QVERIFY2(plainRecording.error.isEmpty(), qPrintable(plainRecording.error));
        std::size_t body = 0;
        for (const camera::BodyFrame &frame : frames) {
            for (const camera::Body &recorded : frame.bodies) {
                if (!recorded.tracked)
                    continue;
                camera::BodyFrame one, again;
                one.bodies[0] = recorded;
                again.bodies[0] = plainRecording.bodies[body++];
                again.bodies[0].trackingId = recorded.trackingId;
                again.bodies[0].handLeftState = recorded.handLeftState;
                again.bodies[0].handRightState = recorded.handRightState;
                const QString diff = difference(one, again);
                QVERIFY2(diff.isEmpty(), qPrintable(diff));
            }
        }
        QCOMPARE(body, plainRecording.bodies.size());
    }

    // The recorder keeps every frame whole: on a full disk the file ends
    // with the last frame written whole, and a folder deleted under it, or
    // never there, is said; each with a message.
    void recorderKeepsWholeFramesWhenTheTargetFails()
    {
        const std::vector<camera::BodyFrame> frames = framesOfEveryKind();
        QString error;
        Kinect::BodyFrameRecorder recorder;
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("gone/rec.csv"));
        QVERIFY(!recorder.open(missing, &error));
        QVERIFY2(error.startsWith(QStringLiteral("Cannot record body frames to ") + missing),
            qPrintable(error));

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString inFolder = dir.filePath(QStringLiteral("folder/rec.csv"));
        QVERIFY(recorder.open(inFolder, &error));
        QVERIFY(recorder.append(frames[0], &error));
        QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).removeRecursively());
        camera::BodyFrame later = frames[1];
        bool stopped = false;
        for (int k = 0; k < 40 && !stopped; ++k) {
            later.relativeTime += 333333;
            stopped = !recorder.append(later, &error);
        }
        QVERIFY(stopped);
        QVERIFY(!recorder.isOpen());
        QVERIFY2(error.contains(QStringLiteral("the file is gone")), qPrintable(error));

        FailingTargetDirectory target;
        QVERIFY(target.isValid());
        if (!target.isSmallFileSystem())
            QSKIP(qPrintable(
                QStringLiteral("no small file system to fill (%1)").arg(target.mountError())));
        const QString full = target.filePath(QStringLiteral("rec.csv"));
        QVERIFY(recorder.open(full, &error));
        int written = 0;
        for (int k = 0; k < 1000 && recorder.append(frames[std::size_t(k) % 2], &error); ++k)
            ++written;
        QVERIFY2(error.contains(QStringLiteral("stopped"))
                && error.contains(QStringLiteral("the %1 frames before are kept").arg(written)),
            qPrintable(error));
        const Recording kept = camera::readRecording(full);
        QVERIFY2(kept.error.isEmpty(), qPrintable(kept.error));
        QCOMPARE(int(kept.frames.size()), written);
    }

    void skeletonIsReadExactly()
    {
        const Recording recording = read("skeleton",
            "3\r\n" + skeletonFrame(2).replace("\n", "\r\n") + skeletonFrame(0) + skeletonFrame(1));
        QVERIFY2(recording.error.isEmpty(), qPrintable(recording.error));
        QCOMPARE(recording.frames.size(), std::size_t(3));
        QCOMPARE(recording.frames[0].bodyCount, 2);
        QCOMPARE(recording.frames[1].bodyCount, 0);
        QCOMPARE(recording.frames[2].bodyCount, 1);
        QCOMPARE(recording.frames[1].dueNanoseconds, std::int64_t(33333333));
        QCOMPARE(recording.frames[2].dueNanoseconds, std::int64_t(66666666));
        QCOMPARE(recording.bodies.size(), std::size_t(3));
        for (const camera::Body &body : recording.bodies) {
            QVERIFY(body.tracked);
            QCOMPARE(body.trackingId, UINT64(72057594037928123ull));
            QCOMPARE(body.handLeftState, HandState_Closed);
            QCOMPARE(body.handRightState, HandState_Open);
            compareSyntheticJoints(body, true);
        }
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("framesKept");
        QTest::addColumn<QString>("message");

        const QByteArray good = csvLine(1000);
        QByteArray notNumber = csvLine(2000);
        notNumber.replace(",0.5625,", ",abc,"); // Y of joint 3
        QTest::newRow("csv: not a number") << QByteArray("csv") << good + notNumber << 1
                                           << "rec.csv:2: field 15 (Y of joint 3 (Head)): expected "
                                              "a finite number, found \"abc\"";
        QByteArray nan = csvLine(2000);
        nan.replace(",0.5625,", ",nan,");
        QTest::newRow("csv: NaN") << QByteArray("csv") << good + nan << 1
                                  << "rec.csv:2: field 15 (Y of joint 3 (Head)): expected a finite "
                                     "number, found \"nan\"";
        QByteArray inf = csvLine(2000);
        inf.replace(",0.5625,", ",-inf,");
        QTest::newRow("csv: infinity") << QByteArray("csv") << good + inf << 1
                                       << "rec.csv:2: field 15 (Y of joint 3 (Head)): expected a "
                                          "finite number, found \"-inf\"";
        const QByteArray cut = csvLine(2000).left(200);
        QTest::newRow("csv: ends mid-line")
            << QByteArray("csv") << good + cut << 1
            << QStringLiteral("rec.csv:2: expected 101 comma-separated fields (a timestamp, then "
                              "X, Y, Z and tracking state of each of 25 joints), or 105 (then "
                              "the left and right hand states, the body slot and its tracking "
                              "id), found %1")
                   .arg(cut.count(',') + (cut.endsWith(',') ? 0 : 1));
        QTest::newRow("csv: a field too many")
            << QByteArray("csv") << good + csvLine(2000).replace(",\n", ",7,\n") << 1
            << "rec.csv:2: expected 101 comma-separated fields (a timestamp, then X, Y, Z and "
               "tracking state of each of 25 joints), or 105 (then the left and right hand "
               "states, the body slot and its tracking id), found 102";
        QTest::newRow("csv: time goes back")
            << QByteArray("csv") << good + csvLine(900) << 1
            << "rec.csv:2: field 1: expected a timestamp of 1000 or later, found 900";
        QTest::newRow("csv: seven bodies at one time")
            << QByteArray("csv") << good.repeated(7) << 0
            << "rec.csv:7: field 1: a frame holds at most 6 bodies; expected a timestamp later "
               "than 1000";
        QTest::newRow("csv: hand state out of range")
            << QByteArray("csv") << good + ownLine(2000, "2,5,0,7") << 1
            << "rec.csv:2: field 103 (right hand state): expected 0 to 4, found \"5\"";
        QTest::newRow("csv: slot out of range")
            << QByteArray("csv") << good + ownLine(2000, "2,3,6,7") << 1
            << "rec.csv:2: field 104 (body slot): expected -1 (no body) or 0 to 5, found \"6\"";
        QTest::newRow("csv: slot taken twice")
            << QByteArray("csv") << good + ownLine(2000, "2,3,4,7") + ownLine(2000, "0,0,4,8") << 1
            << "rec.csv:3: field 104 (body slot): slot 4 holds a body of this frame already";
        QTest::newRow("csv: no body, and a body")
            << QByteArray("csv") << good + ownLine(2000, "0,0,-1,0") + ownLine(2000, "0,0,1,8") << 1
            << "rec.csv:3: field 1: a frame without bodies has one line; expected a timestamp "
               "later than 2000";
        QTest::newRow("csv: tracking id not a number")
            << QByteArray("csv") << good + ownLine(2000, "0,0,1,-8") << 1
            << "rec.csv:2: field 105 (tracking id): expected a non-negative integer, found \"-8\"";
        QTest::newRow("csv: negative timestamp")
            << QByteArray("csv") << csvLine(-5) << 0
            << "rec.csv:1: field 1: expected a timestamp (a non-negative integer), found \"-5\"";
        QTest::newRow("csv: tracking state out of range")
            << QByteArray("csv") << good + csvLine(2000, 3) << 1
            << "rec.csv:2: field 5 (tracking state of joint 0 (SpineBase)): expected a tracking "
               "state 0, 1 or 2, found \"3\"";
        QTest::newRow("csv: endless line")
            << QByteArray("csv") << good + QByteArray(100000, '1') << 1
            << "rec.csv:2: expected a line of at most 16384 characters, found a longer one";
        QTest::newRow("csv: binary junk")
            << QByteArray("csv") << good + QByteArray("\x01\xff\x00,,\n", 6) << 1
            << "rec.csv:2: expected 101 comma-separated fields (a timestamp, then X, Y, Z and "
               "tracking state of each of 25 joints), or 105 (then the left and right hand "
               "states, the body slot and its tracking id), found 2";
        QTest::newRow("csv: empty") << QByteArray("csv") << QByteArray() << 0 << QString();
        QTest::newRow("csv: CRLF, blank lines, no final line end")
            << QByteArray("csv")
            << good.left(good.size() - 1) + "\r\n\r\n" + csvLine(2000).trimmed() << 2 << QString();

        const QByteArray oneFrame = skeletonFrame(1);
        QTest::newRow("skeleton: ends mid-frame")
            << QByteArray("skeleton") << "3\n" + oneFrame + "1\n" + skeletonBody(bodyLine, 10) << 1
            << "rec.skeleton:43: the file ends in frame 2 of 3, body 1, joint 10 (WristRight): "
               "expected the joint's line (x, y, z, depth x, depth y, colour x, colour y, "
               "orientation w, x, y, z, tracking state)";
        QTest::newRow("skeleton: ends between frames")
            << QByteArray("skeleton") << "3\n" + oneFrame + oneFrame << 2
            << "rec.skeleton:58: the file ends in frame 3 of 3: expected the body count (an "
               "integer from 0 to 6)";
        QTest::newRow("skeleton: seven bodies")
            << QByteArray("skeleton") << "2\n" + oneFrame + "7\n" + skeletonBody(bodyLine) << 1
            << "rec.skeleton:30: in frame 2 of 2: expected the body count (an integer from 0 to "
               "6), found \"7\"";
        QTest::newRow("skeleton: a billion frames")
            << QByteArray("skeleton") << "1000000000\n" + oneFrame << 0
            << "rec.skeleton:1: expected the frame count (an integer from 0 to 1000000), found "
               "\"1000000000\"";
        QTest::newRow("skeleton: frame count beyond int")
            << QByteArray("skeleton") << "99999999999999999999\n" + oneFrame << 0
            << "rec.skeleton:1: expected the frame count (an integer from 0 to 1000000), found "
               "\"99999999999999999999\"";
        QTest::newRow("skeleton: joint count")
            << QByteArray("skeleton")
            << "1\n1\n" + skeletonBody(bodyLine).replace("\n25\n", "\n24\n") << 0
            << "rec.skeleton:4: in frame 1 of 1, body 1: expected the joint count 25, found \"24\"";
        QByteArray shortJoint = skeletonBody(bodyLine);
        shortJoint.replace(" 0.9 0.1 0.2 0.3 0\n", " 0.9 0.1 0.2 0\n");
        QTest::newRow("skeleton: joint line too short")
            << QByteArray("skeleton") << "2\n" + oneFrame + "1\n" + shortJoint << 1
            << "rec.skeleton:33: in frame 2 of 2, body 1, joint 0 (SpineBase): expected the "
               "joint's line (x, y, z, depth x, depth y, colour x, colour y, orientation w, x, y, "
               "z, tracking state): 12 fields, found 11";
        QByteArray badZ = skeletonBody(bodyLine);
        badZ.replace(" 2.0078125 ", " 2,0 ");
        QTest::newRow("skeleton: not a number")
            << QByteArray("skeleton") << "1\n1\n" + badZ << 0
            << "rec.skeleton:6: in frame 1 of 1, body 1, joint 1 (SpineMid): field 3 (z): "
               "expected a finite number in metres, found \"2,0\"";
        QByteArray nanX = skeletonBody(bodyLine);
        nanX.replace("-0.5 0.75 2 ", "NaN 0.75 2 ");
        QTest::newRow("skeleton: NaN position")
            << QByteArray("skeleton") << "1\n1\n" + nanX << 0
            << "rec.skeleton:5: in frame 1 of 1, body 1, joint 0 (SpineBase): field 1 (x): "
               "expected a finite number in metres, found \"NaN\"";
        QTest::newRow("skeleton: hand state out of range")
            << QByteArray("skeleton")
            << "1\n1\n" + skeletonBody("72057594037928123 0 1 5 0 2 0 0.125 -0.25 2") << 0
            << "rec.skeleton:3: in frame 1 of 1, body 1: field 4 (left-hand state): expected an "
               "integer from 0 to 4, found \"5\"";
        QTest::newRow("skeleton: tracking id negative")
            << QByteArray("skeleton") << "1\n1\n" + skeletonBody("-1 0 1 3 0 2 0 0.125 -0.25 2")
            << 0
            << "rec.skeleton:3: in frame 1 of 1, body 1: field 1 (tracking id): expected an "
               "unsigned 64-bit integer, found \"-1\"";
        QTest::newRow("skeleton: body line too long")
            << QByteArray("skeleton") << "1\n1\n" + skeletonBody(bodyLine + " 9") << 0
            << "rec.skeleton:3: in frame 1 of 1, body 1: expected the body's line (tracking id, "
               "clipped edges, left-hand confidence, left-hand state, right-hand confidence, "
               "right-hand state, restricted, lean x, lean y, tracking state): 10 fields, found 11";
        QTest::newRow("skeleton: more than announced")
            << QByteArray("skeleton") << "1\n" + oneFrame + oneFrame << 1
            << "rec.skeleton:30: expected the end of the file after 1 frames, found more";
        QTest::newRow("skeleton: empty")
            << QByteArray("skeleton") << QByteArray() << 0
            << "rec.skeleton:1: the file ends: expected the frame count (an integer from 0 to "
               "1000000)";
        QTest::newRow("skeleton: tabs, spaces and a final blank line")
            << QByteArray("skeleton") << "1\n" + QByteArray(oneFrame).replace(' ', "\t  ") + "\n\n"
            << 1 << QString();
    }

    void badInput()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, content);
        QFETCH(int, framesKept);
        QFETCH(QString, message);
        const Recording recording = read(format, content);
        QVERIFY(recording.readable);
        QCOMPARE(recording.error, message);
        QCOMPARE(int(recording.frames.size()), framesKept);
        int bodies = 0;
        for (const Recording::Frame &frame : recording.frames) {
            QCOMPARE(frame.firstBody, bodies);
            bodies += frame.bodyCount;
        }
        QCOMPARE(int(recording.bodies.size()), bodies);
    }

    void replayPlaysOnceAtTheRecordedPace()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("walk.csv"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(csvLine(5000) + csvLine(338333) + csvLine(1005000));
        file.close();

        camera::SteppedClock clock;
        camera::ReplaySource source(path, clock.clock());
        QVERIFY(source.open());
        QCOMPARE(source.latestBodyFrame(), std::int64_t(0));
        QCOMPARE(source.timeToNextBodyFrame(), 33333300ns);
        clock.advance(33333299ns);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(0));
        QCOMPARE(source.timeToNextBodyFrame(), 1ns);
        clock.advance(1ns);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(1));
        clock.advance(100ms);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(2));
        // Played to the end: nothing more falls due.
        QCOMPARE(source.timeToNextBodyFrame(), camera::Source::noFrameDue);
        clock.advance(std::chrono::hours(1));
        QCOMPARE(source.latestBodyFrame(), std::int64_t(2));
        QCOMPARE(source.latestColorFrame(), std::int64_t(-1));

        // Frames keep the recording's times, from its first frame on.
        camera::BodyFrame frame;
        source.bodyFrame(1, frame);
        QCOMPARE(frame.relativeTime, TIMESPAN(338333 - 5000));
        source.bodyFrame(2, frame);
        QCOMPARE(frame.relativeTime, TIMESPAN(1005000 - 5000));
        QVERIFY(frame.bodies[0].tracked);
        compareSyntheticJoints(frame.bodies[0], false);
        for (int slot = 1; slot < BODY_COUNT; ++slot)
            QVERIFY(!frame.bodies[std::size_t(slot)].tracked);
    }

    void faultIsReportedAndEarlierFramesPlay()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cut.skeleton"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("2\n" + skeletonFrame(1) + "1\n" + skeletonBody(bodyLine, 3));
        file.close();

        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(QStringLiteral("^replay: %1:36: the file ends in frame 2 of 2, "
                                              "body 1, joint 3 \\(Head\\): .*; replaying the 1 "
                                              "frames before it$")
                                   .arg(QRegularExpression::escape(path))));
        camera::SteppedClock clock;
        camera::ReplaySource source(path, clock.clock());
        QVERIFY(source.open());
        clock.advance(10s);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(0));
    }

    void unreadableFileIsNoCamera_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << QStringLiteral("missing.csv");
        QTest::newRow("a directory") << QStringLiteral("folder.skeleton");
    }

    void unreadableFileIsNoCamera()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.skeleton")));
        const QString path = dir.filePath(name);
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(QStringLiteral("^replay: %1: cannot open the recording: .+")
                                   .arg(QRegularExpression::escape(path))));
        camera::ReplaySource source(path);
        QVERIFY(!source.open());
    }

    void realRecordingsDeliverEveryFrame_data()
    {
        QTest::addColumn<QString>("path");
        const QDir dir(recordingsDir());
        const QStringList files
            = dir.entryList({ QStringLiteral("*.csv") }, QDir::Files, QDir::Name);
        if (files.isEmpty())
            QSKIP("The recordings are not here; nothing to replay.");
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << dir.filePath(file);
    }

    void realRecordingsDeliverEveryFrame()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');

        camera::SteppedClock clock;
        IKinectSensor *sensor = camera::createKinectSensor(
            std::make_shared<camera::ReplaySource>(path, clock.clock()));
        QCOMPARE(sensor->Open(), S_OK);
        IBodyFrameSource *bodySource = nullptr;
        IBodyFrameReader *reader = nullptr;
        QCOMPARE(sensor->get_BodyFrameSource(&bodySource), S_OK);
        QCOMPARE(bodySource->OpenReader(&reader), S_OK);

        // Poll every millisecond: frames are at least 25 ms apart, so each
        // one is delivered.
        int delivered = 0;
        for (int ms = 0; ms < 30000; ++ms, clock.advance(1ms)) {
            IBodyFrame *frame = nullptr;
            if (reader->AcquireLatestFrame(&frame) != S_OK)
                continue;
            IBody *bodies[BODY_COUNT] = {};
            QCOMPARE(frame->GetAndRefreshBodyData(BODY_COUNT, bodies), S_OK);
            Joint joints[JointType_Count];
            QCOMPARE(bodies[0]->GetJoints(JointType_Count, joints), S_OK);
            HandState handState = HandState_Closed;
            QCOMPARE(bodies[0]->get_HandLeftState(&handState), S_OK);
            QCOMPARE(handState, HandState_Unknown);
            // Each frame's joints are its line's numbers.
            const QList<QByteArray> fields = lines.value(delivered).split(',');
            QVERIFY(fields.size() >= 101);
            for (int j = 0; j < JointType_Count; ++j) {
                QCOMPARE(joints[j].Position.X,
                    float(std::strtod(fields[1 + 4 * j].constData(), nullptr)));
                QCOMPARE(joints[j].Position.Y,
                    float(std::strtod(fields[2 + 4 * j].constData(), nullptr)));
                QCOMPARE(joints[j].Position.Z,
                    float(std::strtod(fields[3 + 4 * j].constData(), nullptr)));
                QCOMPARE(int(joints[j].TrackingState), fields[4 + 4 * j].toInt());
            }
            for (IBody *body : bodies)
                body->Release();
            frame->Release();
            ++delivered;
        }
        QCOMPARE(delivered, lines.size());
        reader->Release();
        bodySource->Release();
        sensor->Release();
    }
};

QTEST_MAIN(ReplaySourceTest)
#include "tst_replay_source.moc"
