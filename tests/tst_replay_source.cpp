// Replay of recorded body tracking: both file formats read exactly, every
// kind of bad input reported with file, line and what was expected, pacing,
// and the real recordings delivered frame by frame.

#include "sensor/sources/Clock.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"
#include "sensor/sources/SourceDevice.h"

#include <QBuffer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

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
                              "X, Y, Z and tracking state of each of 25 joints), found %1")
                   .arg(cut.count(',') + (cut.endsWith(',') ? 0 : 1));
        QTest::newRow("csv: a field too many")
            << QByteArray("csv") << good + csvLine(2000).replace(",\n", ",7,\n") << 1
            << "rec.csv:2: expected 101 comma-separated fields (a timestamp, then X, Y, Z and "
               "tracking state of each of 25 joints), found 102";
        QTest::newRow("csv: time goes back")
            << QByteArray("csv") << good + csvLine(900) << 1
            << "rec.csv:2: field 1: expected a timestamp later than 1000, found 900";
        QTest::newRow("csv: timestamp repeated")
            << QByteArray("csv") << good + csvLine(1000) << 1
            << "rec.csv:2: field 1: expected a timestamp later than 1000, found 1000";
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
            << "rec.csv:2: expected 101 comma-separated fields (a "
               "timestamp, then X, Y, Z and tracking state of each "
               "of 25 joints), found 2";
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
