// The session journal (figure 8): what writing it costs during continuous
// capture at 30 Hz, how long the start of the program takes to restore
// 100,000 continuous poses (the journal alone, and the whole main window),
// and how large an hour's journal grows before and after the compaction at
// start.
//
//   build/bench/bench/drive_journal [SECONDS]
//
// The journals are written beside the real one (in a fresh directory next to
// $XDG_STATE_HOME/handmotion), so they reach the disk the program uses and
// every sync is a real one. CPU times are the whole process's (the GUI thread
// and the journal's writer thread). The windows are made on Qt's offscreen
// platform unless QT_QPA_PLATFORM says otherwise; they are never shown.

#include "algebra/KeyPoseList.h"
#include "app/mainDialog.h"
#include "bench/support/BenchPoses.h"
#include "bench/support/ResultTable.h"
#include "bench/support/Stopwatch.h"
#include "sensor/Sensor.h"
#include "session/JournalFormat.h"
#include "session/PoseSession.h"
#include "session/SessionJournal.h"
#include "session/SessionRestore.h"
#include "testkit/BenchmarkStart.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using bench::Row;
using journal::JournalList;

namespace {

constexpr int captureHz = 30;
constexpr int restoredPoses = 100000;
constexpr int hourPoses = 3600 * captureHz;

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// A directory for one journal, beside the real one.
std::unique_ptr<QTemporaryDir> journalDirectory()
{
    const QString beside = SessionJournal::defaultDirectory();
    QDir().mkpath(QFileInfo(beside).absolutePath());
    auto dir = std::make_unique<QTemporaryDir>(beside + QStringLiteral("-bench-XXXXXX"));
    if (!dir->isValid()) {
        std::cerr << "cannot create a directory beside " << beside.toStdString() << '\n';
        std::exit(1);
    }
    return dir;
}

// The program's session, journaled by a started journal.
struct JournaledSession : PoseSession {
    explicit JournaledSession(SessionJournal &journal)
    {
        setListListeners(journal.listener(JournalList::KeyPositions),
            journal.listener(JournalList::ContinuousPositions));
    }
};

bool startEmpty(SessionJournal &journal)
{
    QString error;
    if (journal.lock(&error) && journal.start({}, {}, &error))
        return true;
    std::cerr << "journal: " << error.toStdString() << '\n';
    return false;
}

std::string mebibytes(qint64 bytes) { return bench::formatMebibytes(double(bytes)); }

// One simulated second of capture after another, as fast as they go: 30
// appends and the two hand-overs of the flush timer, each waited for until
// it is on disk. The CPU of each second, all threads.
void costPerSecond(const std::vector<DualQuaternion> &poses)
{
    const auto dir = journalDirectory();
    SessionJournal journal(dir->path());
    if (!startEmpty(journal))
        return;
    JournaledSession session(journal);
    const int perFlush = captureHz * SessionJournal::flushInterval / 1000;
    std::vector<double> seconds;
    size_t next = 0;
    for (int second = 0; second < 40; ++second) {
        const double start = processCpuSeconds();
        for (int flush = 0; flush < captureHz / perFlush; ++flush) {
            for (int i = 0; i < perFlush; ++i)
                session.appendContinuousPosition(poses[next++ % poses.size()]);
            journal.flush();
        }
        seconds.push_back(processCpuSeconds() - start);
    }
    bench::printRow(Row { "8",
        "Journal: one second of continuous capture at 30 Hz (30 appends, 2 writes with "
        "fdatasync), CPU of all threads",
        bench::formatDuration(bench::median(seconds)),
        bench::durationRange(seconds) + " (40 seconds)",
        bench::formatNumber(100.0 * bench::median(seconds), 3) + "% of a core (target ≤ 1%)" });
}

// The same in real time, the writer thread writing on its own: the whole
// process's CPU over the run, the 30 Hz loop included.
void realTimeCapture(const std::vector<DualQuaternion> &poses, int runSeconds)
{
    const auto dir = journalDirectory();
    SessionJournal journal(dir->path());
    if (!startEmpty(journal))
        return;
    JournaledSession session(journal);
    QTimer frame;
    frame.setTimerType(Qt::PreciseTimer);
    frame.setInterval(1000 / captureHz);
    size_t next = 0;
    QObject::connect(&frame, &QTimer::timeout,
        [&] { session.appendContinuousPosition(poses[next++ % poses.size()]); });
    const double cpu = processCpuSeconds();
    bench::Stopwatch wall;
    frame.start();
    QTimer::singleShot(runSeconds * 1000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    frame.stop();
    const double share = (processCpuSeconds() - cpu) / wall.seconds();
    const qint64 bytes = QFileInfo(journal.path()).size();
    bench::printRow(Row { "8",
        "Journal: " + std::to_string(runSeconds)
            + " s of continuous capture at 30 Hz in real time, the writer thread writing on its "
              "own",
        bench::formatNumber(100.0 * share, 3) + "% of a core",
        std::to_string(next) + " poses appended, journal " + std::to_string(bytes) + " bytes",
        "whole process, 30 Hz loop included (target ≤ 1%)" });
}

// Writes a journal as capture does: appends, handed over every half second
// of poses, with the key positions (one every keyEvery poses) and the
// resets of the continuous list (every resetEvery poses, 0 for none) among
// them. Returns its bytes as a killed program leaves them.
QByteArray captureJournal(const std::vector<DualQuaternion> &poses, int count, int keyEvery,
    int resetEvery, std::vector<DualQuaternion> *keys, std::vector<DualQuaternion> *continuous)
{
    const auto dir = journalDirectory();
    QByteArray bytes;
    {
        SessionJournal journal(dir->path());
        if (!startEmpty(journal))
            return bytes;
        JournaledSession session(journal);
        const int perFlush = captureHz * SessionJournal::flushInterval / 1000;
        for (int i = 1; i <= count; ++i) {
            session.appendContinuousPosition(poses[size_t(i) % poses.size()]);
            if (keyEvery > 0 && i % keyEvery == 0)
                session.captureKeyPosition(poses[size_t(i) % poses.size()]);
            if (resetEvery > 0 && i % resetEvery == 0 && i < count)
                session.clearContinuousPositions();
            if (i % perFlush == 0)
                journal.writePending();
        }
        journal.flush();
        QFile file(journal.path());
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        *keys = session.keyPositions();
        *continuous = session.continuousPositions();
    }
    return bytes;
}

// The start of the program after a kill: read, ask (Yes at once), compact.
// Returns the seconds it took and the compacted journal's size.
double startAfterKill(const QByteArray &crashed, qint64 *compactedBytes, size_t *restored)
{
    const auto dir = journalDirectory();
    QFile file(dir->filePath(QStringLiteral("session.journal")));
    if (!file.open(QIODevice::WriteOnly) || file.write(crashed) != crashed.size())
        return -1.0;
    file.close();
    SessionJournal journal(dir->path());
    bench::Stopwatch watch;
    const SessionStart start
        = startSession(journal, [](const QString &, const QString &) { return true; });
    const double seconds = watch.seconds();
    *compactedBytes = QFileInfo(journal.path()).size();
    *restored = start.continuousPositions.size();
    return start.journaling ? seconds : -1.0;
}

void restoring(const std::vector<DualQuaternion> &poses)
{
    std::vector<DualQuaternion> keys, continuous;
    const QByteArray crashed = captureJournal(poses, restoredPoses, 0, 0, &keys, &continuous);
    const journal::JournalContents parsed
        = journal::readJournal(crashed.constData(), crashed.size());

    // The reader alone, from memory, into the list the sensor would hold.
    const std::vector<double> reads = bench::timeRuns(5, [&] {
        const journal::JournalContents c
            = journal::readJournal(crashed.constData(), crashed.size());
        KeyPoseList list;
        list.setPoses(c.continuousPositions);
    });
    bench::printRow(Row { "8",
        "Journal: replay 100,000 continuous poses as capture wrote them ("
            + std::to_string(parsed.records) + " records, " + mebibytes(crashed.size())
            + ") into a list",
        bench::formatDuration(bench::median(reads)), bench::durationRange(reads), "target ≤ 1 s" });

    std::vector<double> starts;
    qint64 compacted = 0;
    size_t restored = 0;
    for (int run = 0; run < 5; ++run)
        starts.push_back(startAfterKill(crashed, &compacted, &restored));
    bench::printRow(Row { "8",
        "Journal: start after a kill with 100,000 continuous poses (read the file, restore, "
        "compact: write, fsync, rename)",
        bench::formatDuration(bench::median(starts)), bench::durationRange(starts),
        std::to_string(restored) + " poses restored; target ≤ 1 s" });
}

// The whole start of the program after a kill: the main window made (its
// sensor without a camera, its widgets, its threads), the journal read, the
// question answered Yes at once, the lists restored into the sensor and the
// journal compacted; against the same window started on an empty journal.
double windowStart(const QByteArray &journalBytes, size_t *restored)
{
    const QString beside = SessionJournal::defaultDirectory();
    QTemporaryDir home(beside + QStringLiteral("-bench-XXXXXX"));
    QDir(home.path()).mkpath(QStringLiteral("handmotion"));
    QFile file(home.filePath(QStringLiteral("handmotion/session.journal")));
    if (!file.open(QIODevice::WriteOnly) || file.write(journalBytes) != journalBytes.size())
        return -1.0;
    file.close();
    const QByteArray previous = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.path()));
    setRestoreQuestion([](const QString &, const QString &) { return true; });
    bench::Stopwatch watch;
    double seconds;
    {
        Kinect::mainDialog window;
        seconds = watch.seconds();
        *restored = size_t(window.sensor->continuousPositionCount());
    }
    setRestoreQuestion({});
    qputenv("XDG_STATE_HOME", previous);
    return seconds;
}

