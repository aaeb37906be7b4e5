// The OSC body stream (figure 9), through the real main window with its
// frame threads, on loopback:
// 1. Six bodies at 30 Hz for SECONDS (default 60): the camera frames the
//    sensor takes whole, and the time from sending a camera frame's last
//    datagram to the sensor taking that frame (an upper bound of
//    "received → taken": loopback adds microseconds). Then, without the
//    window, the same delay for a thread that waits on the body reader's
//    arrival event and takes frames itself, as the frame threads do.
// 2. A flood of 100,000 malformed datagrams sent as fast as one thread can,
//    while the 3D view is asked to repaint at 60 Hz: no crash, the longest
//    gap between two paints before and during the flood, and what the
//    receiver reported.
//
//   xvfb-run -a build/bench/bench/drive_osc [SECONDS]

#include "app/mainDialog.h"
#include "bench/support/ResultTable.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/OscSource.h"
#include "sensor/sources/SourceDevice.h"
#include "testkit/BenchmarkStart.h"
#include "testkit/OscWriter.h"
#include "testkit/WatchedSource.h"
#include "testkit/WindowWithSource.h"
#include "view/GLWidget.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <iostream>
#include <random>
#include <thread>

using bench::Row;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int bodies = 6;
constexpr int floodPackets = 100000;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Body b of camera frame k: the demo operator, moved sideways, with the
// frame number written exactly into the left foot's z.
camera::Body streamedBody(int b, int k)
{
    camera::Body body = camera::DemoOperator::body(k);
    body.trackingId = 72057594037927936ull + UINT64(b);
    for (Joint &joint : body.joints)
        joint.Position.X += 0.6f * float(b - bodies / 2);
    body.joints[JointType_FootLeft].Position.Z = 3.0f + float(k) / 4096.0f;
    return body;
}

int frameNumberOf(const camera::Body &body)
{
    return int(std::lround((body.joints[JointType_FootLeft].Position.Z - 3.0f) * 4096.0f));
}

// What is noted of each frame the sensor takes: the camera frame it was
// sent as, how many bodies it holds (all of them when it came whole), and
// when it was taken.
struct Taken {
    int frame = -1;
    int bodies = 0;
    Clock::time_point at;

    static Taken of(std::int64_t, const camera::BodyFrame &frame, Clock::time_point at)
    {
        Taken taken;
        taken.at = at;
        for (const camera::Body &body : frame.bodies) {
            if (body.tracked) {
                ++taken.bodies;
                taken.frame = frameNumberOf(body);
            }
        }
        return taken;
    }
};

using TimedOscSource = camera::WatchedSource<camera::OscSource, Taken>;

// Counts the receiver's report lines and the packets they name.
struct Reports {
    static std::atomic<int> lines;
    static std::atomic<long long> malformed;
    static QtMessageHandler previous;
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtDebugMsg && text.startsWith(QLatin1String("OSC: ignored"))) {
            ++lines;
            static const QRegularExpression count(QStringLiteral("(\\d+) malformed packets"));
            const QRegularExpressionMatch match = count.match(text);
            if (match.hasMatch())
                malformed += match.captured(1).toLongLong();
            return;
        }
        previous(type, context, text);
    }
};
std::atomic<int> Reports::lines { 0 };
std::atomic<long long> Reports::malformed { 0 };
QtMessageHandler Reports::previous = nullptr;

// Sends frames camera frames of all bodies at 30 Hz to port, noting when
// the last datagram of each went out.
void stream(quint16 port, int frames, std::vector<Clock::time_point> &lastSent)
{
    QUdpSocket socket;
    const auto start = Clock::now();
    for (int k = 0; k < frames; ++k) {
        std::vector<std::string> packets;
        for (int b = 0; b < bodies; ++b) {
            const std::vector<std::string> messages = camera::oscBodyMessages(streamedBody(b, k));
            packets.insert(packets.end(), messages.begin(), messages.end());
        }
        std::this_thread::sleep_until(start + std::chrono::microseconds(33333) * k);
        for (const std::string &packet : packets)
            socket.writeDatagram(
                packet.data(), qint64(packet.size()), QHostAddress::LocalHost, port);
        lastSent[std::size_t(k)] = Clock::now();
    }
}

