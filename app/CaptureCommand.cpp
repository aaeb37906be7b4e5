#include "app/CaptureCommand.h"

#include "app/CameraOption.h"
#include "app/CommandLine.h"
#include "app/MotionExportCommand.h"
#include "sensor/CaptureHost.h"
#include "sensor/FrameFeeds.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"
#include "sensor/sources/Source.h"
#include "session/AtomicFile.h"
#include "session/KeyPositionExport.h"
#include "session/PoseSession.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString captureOption = QStringLiteral("capture");
const QString planarOption = QStringLiteral("planar");
const QString smoothOption = QStringLiteral("smooth");
const QString recordOption = QStringLiteral("record");
const QLatin1String replayPrefix("replay:");

// The choices of the window's capture boxes, fixed for the whole run except
// "Start recording", which follows the gesture.
class FixedCapture : public Kinect::CaptureHost {
public:
    explicit FixedCapture(const Kinect::CaptureChoice &choice)
        : m_choice(choice)
    {
    }

    bool captureChoice(Kinect::CaptureChoice &choice) const override
    {
        choice = m_choice;
        return true;
    }
    void captureStepped(
        const Kinect::CaptureEffects &, const Kinect::CaptureChoice &choice) override
    {
        m_choice.recording = choice.recording;
    }
    int selectedContinuousPosition() const override { return -1; }
    void showCaptureProblem(const QString &message) override
    {
        std::fprintf(stderr, "handmotion: %s\n", message.toLocal8Bit().constData());
    }

private:
    Kinect::CaptureChoice m_choice;
};

// What the sources and the sensor say while the camera starts, kept back:
// a source that cannot open is then one line, with its own reason.
class StartMessages {
public:
    StartMessages() { m_previous = qInstallMessageHandler(&StartMessages::keep); }
    ~StartMessages() { qInstallMessageHandler(m_previous); }

    // The last warning, and every warning so far on standard error.
    QString last() const { return kept().isEmpty() ? QString() : kept().last(); }
    void pass() const
    {
        for (const QString &message : kept())
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }

private:
    static QStringList &kept()
    {
        static QStringList messages;
        return messages;
    }
    static void keep(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        // "Sensor not working" is the debug stream's; the reason is a warning.
        if (type != QtDebugMsg && type != QtInfoMsg)
            kept() << message;
    }
    QtMessageHandler m_previous;
};

// SIGINT and SIGTERM end a live capture: the handler writes to a socket
// that the event loop watches.
int signalSockets[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[1], &byte, 1);
}