void restoringInTheWindow(const std::vector<DualQuaternion> &poses)
{
    std::vector<DualQuaternion> keys, continuous;
    const QByteArray crashed = captureJournal(poses, restoredPoses, 0, 0, &keys, &continuous);
    size_t restored = 0, none = 0;
    // The first window loads what stays loaded (fonts, styles).
    windowStart(QByteArray(), &none);
    std::vector<double> empty, full;
    for (int run = 0; run < 5; ++run) {
        empty.push_back(windowStart(QByteArray(), &none));
        full.push_back(windowStart(crashed, &restored));
    }
    bench::printRow(Row { "8",
        "Journal: start of the main window after a kill with 100,000 continuous poses (window, "
        "read, restore into the sensor, compact)",
        bench::formatDuration(bench::median(full)), bench::durationRange(full),
        std::to_string(restored) + " poses restored; without a journal "
            + bench::formatDuration(bench::median(empty)) + "; target ≤ 1 s" });
}

void hourSizes(const std::vector<DualQuaternion> &poses)
{
    struct Case {
        const char *what;
        int resetEvery;
    };
    for (const Case &c :
        { Case { "an hour of continuous capture at 30 Hz (108,000 poses, a key position a "
                 "minute)",
              0 },
            Case { "… with the continuous poses reset every 10 minutes", 600 * captureHz } }) {
        std::vector<DualQuaternion> keys, continuous;
        const QByteArray crashed
            = captureJournal(poses, hourPoses, 60 * captureHz, c.resetEvery, &keys, &continuous);
        qint64 compacted = 0;
        size_t restored = 0;
        startAfterKill(crashed, &compacted, &restored);
        bench::printRow(
            Row { "8", std::string("Journal size: ") + c.what, mebibytes(crashed.size()),
                "after compaction at start: " + mebibytes(compacted) + " ("
                    + std::to_string(keys.size()) + " key positions, " + std::to_string(restored)
                    + " continuous poses)",
                bench::formatNumber(double(crashed.size()) / hourPoses, 1)
                    + " bytes per captured pose" });
    }
}

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "offscreen");
    const int runSeconds = testkit::secondsArgument(argc, argv, 1, 1, 30);
    const std::vector<DualQuaternion> poses = bench::sweptKeyPoses(1000);

    std::cerr << "journal: cost per second of capture\n";
    costPerSecond(poses);
    std::cerr << "journal: " << runSeconds << " s of capture in real time\n";
    realTimeCapture(poses, runSeconds);
    std::cerr << "journal: restoring 100,000 poses\n";
    restoring(poses);
    restoringInTheWindow(poses);
    std::cerr << "journal: an hour's size\n";
    hourSizes(poses);
    return 0;
}