// The stream taken through the camera contract alone, as a frame thread
// takes it: a thread waits on the body reader's arrival event and acquires
// until nothing is new. The delays from each camera frame's last datagram
// to its taking.
std::vector<double> takenByWaitingThread(int frames)
{
    camera::OscEndpoint endpoint;
    endpoint.port = 0;
    auto source = std::make_shared<camera::OscSource>(endpoint);
    IKinectSensor *sensor = camera::createKinectSensor(source);
    IBodyFrameSource *bodySource = nullptr;
    IBodyFrameReader *reader = nullptr;
    WAITABLE_HANDLE arrival = 0;
    std::vector<double> delays;
    if (FAILED(sensor->Open()) || FAILED(sensor->get_BodyFrameSource(&bodySource))
        || FAILED(bodySource->OpenReader(&reader))
        || FAILED(reader->SubscribeFrameArrived(&arrival))) {
        std::cerr << "drive_osc: cannot open the OSC source through the contract\n";
        return delays;
    }
    std::vector<Clock::time_point> lastSent(static_cast<std::size_t>(frames));
    std::vector<std::pair<int, Clock::time_point>> taken;
    const HANDLE stop = CreateEvent(1, 0);
    std::thread taker([&] {
        const HANDLE handles[2] = { stop, reinterpret_cast<HANDLE>(arrival) };
        IBody *held[BODY_COUNT] = {};
        while (WaitForMultipleObjects(2, handles, 0, INFINITE) == WAIT_OBJECT_0 + 1) {
            IBodyFrame *frame = nullptr;
            while (reader->AcquireLatestFrame(&frame) == S_OK) {
                const auto at = Clock::now();
                Joint joints[JointType_Count];
                BOOLEAN tracked = 0;
                if (SUCCEEDED(frame->GetAndRefreshBodyData(BODY_COUNT, held))) {
                    for (IBody *body : held) {
                        if (SUCCEEDED(body->get_IsTracked(&tracked)) && tracked
                            && SUCCEEDED(body->GetJoints(JointType_Count, joints))) {
                            const float z = joints[JointType_FootLeft].Position.Z;
                            taken.emplace_back(int(std::lround((z - 3.0f) * 4096.0f)), at);
                            break;
                        }
                    }
                }
                frame->Release();
            }
        }
        for (IBody *body : held) {
            if (body)
                body->Release();
        }
    });
    stream(source->listeningPort(), frames, lastSent);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    SetEvent(stop);
    taker.join();
    CloseHandle(stop);
    std::vector<bool> seen(static_cast<std::size_t>(frames), false);
    for (const auto &[frame, at] : taken) {
        if (frame < 0 || frame >= frames || seen[std::size_t(frame)])
            continue;
        seen[std::size_t(frame)] = true;
        delays.push_back(std::chrono::duration<double>(at - lastSent[std::size_t(frame)]).count());
    }
    reader->UnsubscribeFrameArrived(arrival);
    reader->Release();
    bodySource->Release();
    sensor->Release();
    return delays;
}