class StopOnSignals {
public:
    StopOnSignals()
    {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(signalSockets[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const ssize_t read = ::read(signalSockets[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &m_previousInt);
        ::sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~StopOnSignals()
    {
        if (!m_notifier)
            return;
        ::sigaction(SIGINT, &m_previousInt, nullptr);
        ::sigaction(SIGTERM, &m_previousTerm, nullptr);
        m_notifier.reset();
        ::close(signalSockets[0]);
        ::close(signalSockets[1]);
        signalSockets[0] = signalSockets[1] = -1;
    }

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

// Steps a recording's clock from frame to frame, each frame processed as
// soon as the one before: as fast as the capture goes.
void captureRecording(Kinect::Sensor &sensor, camera::ReplaySource &source,
    camera::SteppedClock &clock, std::chrono::nanoseconds duration)
{
    for (;;) {
        sensor.updateSkeletonFrame();
        const std::chrono::nanoseconds next = source.timeToNextBodyFrame();
        if (next == camera::Source::noFrameDue || clock.now() + next > duration)
            return;
        clock.advance(next);
    }
}

// Takes the frames of a live source as they arrive, on a thread of their
// own as the window does, until the duration ends or a signal comes.
void captureLive(Kinect::Sensor &sensor, std::chrono::nanoseconds duration)
{
    Kinect::skeletonThread thread;
    thread.setFeed(sensor.bodyFeed());
    QObject::connect(&thread, &Kinect::skeletonThread::updatedSkeletonFrame, &sensor,
        &Kinect::Sensor::updateSkeletonFrame);
    const StopOnSignals stopOnSignals;
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &QCoreApplication::quit);
    if (duration != std::chrono::nanoseconds::max())
        end.start(int(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
    thread.start();
    QCoreApplication::exec();
    thread.stop();
    thread.wait();
    // What the thread took before it stopped.
    sensor.updateSkeletonFrame();
}

} // namespace

bool wantsCapture(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--capture") == 0 || std::strncmp(argv[i], "--capture=", 10) == 0)
            return true;
    }
    return false;
}

void addCaptureOptions(QCommandLineParser &parser)
{
    parser.addOption({ captureOption,
        QStringLiteral("Capture key positions (keys) or continuous poses (continuous) from the "
                       "--camera source without a window, into --output."),
        QStringLiteral("MODE") });
    parser.addOption(
        { planarOption, QStringLiteral("--capture: planar capture (default spatial).") });
    parser.addOption({ smoothOption,
        QStringLiteral("Smooth the joints before the hand's pose is computed (\"Smooth "
                       "joints\").") });
    parser.addOption({ recordOption,
        QStringLiteral("Record every body frame to FILE (.csv, as replay: reads it)."),
        QStringLiteral("FILE") });
}

int runCaptureCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    addCaptureOptions(parser);
    addCameraOption(parser);
    addDurationAndOutputOptions(parser);
    if (!parser.parse(arguments))
        return complainOnce(parser.errorText(), MotionExportBadArguments);
    if (!parser.positionalArguments().isEmpty())
        return complainOnce(QStringLiteral("unexpected argument \"%1\"")
                                .arg(parser.positionalArguments().constFirst()),
            MotionExportBadArguments);

    Kinect::CaptureChoice choice;
    choice.recording = true;
    const QString mode = parser.value(captureOption);
    if (mode == QLatin1String("continuous"))
        choice.continuous = true;
    else if (mode == QLatin1String("keys"))
        choice.keyPositions = true;
    else
        return complainOnce(
            QStringLiteral("--capture \"%1\": expected keys or continuous").arg(mode),
            MotionExportBadArguments);
    choice.mode = parser.isSet(planarOption) ? PoseModePlanar : PoseModeSpatial;
    choice.smoothing = parser.isSet(smoothOption);
    // At most 1e7 s (four months), so that it fits in nanoseconds.
    double seconds = 0.0;
    QString complaint;
    if (!readDuration(parser, &seconds, &complaint, 1e7))
        return complainOnce(complaint, MotionExportBadArguments);
    const auto duration = seconds > 0.0 ? std::chrono::nanoseconds(std::llround(seconds * 1e9))
                                        : std::chrono::nanoseconds::max();
    const QString output = outputFile(parser);
    if (output.isEmpty())
        return complainOnce(
            QStringLiteral("--output FILE is missing: where the capture is written"),
            MotionExportBadArguments);
    QString error;
    if (!applyCameraOption(parser, error))
        return complainOnce(error, MotionExportBadArguments);
    const QString setting = camera::cameraSetting();
    if (setting.isEmpty() || setting == QLatin1String("none"))
        return complainOnce(QStringLiteral("--camera SOURCE is missing: the frames to capture"),
            MotionExportBadArguments);
    const QString problem = camera::cameraSettingError(setting);
    if (!problem.isEmpty())
        return complainOnce(QStringLiteral("--camera: ") + problem, MotionExportBadArguments);

    // A recording is read whole first: a fault in it is this run's error,
    // not frames left out.
    camera::SteppedClock clock;
    std::shared_ptr<camera::ReplaySource> replay;
    std::shared_ptr<camera::Source> source;
    if (setting.startsWith(replayPrefix)) {
        const QString path = setting.mid(replayPrefix.size());
        const camera::Recording recording = camera::readRecording(path);
        if (!recording.readable || !recording.error.isEmpty())
            return complainOnce(recording.error.isEmpty()
                    ? QStringLiteral("%1: cannot be read").arg(path)
                    : recording.error,
                MotionExportBadKeyFile);
        replay = std::make_shared<camera::ReplaySource>(path, clock.clock());
        source = replay;
    } else {
        source = camera::sourceFromSetting(setting);
    }

    PoseSession session;
    FixedCapture host(choice);
    std::unique_ptr<Kinect::Sensor> sensor;
    {
        const StartMessages messages;
        const camera::ScopedSource installed(source);
        sensor = std::make_unique<Kinect::Sensor>(nullptr, nullptr, &session);
        if (!sensor->bodyFeed()) {
            const QString reason = messages.last();
            return complainOnce(QStringLiteral("the camera source %1 cannot be opened%2")
                                    .arg(setting, reason.isEmpty() ? QString() : ": " + reason),
                MotionExportBadKeyFile);
        }
        messages.pass();
    }
    sensor->setCaptureHost(&host);
    if (parser.isSet(recordOption)
        && !sensor->startRecordingFrames(parser.value(recordOption), &error))
        return complainOnce(error, MotionExportWriteFailed);
    QString recordingProblem;
    QObject::connect(sensor.get(), &Kinect::Sensor::frameRecordingStopped,
        [&](const QString &message) { recordingProblem = message; });

    if (replay)
        captureRecording(*sensor, *replay, clock, duration);
    else
        captureLive(*sensor, duration);
    const std::int64_t recorded = sensor->stopRecordingFrames();

    const std::vector<DualQuaternion> poses
        = choice.continuous ? session.continuousPositions() : session.keyPositions();
    if (poses.empty())
        return complainOnce(choice.continuous
                ? QStringLiteral("no pose was captured: no tracked body while recording")
                : QStringLiteral("no key position was captured: the right hand was never held "
                                 "still for 100 frames while recording"),
            MotionExportNoMotion);
    QString reason;
    if (!replaceFileAtomically(output, keyPositionExportText(poses).toUtf8(), &reason))
        return complainOnce(QStringLiteral("%1: cannot be written: %2").arg(output, reason),
            MotionExportWriteFailed);
    if (!recordingProblem.isEmpty())
        return complainOnce(recordingProblem, MotionExportWriteFailed);
    std::printf("handmotion: %zu %s written to %s%s\n", poses.size(),
        choice.continuous ? (poses.size() == 1 ? "pose" : "poses")
                          : (poses.size() == 1 ? "key position" : "key positions"),
        output.toLocal8Bit().constData(),
        parser.isSet(recordOption) ? QStringLiteral("; %1 body frames recorded to %2")
                                         .arg(recorded)
                                         .arg(parser.value(recordOption))
                                         .toLocal8Bit()
                                         .constData()
                                   : "");
    return MotionExportSucceeded;
}
