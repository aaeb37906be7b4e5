// The webcam and video sources (figure 11): the hand-landmark model's frame
// rate in the browser on move.mjpeg, full and lite model, as a video file
// (every picture, one after the other); a live camera (the browser's
// stand-in camera playing move.mjpeg in a loop) for SECONDS each with both
// models: frames per second, a picture's capture → its body frame taken by
// a thread waiting on the source's arrival event (median, 95th percentile),
// and the CPU of the browser (all its processes) and of this program.
//
//   drive_hands [SECONDS]              the figure (30 s per live run)
//   drive_hands --landmarks DIR        writes DIR/{full,lite}/NAME.jsonl: the
//                                      landmarks of every picture of every hand
//                                      video, one JSON line each (for
//                                      drive_handfit), and prints no rows
#include "bench/support/ProcessStats.h"
#include "bench/support/ResultTable.h"
#include "sensor/sources/HandSource.h"
#include "sensor/sources/PageMessage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include <sys/types.h>
#include <unistd.h>

using bench::Row;
using camera::HandSource;
using Clock = std::chrono::steady_clock;

namespace {

const QString videos = QStringLiteral(HANDMOTION_SOURCE_DIR "/../shared/hand-videos");

// The CPU seconds of every process in a group, by process.
std::map<pid_t, double> groupCpu(pid_t group)
{
    std::map<pid_t, double> cpu;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (number && ::getpgid(pid) == group) {
            const double seconds = bench::cpuSeconds(pid);
            if (seconds >= 0.0)
                cpu[pid] = seconds;
        }
    }
    return cpu;
}

// What processes of a group spent between two readings; one that started
// in between counts from its start.
double cpuBetween(const std::map<pid_t, double> &before, const std::map<pid_t, double> &after)
{
    double sum = 0.0;
    for (const auto &[pid, seconds] : after) {
        const auto earlier = before.find(pid);
        sum += seconds - (earlier == before.end() ? 0.0 : earlier->second);
    }
    return sum;
}

struct Taken {
    int frames = 0;
    std::vector<double> analysisMs;
    double firstAt = 0.0, lastAt = 0.0; // seconds, steady clock
};

double now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// Runs a source: takes its body frames as they come until it finishes or
// until seconds have passed since its first frame (0: no limit). Calls
// measureFrom() once, at the first frame, and measureTo() at the end.
bool run(HandSource &source, double seconds, Taken &taken, const std::function<void()> &measureFrom,
    const std::function<void()> &measureTo)
{
    std::mutex mutex;
    source.setLandmarkObserver([&](const camera::PageMessage &message) {
        std::lock_guard<std::mutex> lock(mutex);
        taken.analysisMs.push_back(message.analysisMilliseconds);
    });
    HANDLE arrived = CreateEvent(0, 0);
    source.addArrivalEvent(camera::Source::Stream::Body, arrived);
    const bool opened = source.open();
    const auto deadline = Clock::now() + std::chrono::minutes(10);
    std::int64_t next = 0;
    while (opened && Clock::now() < deadline) {
        const std::int64_t index = source.latestBodyFrame();
        if (index >= next) {
            camera::BodyFrame frame;
            source.bodyFrame(index, frame);
            next = index + 1;
            const double t = now();
            if (taken.frames == 0) {
                taken.firstAt = t;
                if (measureFrom)
                    measureFrom();
            }
            taken.lastAt = t;
            ++taken.frames;
            if (seconds > 0.0 && t - taken.firstAt >= seconds)
                break;
            continue;
        }
        if (source.statistics().finished && source.latestBodyFrame() < next)
            break;
        WaitForSingleObject(arrived, 500);
    }
    if (measureTo)
        measureTo();
    source.close();
    source.removeArrivalEvent(camera::Source::Stream::Body, arrived);
    CloseHandle(arrived);
    return opened && taken.frames > 1;
}

QJsonArray pointList(const double *values, int dimensions, int count)
{
    QJsonArray list;
    for (int k = 0; k < count; ++k) {
        QJsonArray point;
        for (int c = 0; c < dimensions; ++c)
            point.append(values[k * dimensions + c]);
        list.append(point);
    }
    return list;
}

