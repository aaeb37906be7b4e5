// The OSC body stream: packets read as written and refused whole when
// malformed, body frames assembled from the senders' layout, what is ignored
// reported at most once a second, the camera setting, and the source over
// real UDP, from an in-process sender and from oscsend.

#include "algebra/KeyPoseList.h"
#include "app/mainDialog.h"
#include "sensor/Sensor.h"
#include "sensor/sources/JointNames.h"
#include "sensor/sources/OscBodyAssembler.h"
#include "sensor/sources/OscSource.h"
#include "sensor/sources/OscWriter.h"
#include "sensor/sources/SourceDevice.h"
#include "tests/support/CameraTestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUdpSocket>
#include <QtTest>

#include <cmath>
#include <limits>
#include <numeric>
#include <thread>

using camera::Body;
using camera::BodyFrame;
using camera::OscBodyAssembler;
using camera::OscIgnored;
using std::chrono::nanoseconds;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(OscIgnored)

namespace {

// A body whose coordinates are exact in a float and short in decimal, with
// every tracking state, the left hand closed and the right in lasso.
Body exactBody(UINT64 id, int frame = 0)
{
    Body body;
    body.tracked = true;
    body.trackingId = id;
    body.handLeftState = HandState_Closed;
    body.handRightState = HandState_Lasso;
    for (int j = 0; j < JointType_Count; ++j) {
        Joint &joint = body.joints[std::size_t(j)];
        joint.JointType = JointType(j);
        joint.Position = CameraSpacePoint { -0.5f + 0.03125f * float(j + frame),
            0.75f - 0.0625f * float(j % 7), 2.0f + 0.0078125f * float(j % 5) };
        joint.TrackingState = TrackingState(j % 3);
    }
    return body;
}

// The first difference between two bodies, empty when there is none.
QString difference(const Body &a, const Body &e)
{
    if (a.tracked != e.tracked || a.trackingId != e.trackingId || a.handLeftState != e.handLeftState
        || a.handRightState != e.handRightState)
        return QStringLiteral("body %1 %2, hands %3 %4")
            .arg(a.tracked)
            .arg(a.trackingId)
            .arg(a.handLeftState)
            .arg(a.handRightState);
    for (int j = 0; j < JointType_Count; ++j) {
        const Joint &p = a.joints[std::size_t(j)];
        const Joint &q = e.joints[std::size_t(j)];
        if (p.JointType != q.JointType || p.Position.X != q.Position.X
            || p.Position.Y != q.Position.Y || p.Position.Z != q.Position.Z
            || p.TrackingState != q.TrackingState)
            return QStringLiteral("joint %1").arg(camera::jointNames[j]);
    }
    return QString();
}

// An assembler and the frames it handed out.
struct Assembly {
    std::vector<BodyFrame> frames;
    OscBodyAssembler assembler { [this](const BodyFrame &frame) { frames.push_back(frame); } };

    void send(const std::vector<std::string> &packets, nanoseconds time)
    {
        for (const std::string &packet : packets)
            assembler.packet(packet.data(), packet.size(), time);
    }
};

std::string message(const std::string &address, const std::vector<camera::OscArgument> &arguments)
{
    return camera::oscMessage(address, arguments);
}

camera::OscEndpoint loopbackPort(quint16 port)
{
    camera::OscEndpoint endpoint;
    endpoint.port = port;
    return endpoint;
}

// Loopback, on a port the system chooses.
camera::OscEndpoint anyLoopbackPort() { return loopbackPort(0); }

QString oscsend() { return QStandardPaths::findExecutable(QStringLiteral("oscsend")); }

// Exactly the float, in few digits (every coordinate here is a short binary
// fraction).
QString text(float value) { return QString::number(double(value), 'g', 9); }

// The receiver's report lines, from any thread.
QMutex reportMutex;
QStringList reports;
QtMessageHandler otherMessages = nullptr;
void collectReports(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && text.startsWith(QLatin1String("OSC: ignored"))) {
        QMutexLocker lock(&reportMutex);
        reports << text;
    } else {
        otherMessages(type, context, text);
    }
}

QString allReports()
{
    QMutexLocker lock(&reportMutex);
    return reports.join(QLatin1Char('\n'));
}

} // namespace

class OscTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void packetsAreReadAsWritten()
    {
        camera::OscArgument wide;
        wide.type = 'h';
        wide.integer = -(std::int64_t(1) << 40);
        camera::OscArgument flag;
        flag.type = 'T';
        const std::string everything = message("/all/types",
            { camera::oscInt(-2), camera::oscFloat(0.1f), camera::oscDouble(-1e300),
                camera::oscString("abc"), camera::oscBlob(std::string("\0\1\2\3\4", 5)), wide, flag,
                camera::oscString("") });
        camera::OscPacketParser parser;
        QVERIFY2(parser.parse(everything.data(), everything.size()), parser.error());
        QCOMPARE(parser.messageCount(), std::size_t(1));
        const camera::OscMessage &m = parser.message(0);
        QCOMPARE(m.address, std::string_view("/all/types"));
        QCOMPARE(m.typeTags, std::string_view("ifdsbhTs"));
        QCOMPARE(m.arguments[0].integer, std::int64_t(-2));
        QCOMPARE(m.arguments[1].number, double(0.1f));
        QCOMPARE(m.arguments[2].number, -1e300);
        QCOMPARE(m.arguments[3].bytes, std::string_view("abc"));
        QCOMPARE(m.arguments[4].bytes, std::string_view("\0\1\2\3\4", 5));
        QCOMPARE(m.arguments[5].integer, wide.integer);
        QCOMPARE(m.arguments[7].bytes, std::string_view(""));

        // A message without type tags (as old senders send) has no arguments.
        QVERIFY2(parser.parse("/5>\0", 4), parser.error());
        QCOMPARE(parser.message(0).typeTags, std::string_view());

        // Bundles within bundles come out in order; an empty one adds nothing.
        const std::string nested = camera::oscBundle({ message("/a", {}),
            camera::oscBundle({ message("/b", {}), camera::oscBundle({}), message("/c", {}) }),
            message("/d", {}) });
        QVERIFY2(parser.parse(nested.data(), nested.size()), parser.error());
        QCOMPARE(parser.messageCount(), std::size_t(4));
        for (std::size_t i = 0; i < 4; ++i)
            QCOMPARE(parser.message(i).address, std::string_view(&"/a\0/b\0/c\0/d"[3 * i], 2));
    }

    void malformedPacketsAreRefusedWhole_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("error");
        const std::string good = message("/bodies/1/hands/Left", { camera::oscString("Open") });
        const auto bytes = [](const std::string &s) { return QByteArray(s.data(), int(s.size())); };
        QTest::newRow("empty") << QByteArray() << "an empty packet";
        QTest::newRow("size not a multiple of 4")
            << bytes(good).append('\0') << "a packet whose size is not a multiple of 4";
        QTest::newRow("neither message nor bundle")
            << QByteArray("abc\0", 4)
            << "neither a message (an address starting with '/') "
               "nor a bundle";
        QTest::newRow("address without terminator")
            << QByteArray("/abc") << "an address without its terminating zero";
        QTest::newRow("type tags without ','")
            << QByteArray("/a\0\0fff\0", 8) << "type tags that do not start with ','";
        QTest::newRow("unknown type tag") << QByteArray("/a\0\0,q\0\0", 8) << "an unknown type tag";
        QTest::newRow("argument cut short")
            << QByteArray("/a\0\0,ff\0\0\0\0\0", 12) << "an argument cut short";
        QTest::newRow("blob past the end") << QByteArray("/a\0\0,b\0\0\0\0\0\x09xxxx", 16)
                                           << "a blob longer than what is left of the message";
        QTest::newRow("more than 64 arguments")
            << bytes(message("/a", std::vector<camera::OscArgument>(65, camera::oscInt(1))))
            << "a message with more than 64 arguments";
        std::string elementPastEnd = camera::oscBundle({ good });
        elementPastEnd[19] = char(elementPastEnd[19] + 4);
        QTest::newRow("bundle element past the end")
            << bytes(elementPastEnd)
            << "a bundle element whose size is 0, not a multiple of 4 or past the end";
        QTest::newRow("good message, then a broken one")
            << bytes(camera::oscBundle({ good, std::string("/a\0\0,x\0\0", 8) }))
            << "an unknown type tag";
        std::string deep = good;
        for (int depth = 0; depth < camera::maxOscBundleDepth + 1; ++depth)
            deep = camera::oscBundle({ deep });
        QTest::newRow("bundles nested 9 deep") << bytes(deep) << "bundles nested more than 8 deep";
        QTest::newRow("over 64 KiB")
            << bytes(message("/a", { camera::oscBlob(std::string(65536, 'x')) }))
            << "a packet larger than 65536 bytes";
    }

    void malformedPacketsAreRefusedWhole()
    {
        QFETCH(QByteArray, packet);
        QFETCH(QString, error);
        camera::OscPacketParser parser;
        QVERIFY(!parser.parse(packet.constData(), std::size_t(packet.size())));
        QCOMPARE(QString::fromLatin1(parser.error()), error);
        QCOMPARE(parser.messageCount(), std::size_t(0));

        // Eight deep is within bounds.
        std::string eight = message("/a", {});
        for (int depth = 0; depth < camera::maxOscBundleDepth; ++depth)
            eight = camera::oscBundle({ eight });
        QVERIFY2(parser.parse(eight.data(), eight.size()), parser.error());
    }

    void oneBodyGivesExactlyItsFrame_data()
    {
        QTest::addColumn<bool>("withStates");
        QTest::addColumn<bool>("bundled");
        QTest::newRow(",fffs joints, one datagram each") << true << false;
        QTest::newRow(",fff joints (older senders)") << false << false;
        QTest::newRow("all in one bundle") << true << true;
    }

    void oneBodyGivesExactlyItsFrame()
    {
        QFETCH(bool, withStates);
        QFETCH(bool, bundled);
        Body body = exactBody(18446744073709551615ull);
        std::vector<std::string> packets = camera::oscBodyMessages(body, withStates);
        if (bundled)
            packets = { camera::oscBundle(packets) };
        if (!withStates) {
            for (Joint &joint : body.joints)
                joint.TrackingState = TrackingState_Tracked;
        }
        Assembly assembly;
        assembly.send(packets, 0ns);
        QCOMPARE(assembly.frames.size(), std::size_t(1));
        const QString diff = difference(assembly.frames[0].bodies[0], body);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        for (int slot = 1; slot < BODY_COUNT; ++slot)
            QVERIFY(!assembly.frames[0].bodies[std::size_t(slot)].tracked);
        QCOMPARE(*assembly.assembler.slotId(0), body.trackingId);
    }

    // Bodies come, stay and go over a stream at 30 Hz; every body frame sent
    // comes out exactly once, in order, each body in the same slot while it
    // stays, camera frames come out whole once the set of bodies holds, and
    // a seventh body finds no slot.
    void bodiesKeepTheirSlotsAndNoFrameIsLost()
    {
        Assembly assembly;
        // The bodies in each camera frame, in the order the sender sends them.
        std::vector<std::vector<UINT64>> script;
        for (int f = 0; f < 60; ++f) {
            std::vector<UINT64> ids = { 101 };
            if (f >= 3 && f < 30)
                ids.push_back(102); // comes, then goes
            if (f >= 10)
                ids.push_back(103);
            if (f >= 50)
                ids.push_back(104); // after 102's slot came free
            if (f >= 55)
                ids.insert(ids.end(), { 105, 106, 107, 108 });
            script.push_back(ids);
        }
        std::map<UINT64, int> slotOf;
        std::map<UINT64, std::vector<int>> framesOf;
        std::size_t handledFrames = 0;
        for (std::size_t f = 0; f < script.size(); ++f) {
            const nanoseconds start = 33333333ns * std::int64_t(f);
            for (const UINT64 id : script[f])
                assembly.send(camera::oscBodyMessages(exactBody(id, int(f))), start);
            // The receiver's timer.
            assembly.assembler.advanceTo(start + 20ms);
            for (; handledFrames < assembly.frames.size(); ++handledFrames) {
                const BodyFrame &frame = assembly.frames[handledFrames];
                for (int slot = 0; slot < BODY_COUNT; ++slot) {
                    const Body &body = frame.bodies[std::size_t(slot)];
                    if (!body.tracked)
                        continue;
                    if (!slotOf.count(body.trackingId))
                        slotOf[body.trackingId] = slot;
                    QCOMPARE(slot, slotOf[body.trackingId]);
                    // The frame number rides in the joints' x.
                    const int sentFrame
                        = int(std::lround((body.joints[0].Position.X + 0.5f) / 0.03125f));
                    framesOf[body.trackingId].push_back(sentFrame);
                }
            }
            if (f == 29)
                QCOMPARE(*assembly.assembler.slotId(1), UINT64(102));
            if (f >= 45 && f < 50)
                QVERIFY(!assembly.assembler.slotId(1)); // 102 silent for 0.5 s
            // Once the set of bodies has held for a frame, each camera frame
            // comes out whole, at once.
            if (f == 20 || f == 40 || f == 59) {
                const BodyFrame &last = assembly.frames.back();
                QCOMPARE(int(std::count_if(last.bodies.begin(), last.bodies.end(),
                             [](const Body &b) { return b.tracked; })),
                    std::min(int(script[f].size()), BODY_COUNT));
            }
        }
        QCOMPARE(slotOf[104], 1);
        const auto run = [](int first, int end) {
            std::vector<int> frames;
            for (int f = first; f < end; ++f)
                frames.push_back(f);
            return frames;
        };
        QCOMPARE(framesOf[101], run(0, 60));
        QCOMPARE(framesOf[102], run(3, 30));
        QCOMPARE(framesOf[103], run(10, 60));
        QCOMPARE(framesOf[104], run(50, 60));
        QCOMPARE(framesOf[107], run(55, 60));
        QVERIFY(framesOf[108].empty());
        QCOMPARE(assembly.assembler.tally().total(OscIgnored::NoFreeSlot),
            std::uint64_t(5 * (JointType_Count + 2)));
    }

    // Senders without hand messages: a repeated joint ends the frame, and
    // a joint missing from a frame keeps its last place, not tracked.
    void repeatedJointEndsTheFrame()
    {
        Assembly assembly;
        for (int f = 0; f < 3; ++f) {
            std::vector<std::string> joints = camera::oscBodyMessages(exactBody(5, f));
            joints.resize(JointType_Count);
            if (f == 1)
                joints.erase(joints.begin() + JointType_ElbowLeft);
            assembly.send(joints, 33ms * f);
            assembly.assembler.advanceTo(33ms * f + 20ms);
        }
        QCOMPARE(assembly.frames.size(), std::size_t(2));
        const Body &second = assembly.frames[1].bodies[0];
        QCOMPARE(second.handLeftState, HandState_Unknown);
        const Joint &elbow = second.joints[JointType_ElbowLeft];
        QCOMPARE(elbow.Position.X, exactBody(5, 0).joints[JointType_ElbowLeft].Position.X);
        QCOMPARE(elbow.TrackingState, TrackingState_NotTracked);
        QCOMPARE(second.joints[JointType_WristLeft].Position.X,
            exactBody(5, 1).joints[JointType_WristLeft].Position.X);
    }

    void badInputIsIgnoredAndCounted_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<OscIgnored>("kind");
        const auto bytes = [](const std::string &s) { return QByteArray(s.data(), int(s.size())); };
        const auto joint
            = [&](const std::string &address, const std::vector<camera::OscArgument> &arguments) {
                  return bytes(message(address, arguments));
              };
        const float nan = std::numeric_limits<float>::quiet_NaN();
        using camera::oscFloat;
        using camera::oscString;
        const std::vector<camera::OscArgument> position
            = { oscFloat(1), oscFloat(2), oscFloat(3), oscString("Tracked") };
        QTest::newRow("unknown address")
            << joint("/body/9/joints/Head", position) << OscIgnored::UnknownAddress;
        QTest::newRow("tracking id not a number")
            << joint("/bodies/9a/joints/Head", position) << OscIgnored::UnknownAddress;
        QTest::newRow("tracking id beyond 64 bits")
            << joint("/bodies/18446744073709551616/joints/Head", position)
            << OscIgnored::UnknownAddress;
        QTest::newRow("unknown hand")
            << joint("/bodies/9/hands/Middle", { oscString("Open"), oscString("High") })
            << OscIgnored::UnknownAddress;
        QTest::newRow("unknown joint name")
            << joint("/bodies/9/joints/Tail", position) << OscIgnored::UnknownJoint;
        QTest::newRow("joint as integers") << joint(
            "/bodies/9/joints/Head", { camera::oscInt(1), camera::oscInt(2), camera::oscInt(3) })
                                           << OscIgnored::WrongTypeTags;
        QTest::newRow("NaN") << joint(
            "/bodies/9/joints/Head", { oscFloat(nan), oscFloat(0), oscFloat(2) })
                             << OscIgnored::BadValue;
        QTest::newRow("unknown tracking state") << joint(
            "/bodies/9/joints/Head", { oscFloat(0), oscFloat(0), oscFloat(2), oscString("Maybe") })
                                                << OscIgnored::BadValue;
        QTest::newRow("unknown hand state")
            << joint("/bodies/9/hands/Right", { oscString("Waving"), oscString("High") })
            << OscIgnored::BadValue;
        QTest::newRow("malformed packet") << QByteArray("/bodies/9/joints/Head\0\0\0,fff\0\0\0\0",
            32) << OscIgnored::MalformedPacket;
        QTest::newRow("over 64 KiB") << QByteArray(70000, '\0') << OscIgnored::OversizedPacket;
    }

    // A bad message amid a body's messages changes nothing of its frame.
    void badInputIsIgnoredAndCounted()
    {
        QFETCH(QByteArray, packet);
        QFETCH(OscIgnored, kind);
        const Body body = exactBody(9);
        std::vector<std::string> packets = camera::oscBodyMessages(body);
        packets.insert(packets.begin() + JointType_Neck,
            std::string(packet.constData(), std::size_t(packet.size())));
        packets.insert(packets.end() - 1, packets[std::size_t(JointType_Neck)]);
        Assembly assembly;
        assembly.send(packets, 0ns);
        QCOMPARE(assembly.frames.size(), std::size_t(1));
        const QString diff = difference(assembly.frames[0].bodies[0], body);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        QCOMPARE(assembly.assembler.tally().total(kind), std::uint64_t(2));
    }

    void ignoredInputIsReportedAtMostOncePerSecond()
    {
        camera::IgnoredInputTally tally;
        QVERIFY(!tally.reportDue());
        tally.add(OscIgnored::MalformedPacket, "an empty packet");
        QCOMPARE(QString::fromStdString(tally.takeReport(5s)),
            QStringLiteral("OSC: ignored since the last report: 1 malformed packets (last: an "
                           "empty packet)"));
        for (int i = 0; i < 1000; ++i)
            tally.add(OscIgnored::UnknownAddress, i == 999 ? "/last" : "/other");
        tally.add(OscIgnored::DroppedFrame);
        QCOMPARE(*tally.reportDue(), nanoseconds(6s));
        QVERIFY(tally.takeReport(6s - 1ns).empty());
        QCOMPARE(QString::fromStdString(tally.takeReport(6s)),
            QStringLiteral("OSC: ignored since the last report: 1000 messages to an unknown "
                           "address (last: /last); 1 body frames dropped because they were not "
                           "taken in time"));
        QVERIFY(!tally.reportDue());
        QCOMPARE(tally.total(OscIgnored::UnknownAddress), std::uint64_t(1000));
    }

    void settings_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error");
        QTest::newRow("default") << "osc"
                                 << "127.0.0.1" << 12345 << QString();
        QTest::newRow("port") << "osc:9000"
                              << "127.0.0.1" << 9000 << QString();
        QTest::newRow("the network") << "osc:0.0.0.0:12345"
                                     << "0.0.0.0" << 12345 << QString();
        QTest::newRow("IPv6 in brackets") << "osc:[::1]:7000"
                                          << "::1" << 7000 << QString();
        QTest::newRow("IPv6 bare") << "osc:fe80::1:7000"
                                   << "fe80::1" << 7000 << QString();
        QTest::newRow("no port") << "osc:" << QString() << 0 << "the port must be a number";
        QTest::newRow("port too large") << "osc:65536" << QString() << 0 << "from 0 to 65535";
        QTest::newRow("host name") << "osc:localhost:80" << QString() << 0
                                   << "\"localhost\" is not an IPv4 or IPv6 address";
        QTest::newRow("five numbers") << "osc:1.2.3.4.5:80" << QString() << 0
                                      << "\"1.2.3.4.5\" is not an IPv4 or IPv6 address";
        QTest::newRow("another word") << "oscar" << QString() << 0 << "unknown camera source";
    }

    void settings()
    {
        QFETCH(QString, setting);
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(QString, error);
        camera::OscEndpoint endpoint;
        QString message;
        QCOMPARE(camera::readOscSetting(setting, endpoint, message), error.isEmpty());
        QCOMPARE(camera::cameraSettingError(setting).isEmpty(), error.isEmpty());
        if (error.isEmpty()) {
            QCOMPARE(endpoint.address, QHostAddress(address));
            QCOMPARE(int(endpoint.port), port);
        } else {
            QVERIFY2(message.contains(error), qPrintable(message));
        }
    }

    // Through the window: the colour view says there are no pictures, the
    // skeleton view draws, and a frame of a known body gives exactly the pose
    // of its right hand.
    void windowShowsTheStream()
    {
        auto source = std::make_shared<camera::OscSource>(anyLoopbackPort());
        QTest::ignoreMessage(QtInfoMsg,
            QRegularExpression(QStringLiteral("^OSC: listening for body frames on UDP "
                                              "127\\.0\\.0\\.1:[1-9][0-9]*$")));
        support::WindowWithSource fixture(source);
        Kinect::mainDialog &window = fixture.window();
        QCOMPARE(window.colorLabel->text(), QStringLiteral("No colour stream from the OSC source"));
        window.continuousCaptureCheck->setChecked(true);
        window.spatialCaptureCheck->setChecked(true);

        const Body body = support::standingBody(HandState_Closed);
        QUdpSocket socket;
        for (const std::string &packet : camera::oscBodyMessages(body))
            socket.writeDatagram(packet.data(), qint64(packet.size()), QHostAddress::LocalHost,
                source->listeningPort());
        QTRY_COMPARE(source->waitingFrames(), std::size_t(1));
        fixture.sensor().updateSkeletonFrame();
        QCOMPARE(fixture.sensor().continuousPositionCount(), 1);

        KeyPoseList expected;
        const auto point = [&](JointType type) {
            const CameraSpacePoint &p = body.joints[std::size_t(type)].Position;
            return QVector3D(p.X, p.Y, p.Z);
        };
        expected.appendFromPoints(point(JointType_HandRight), point(JointType_HandTipRight),
            point(JointType_ThumbRight), PoseModeSpatial);
        const DualQuaternion pose = fixture.sensor().continuousPositions().front();
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(pose.realPart().data()[k], expected.at(0).realPart().data()[k]);
            QCOMPARE(pose.dualPart().data()[k], expected.at(0).dualPart().data()[k]);
        }
        QVERIFY(!window.skeletonLabel->pixmap(Qt::ReturnByValue).isNull());
    }

    // The in-process sender at 30 Hz for 10 s, taken through the camera
    // contract as the frame thread takes it: woken by the reader's arrival
    // event, acquiring until nothing is new. Every frame, in order.
    void thirtyHertzForTenSecondsLosesNothing()
    {
        auto source = std::make_shared<camera::OscSource>(anyLoopbackPort());
        IKinectSensor *sensor = camera::createKinectSensor(source);
        IBodyFrameSource *bodySource = nullptr;
        IBodyFrameReader *reader = nullptr;
        QCOMPARE(sensor->Open(), S_OK);
        QCOMPARE(sensor->get_BodyFrameSource(&bodySource), S_OK);
        QCOMPARE(bodySource->OpenReader(&reader), S_OK);
        WAITABLE_HANDLE arrival = 0;
        QCOMPARE(reader->SubscribeFrameArrived(&arrival), S_OK);

        constexpr int frames = 300;
        std::thread sender([port = source->listeningPort()] {
            QUdpSocket socket;
            const auto start = std::chrono::steady_clock::now();
            for (int f = 0; f < frames; ++f) {
                std::this_thread::sleep_until(start + 33333us * f);
                for (const std::string &packet : camera::oscBodyMessages(exactBody(11, f)))
                    socket.writeDatagram(
                        packet.data(), qint64(packet.size()), QHostAddress::LocalHost, port);
            }
        });
        std::vector<int> taken;
        // Each frame is taken later than the one before it.
        TIMESPAN lastTime = -1;
        bool timesIncrease = true;
        while (int(taken.size()) < frames
            && WaitForSingleObject(reinterpret_cast<HANDLE>(arrival), 10000) == WAIT_OBJECT_0) {
            IBodyFrame *frame = nullptr;
            while (reader->AcquireLatestFrame(&frame) == S_OK) {
                IBody *bodies[BODY_COUNT] = {};
                QCOMPARE(frame->GetAndRefreshBodyData(BODY_COUNT, bodies), S_OK);
                Joint joints[JointType_Count];
                QCOMPARE(bodies[0]->GetJoints(JointType_Count, joints), S_OK);
                // The frame number rides in the joints' x.
                taken.push_back(int(std::lround((joints[0].Position.X + 0.5f) / 0.03125f)));
                TIMESPAN time = -1;
                timesIncrease
                    = timesIncrease && SUCCEEDED(frame->get_RelativeTime(&time)) && time > lastTime;
                lastTime = time;
                for (IBody *body : bodies)
                    body->Release();
                frame->Release();
            }
        }
        sender.join();
        std::vector<int> expected(frames);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(taken, expected);
        QVERIFY(timesIncrease);
        QCOMPARE(reader->UnsubscribeFrameArrived(arrival), S_OK);
        reader->Release();
        bodySource->Release();
        sensor->Release();
    }

    // A real client: one body frame sent by liblo's tools, after messages
    // that do not fit and a datagram that is not OSC.
    void oscsendFrameArrivesExactly()
    {
        if (oscsend().isEmpty())
            QSKIP("oscsend (Debian package liblo-tools) is not installed");
        reports.clear();
        otherMessages = qInstallMessageHandler(collectReports);
        camera::OscSource source(anyLoopbackPort());
        QVERIFY(source.open());
        const QString port = QString::number(source.listeningPort());
        const auto run = [&](const QString &tool, const QString &arguments) {
            QProcess process;
            process.start(QStandardPaths::findExecutable(tool),
                QStringList { QStringLiteral("127.0.0.1"), port }
                    + arguments.split(QLatin1Char(' ')));
            return process.waitForFinished(10000) && process.exitCode() == 0;
        };
        QVERIFY(run(QStringLiteral("oscsend"), QStringLiteral("/bodies/3/joints/Head iii 1 2 3")));
        QVERIFY(run(QStringLiteral("oscsend"), QStringLiteral("/bodies/3/joints/Tail fff 1 2 3")));
        QVERIFY(run(QStringLiteral("oscsend"), QStringLiteral("/status s ok")));
        QUdpSocket().writeDatagram(
            QByteArray("not OSC at all\n"), QHostAddress::LocalHost, source.listeningPort());

        // The frame from one process, in oscdump's text format, all at once.
        const Body body = exactBody(3);
        static const char *const states[] = { "NotTracked", "Inferred", "Tracked" };
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("frame.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        QTextStream out(&file);
        for (int j = 0; j < JointType_Count; ++j) {
            const CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
            out << "0.0 /bodies/3/joints/" << camera::jointNames[j] << " fffs " << text(p.X) << ' '
                << text(p.Y) << ' ' << text(p.Z) << " \""
                << states[body.joints[std::size_t(j)].TrackingState] << "\"\n";
        }
        out << "0.0 /bodies/3/hands/Left ss \"Closed\" \"Low\"\n"
            << "0.0 /bodies/3/hands/Right ss \"Lasso\" \"High\"\n";
        out.flush();
        file.close();
        QVERIFY(run(QStringLiteral("oscsendfile"), file.fileName()));

        QTRY_COMPARE(source.waitingFrames(), std::size_t(1));
        BodyFrame frame;
        source.bodyFrame(source.latestBodyFrame(), frame);
        const QString diff = difference(frame.bodies[0], body);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
        QCOMPARE(source.waitingFrames(), std::size_t(0));

        // Every kind is reported, the address or fault quoted.
        QTRY_VERIFY(allReports().contains(QLatin1String("malformed packets")));
        qInstallMessageHandler(otherMessages);
        const QString lines = allReports();
        QVERIFY2(lines.contains(QLatin1String("wrong type tags (last: /bodies/3/joints/Head ,iii)"))
                && lines.contains(QLatin1String("unknown joint name (last: /bodies/3/joints/Tail)"))
                && lines.contains(QLatin1String("unknown address (last: /status)")),
            qPrintable(lines));
    }

    void aTakenPortFailsToOpen()
    {
        camera::OscSource first(anyLoopbackPort());
        QVERIFY(first.open());
        camera::OscSource second(loopbackPort(first.listeningPort()));
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(QStringLiteral("^OSC: cannot listen on UDP 127\\.0\\.0\\.1:%1: .+")
                                   .arg(first.listeningPort())));
        QVERIFY(!second.open());
        // Closing frees the port; opening again starts afresh.
        first.close();
        QVERIFY(second.open());
        QCOMPARE(second.latestBodyFrame(), std::int64_t(-1));
    }
};

QTEST_MAIN(OscTest)
#include "tst_osc.moc"