// Runs the event loop until done() or the time limit.
void runUntil(const std::function<bool()> &done, double limitSeconds)
{
    const auto start = Clock::now();
    while (!done() && secondsSince(start) < limitSeconds)
        QTest::qWait(20);
}

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "xcb");
    const int seconds = testkit::secondsArgument(argc, argv, 1, 5, 60);
    const int frames = seconds * 30;
    Reports::previous = qInstallMessageHandler(Reports::handler);

    camera::OscEndpoint endpoint;
    endpoint.port = 0;
    auto source = std::make_shared<TimedOscSource>(endpoint);
    testkit::WindowWithSource shown(source, testkit::WindowWithSource::Running);
    Kinect::mainDialog &window = shown.window();
    if (!shown.showAndWait()) {
        std::cerr << "drive_osc: the window did not appear\n";
        return 1;
    }
    const quint16 port = source->listeningPort();
    if (port == 0) {
        std::cerr << "drive_osc: the OSC source is not listening\n";
        return 1;
    }

    // 1. The stream.
    std::vector<Clock::time_point> lastSent(static_cast<std::size_t>(frames));
    std::atomic<bool> streamDone { false };
    std::thread sender([&] {
        stream(port, frames, lastSent);
        streamDone = true;
    });
    std::cerr << "drive_osc: streaming " << frames << " frames of " << bodies << " bodies\n";
    runUntil(
        [&] { return streamDone.load() && source->bodyFramesTaken >= frames; }, seconds + 30.0);
    sender.join();
    QTest::qWait(500);

    const std::vector<Taken> taken = source->taken();
    std::vector<bool> seen(static_cast<std::size_t>(frames), false);
    int whole = 0;
    std::vector<double> latencies;
    for (const Taken &t : taken) {
        if (t.frame < 0 || t.frame >= frames || seen[std::size_t(t.frame)])
            continue;
        seen[std::size_t(t.frame)] = true;
        if (t.bodies == bodies)
            ++whole;
        latencies.push_back(
            std::chrono::duration<double>(t.at - lastSent[std::size_t(t.frame)]).count());
    }
    const int distinct = int(std::count(seen.begin(), seen.end(), true));
    bench::printRow(Row { "9",
        "OSC: camera frames lost, " + std::to_string(bodies) + " bodies at 30 Hz for "
            + std::to_string(seconds) + " s on loopback (window shown, frame threads running)",
        std::to_string(frames - distinct) + " lost",
        std::to_string(distinct) + " of " + std::to_string(frames) + " taken, "
            + std::to_string(whole) + " whole; " + std::to_string(taken.size())
            + " body frames in all",
        std::to_string(frames * bodies * (JointType_Count + 2)) + " datagrams" });
    if (!latencies.empty()) {
        const double median = bench::median(latencies);
        bench::printRow(
            Row { "9", "OSC: last datagram of a camera frame sent → body frame taken by the sensor",
                bench::formatDuration(median),
                "p95 " + bench::formatDuration(bench::percentile(latencies, 95.0)) + ", max "
                    + bench::formatDuration(*std::max_element(latencies.begin(), latencies.end())),
                bench::budgetShare(median, bench::cameraHz) });
    }

    // The same stream taken as a frame thread waiting on the arrival event
    // takes it, without the window.
    const int contractFrames = std::min(frames, 300);
    std::cerr << "drive_osc: streaming " << contractFrames << " frames to a waiting reader\n";
    const std::vector<double> delays = takenByWaitingThread(contractFrames);
    if (!delays.empty()) {
        const double median = bench::median(delays);
        bench::printRow(Row { "9",
            "OSC: … the same, taken by a thread waiting on the body reader's arrival event (no "
            "window, "
                + std::to_string(contractFrames) + " frames)",
            bench::formatDuration(median),
            "p95 " + bench::formatDuration(bench::percentile(delays, 95.0)) + ", "
                + std::to_string(delays.size()) + " of " + std::to_string(contractFrames)
                + " frames taken",
            bench::budgetShare(median, bench::cameraHz) });
    }

    // 2. The flood, with the view repainting at 60 Hz.
    std::vector<Clock::time_point> paints;
    QObject::connect(
        window.glWidget, &QOpenGLWidget::frameSwapped, [&] { paints.push_back(Clock::now()); });
    QTimer repaint;
    QObject::connect(
        &repaint, &QTimer::timeout, window.glWidget, [&] { window.glWidget->update(); });
    repaint.start(16);
    QTest::qWait(2000);
    const int linesBefore = Reports::lines.load();
    const long long malformedBefore = Reports::malformed.load();
    std::atomic<bool> floodDone { false };
    Clock::time_point floodStart;
    Clock::time_point floodEnd;
    std::thread flooder([&] {
        QUdpSocket socket;
        std::mt19937 random(7);
        std::vector<char> junk(1024);
        floodStart = Clock::now();
        for (int n = 0; n < floodPackets; ++n) {
            // Random bytes, some starting as a message or a bundle would.
            const std::size_t size = 1 + random() % junk.size();
            for (char &c : junk)
                c = char(random());
            if (n % 3 == 0)
                junk[0] = '/';
            else if (n % 3 == 1)
                std::memcpy(junk.data(), "#bundle", 8);
            socket.writeDatagram(junk.data(), qint64(size), QHostAddress::LocalHost, port);
        }
        floodEnd = Clock::now();
        floodDone = true;
    });
    runUntil([&] { return floodDone.load(); }, 300.0);
    flooder.join();
    QTest::qWait(2500);
    repaint.stop();

    double gapBefore = 0.0;
    double gapDuring = 0.0;
    int paintsDuring = 0;
    for (std::size_t i = 1; i < paints.size(); ++i) {
        const double gap = std::chrono::duration<double>(paints[i] - paints[i - 1]).count();
        if (paints[i] <= floodStart)
            gapBefore = std::max(gapBefore, gap);
        else if (paints[i - 1] < floodEnd) {
            gapDuring = std::max(gapDuring, gap);
            ++paintsDuring;
        }
    }
    const double floodSeconds = std::chrono::duration<double>(floodEnd - floodStart).count();
    bench::printRow(Row { "9",
        "OSC: flood of 100,000 malformed datagrams (sent in " + bench::formatDuration(floodSeconds)
            + "): longest gap between paints",
        bench::formatDuration(gapDuring),
        std::to_string(paintsDuring) + " paints during the flood; longest gap before it "
            + bench::formatDuration(gapBefore),
        "no crash; " + std::to_string(Reports::malformed.load() - malformedBefore)
            + " of 100,000 counted as malformed by the receiver, in "
            + std::to_string(Reports::lines.load() - linesBefore) + " report lines" });
    return 0;
}