// Every picture's landmarks of every hand video, both models.
int writeLandmarks(const QString &directory)
{
    const QStringList names
        = QDir(videos).entryList({ QStringLiteral("*.mjpeg") }, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "no hand videos in %s\n", qPrintable(videos));
        return 1;
    }
    for (const char *model : { "full", "lite" }) {
        const QString target = QDir(directory).filePath(QLatin1String(model));
        QDir().mkpath(target);
        for (const QString &name : names) {
            std::map<std::int64_t, QByteArray> lines;
            std::mutex mutex;
            camera::HandSourceSetting setting;
            setting.kind = camera::HandSourceSetting::Kind::Video;
            setting.path = QDir(videos).filePath(name);
            setting.liteModel = QLatin1String(model) == QLatin1String("lite");
            HandSource source(setting);
            Taken taken;
            const auto keep = [&](const camera::PageMessage &message) {
                QJsonObject line;
                line.insert(QStringLiteral("i"), double(message.index));
                line.insert(QStringLiteral("t_us"), double(message.frame.timeMicroseconds));
                line.insert(QStringLiteral("w"), message.frame.width);
                line.insert(QStringLiteral("h"), message.frame.height);
                line.insert(QStringLiteral("mirrored"), message.frame.mirrored);
                QJsonArray hands;
                for (const camera::LandmarkHand &hand : message.frame.hands) {
                    QJsonObject h;
                    h.insert(QStringLiteral("label"),
                        hand.labelledRight ? QStringLiteral("Right") : QStringLiteral("Left"));
                    h.insert(QStringLiteral("score"), hand.score);
                    h.insert(QStringLiteral("image"), pointList(&hand.image[0][0], 2, 21));
                    h.insert(QStringLiteral("world"), pointList(&hand.world[0][0], 3, 21));
                    hands.append(h);
                }
                line.insert(QStringLiteral("hands"), hands);
                std::lock_guard<std::mutex> lock(mutex);
                lines[message.index] = QJsonDocument(line).toJson(QJsonDocument::Compact);
            };
            std::fprintf(stderr, "landmarks: %s, %s model\n", qPrintable(name), model);
            source.setLandmarkObserver(keep);
            HANDLE arrived = CreateEvent(0, 0);
            source.addArrivalEvent(camera::Source::Stream::Body, arrived);
            if (!source.open())
                return 1;
            std::int64_t next = 0;
            while (!(source.statistics().finished && source.latestBodyFrame() < next)) {
                const std::int64_t index = source.latestBodyFrame();
                if (index >= next) {
                    camera::BodyFrame frame;
                    source.bodyFrame(index, frame);
                    next = index + 1;
                } else {
                    WaitForSingleObject(arrived, 500);
                }
            }
            source.close();
            source.removeArrivalEvent(camera::Source::Stream::Body, arrived);
            CloseHandle(arrived);
            // Written whole or not at all: readers poll for the file.
            QSaveFile file(QDir(target).filePath(
                QFileInfo(name).completeBaseName() + QStringLiteral(".jsonl")));
            if (!file.open(QIODevice::WriteOnly))
                return 1;
            for (const auto &[index, line] : lines)
                file.write(line + '\n');
            if (!file.commit()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--landmarks"))
        return writeLandmarks(arguments[2]);
    const double seconds = arguments.size() > 1 ? arguments[1].toDouble() : 30.0;
    const QString move = QDir(videos).filePath(QStringLiteral("move.mjpeg"));
    if (!QFile::exists(move)) {
        bench::printRow(
            Row { "11", "Webcam and video sources", "skipped", "no ../shared/hand-videos", "" });
        return 0;
    }
    int status = 0;
    for (const bool lite : { false, true }) {
        const std::string model = lite ? "lite" : "full";
        camera::HandSourceSetting setting;
        setting.kind = camera::HandSourceSetting::Kind::Video;
        setting.path = move;
        setting.liteModel = lite;
        HandSource file(setting);
        Taken taken;
        if (!run(file, 0.0, taken, {}, {})) {
            bench::printRow(Row { "11", "video:move.mjpeg, " + model + " model", "failed",
                qPrintable(file.statusText()), "" });
            status = 1;
            continue;
        }
        const double rate = (taken.frames - 1) / (taken.lastAt - taken.firstAt);
        bench::printRow(Row { "11",
            "video:move.mjpeg, " + model + " model: every picture analysed, one after the other",
            bench::formatNumber(rate, 1) + " frames/s",
            std::to_string(taken.frames) + " frames; the model's own time a picture "
                + bench::formatNumber(bench::median(taken.analysisMs), 1) + " ms (median), "
                + bench::formatNumber(bench::percentile(taken.analysisMs, 95), 1) + " ms (p95)",
            lite ? "" : "the whole file, no picture skipped" });
    }
    qputenv("HANDMOTION_WEBCAM_TEST_FILE", QFile::encodeName(move));
    for (const bool lite : { false, true }) {
        const std::string model = lite ? "lite" : "full";
        camera::HandSourceSetting setting;
        setting.liteModel = lite;
        HandSource camera(setting);
        Taken taken;
        std::map<pid_t, double> browserBefore, browserAfter;
        double ownBefore = 0.0, ownAfter = 0.0;
        pid_t browser = -1;
        const auto from = [&] {
            browser = pid_t(camera.statistics().browserPid);
            browserBefore = groupCpu(browser);
            ownBefore = bench::cpuSeconds(::getpid());
        };
        const auto to = [&] {
            browserAfter = groupCpu(browser);
            ownAfter = bench::cpuSeconds(::getpid());
        };
        if (!run(camera, seconds, taken, from, to)) {
            bench::printRow(Row { "11", "webcam, " + model + " model", "failed",
                qPrintable(camera.statusText()), "" });
            status = 1;
            continue;
        }
        const double wall = taken.lastAt - taken.firstAt;
        const double rate = (taken.frames - 1) / wall;
        std::vector<double> latencies = camera.statistics().takeLatencies;
        for (double &l : latencies)
            l *= 1e-6;
        bench::printRow(Row { "11",
            "webcam (stand-in camera playing move.mjpeg), " + model + " model: frames per second",
            bench::formatNumber(rate, 1) + " frames/s",
            std::to_string(taken.frames) + " frames in " + bench::formatNumber(wall, 0)
                + " s; the model's own time a picture "
                + bench::formatNumber(bench::median(taken.analysisMs), 1) + " ms (median)",
            lite ? ""
                 : std::string("target ≥ 15 frames/s: ") + (rate >= 15.0 ? "met" : "not met") });
        bench::printRow(
            Row { "11", "webcam, " + model + " model: picture captured → body frame taken",
                bench::formatDuration(bench::median(latencies)),
                "p95 " + bench::formatDuration(bench::percentile(latencies, 95)),
                lite ? ""
                     : std::string("target ≤ 100 ms median: ")
                        + (bench::median(latencies) <= 0.1 ? "met" : "not met") });
        bench::printRow(Row { "11", "webcam, " + model + " model: CPU",
            "browser "
                + bench::formatNumber(100.0 * cpuBetween(browserBefore, browserAfter) / wall, 0)
                + "% of a core",
            "handmotion (this driver, the source's threads) "
                + bench::formatNumber(100.0 * (ownAfter - ownBefore) / wall, 1) + "% of a core",
            "" });
    }
    return status;
}
