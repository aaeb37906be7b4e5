#include "session/SessionJournal.h"

#include "algebra/KeyPoseList.h"
#include "session/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using journal::JournalList;

// Owns the journal file and the thread that writes it. The GUI thread adds
// records to what is pending (appended poses gather into one record per run
// of appends to a list); the thread writes them and syncs the file a delay
// after the first of them, whatever the GUI thread is busy with, or at once
// when asked. A rewrite replaces the file and everything pending before it.
// After a failure the file may end in half a record: what is pending is
// dropped until a rewrite works.
class SessionJournal::Writer {
public:
    Writer(const QString &path, std::chrono::milliseconds delay)
        : m_path(path)
        , m_delay(delay)
        , m_thread(&Writer::run, this)
    {
    }
    ~Writer() { stop(); }

    // GUI thread: a lock held for a few instructions.
    void addPose(JournalList list, const DualQuaternion &pose)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_run.empty() && m_runList != list)
            encodeRun();
        m_runList = list;
        m_run.push_back(pose);
        notePending();
    }

    void addRecords(const QByteArray &records)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        encodeRun();
        m_pending += records;
        notePending();
    }

    // Writes what was added so far now; returns the ticket to wait for.
    std::uint64_t writeNow()
    {
        std::uint64_t ticket;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            // Closed here, the run is one record whatever the thread is doing.
            encodeRun();
            ticket = ++m_requested;
        }
        m_wake.notify_one();
        return ticket;
    }

    std::uint64_t rewrite(QByteArray wholeFile)
    {
        std::uint64_t ticket;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_run.clear();
            m_pending.clear();
            m_hasPending = false;
            m_rewrite = std::move(wholeFile);
            m_hasRewrite = true;
            ticket = ++m_requested;
        }
        m_wake.notify_one();
        return ticket;
    }

    // Waits until what ticket asked for is done; returns the failure then,
    // empty when the file holds everything it was given.
    QString waitFor(std::uint64_t ticket)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_doneChanged.wait(lock, [&] { return m_done >= ticket; });
        return m_failure;
    }

    QString failure()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_failure;
    }

    // Writes what is pending, then ends the thread and closes the file.
    void stop()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    // With m_mutex held.
    void encodeRun()
    {
        if (m_run.empty())
            return;
        journal::appendPoses(m_pending, m_runList, false, m_run.data(), m_run.size());
        m_run.clear();
    }

    void notePending()
    {
        if (m_hasPending)
            return;
        m_hasPending = true;
        m_firstPending = std::chrono::steady_clock::now();
        m_wake.notify_one();
    }

    bool asked() const { return m_stopping || m_hasRewrite || m_requested > m_done; }

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return asked() || m_hasPending; });
            // Gathers what comes within the delay into one write and sync.
            if (!asked())
                m_wake.wait_until(lock, m_firstPending + m_delay, [&] { return asked(); });
            if (m_stopping && !m_hasRewrite && !m_hasPending && m_requested <= m_done)
                break;
            const bool rewrite = m_hasRewrite;
            QByteArray whole;
            whole.swap(m_rewrite);
            m_hasRewrite = false;
            encodeRun();
            QByteArray bytes;
            bytes.swap(m_pending);
            m_hasPending = false;
            const std::uint64_t upTo = m_requested;
            QString failure = m_failure;
            lock.unlock();

            if (rewrite) {
                closeFile();
                failure.clear();
                if (replaceFileAtomically(m_path, whole, &failure, 0600))
                    openForAppend(&failure);
            }
            if (!bytes.isEmpty() && failure.isEmpty()
                && writeAllBytes(m_fd, bytes, m_path, &failure) && ::fdatasync(m_fd) != 0)
                // The data and the file's length: all a reader needs.
                failure = systemError(QStringLiteral("cannot sync %1").arg(m_path), errno);

            lock.lock();
            m_failure = failure;
            m_done = upTo;
            m_doneChanged.notify_all();
        }
        lock.unlock();
        closeFile();
    }

    bool openForAppend(QString *failure)
    {
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (m_fd < 0)
            *failure = systemError(QStringLiteral("cannot open %1").arg(m_path), errno);
        return m_fd >= 0;
    }

    void closeFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    const QString m_path;
    const std::chrono::milliseconds m_delay;
    int m_fd = -1; // the writer thread's alone
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_doneChanged;
    // Guarded by m_mutex:
    QByteArray m_pending;
    std::vector<DualQuaternion> m_run;
    JournalList m_runList = JournalList::KeyPositions;
    bool m_hasPending = false;
    std::chrono::steady_clock::time_point m_firstPending;
    QByteArray m_rewrite;
    bool m_hasRewrite = false;
    std::uint64_t m_requested = 0;
    std::uint64_t m_done = 0;
    bool m_stopping = false;
    QString m_failure;
    std::thread m_thread; // last: starts once the members above exist
};

class SessionJournal::Observer : public KeyPoseListListener {
public:
    Observer(SessionJournal *journal, JournalList list)
        : m_journal(journal)
        , m_list(list)
    {
    }
    void poseAppended(const KeyPoseList &source, const DualQuaternion &pose) override
    {
        m_journal->appended(m_list, source, pose);
    }
    void posesReplaced(const KeyPoseList &, const std::vector<DualQuaternion> &poses) override
    {
        m_journal->replaced(m_list, poses);
    }
    void posesCleared(const KeyPoseList &) override { m_journal->cleared(m_list); }
    void poseRemoved(const KeyPoseList &source, int index) override
    {
        m_journal->removed(m_list, source, index);
    }
    void poseMoved(const KeyPoseList &source, int from, int to) override
    {
        m_journal->moved(m_list, source, from, to);
    }

private:
    SessionJournal *m_journal;
    JournalList m_list;
};

SessionJournal::SessionJournal(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(QDir::cleanPath(directory))
{
    m_observers[0] = std::make_unique<Observer>(this, JournalList::KeyPositions);
    m_observers[1] = std::make_unique<Observer>(this, JournalList::ContinuousPositions);
    m_timer.setInterval(flushInterval);
    connect(&m_timer, &QTimer::timeout, this, &SessionJournal::tick);
}

SessionJournal::~SessionJournal() { close(); }

QString SessionJournal::defaultDirectory()
{
    // Relative values are invalid and to be ignored.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(state + QStringLiteral("/handmotion"));
}

QString SessionJournal::path() const { return m_directory + QStringLiteral("/session.journal"); }

QString SessionJournal::keptAsidePath() const
{
    return m_directory + QStringLiteral("/last-session.journal");
}

bool SessionJournal::lock(QString *error)
{
    QString reason;
    if (m_lock && m_lock->isLocked())
        return true;
    const bool existed = QFileInfo(m_directory).isDir();
    if (!existed && !QDir().mkpath(m_directory)) {
        reason = QStringLiteral("cannot create the directory %1").arg(m_directory);
    } else {
        if (!existed)
            QFile::setPermissions(
                m_directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_lock = std::make_unique<QLockFile>(m_directory + QStringLiteral("/session.lock"));
        // Held for the whole session: only a lock whose process is gone is stale.
        m_lock->setStaleLockTime(0);
        if (m_lock->tryLock(0))
            return true;
        qint64 pid = 0;
        QString host, application;
        if (m_lock->error() == QLockFile::LockFailedError
            && m_lock->getLockInfo(&pid, &host, &application))
            reason = QStringLiteral("another running handmotion (process %1) keeps its journal "
                                    "in %2")
                         .arg(pid)
                         .arg(m_directory);
        else
            reason = QStringLiteral("cannot write the lock file in %1").arg(m_directory);
        m_lock.reset();
    }
    if (error)
        *error = reason;
    return false;
}

bool SessionJournal::keepAside(QString *error)
{
    QString reason;
    if (!m_lock) {
        reason = QStringLiteral("the journal directory %1 is not held").arg(m_directory);
    } else if (!QFileInfo::exists(path())) {
        return true;
    } else if (::rename(QFile::encodeName(path()).constData(),
                   QFile::encodeName(keptAsidePath()).constData())
        != 0) {
        reason = systemError(
            QStringLiteral("cannot rename %1 to %2").arg(path(), keptAsidePath()), errno);
    } else if (syncDirectory(m_directory, &reason)) {
        return true;
    }
    if (error)
        *error = reason;
    return false;
}

bool SessionJournal::start(const std::vector<DualQuaternion> &keyPositions,
    const std::vector<DualQuaternion> &continuousPositions, QString *error)
{
    QString reason;
    if (m_writer) {
        reason = QStringLiteral("the journal has started already");
    } else if (!m_lock) {
        reason = QStringLiteral("the journal directory %1 is not held").arg(m_directory);
    } else {
        auto writer = std::make_unique<Writer>(path(), std::chrono::milliseconds(flushInterval));
        const std::uint64_t ticket
            = writer->rewrite(journal::snapshotJournal(keyPositions, continuousPositions));
        reason = writer->waitFor(ticket);
        if (reason.isEmpty()) {
            m_copies[0] = keyPositions;
            m_copies[1] = continuousPositions;
            m_failed = false;
            m_lastTicket = ticket;
            m_writer = std::move(writer);
            m_timer.start();
            return true;
        }
    }
    if (error)
        *error = reason;
    return false;
}

KeyPoseListListener *SessionJournal::listener(JournalList list)
{
    return m_observers[int(list)].get();
}

const std::vector<DualQuaternion> &SessionJournal::poses(JournalList list) const
{
    return m_copies[int(list)];
}

std::vector<DualQuaternion> &SessionJournal::copyOf(JournalList list)
{
    return m_copies[int(list)];
}

void SessionJournal::appended(
    JournalList list, const KeyPoseList &source, const DualQuaternion &pose)
{
    if (!m_writer)
        return;
    copyOf(list).push_back(pose);
    m_writer->addPose(list, pose);
    keepInStep(list, source);
}

void SessionJournal::replaced(JournalList list, const std::vector<DualQuaternion> &poses)
{
    if (!m_writer)
        return;
    copyOf(list) = poses;
    QByteArray record;
    journal::appendPoses(record, list, true, poses.data(), poses.size());
    m_writer->addRecords(record);
}

void SessionJournal::cleared(JournalList list)
{
    if (!m_writer)
        return;
    copyOf(list).clear();
    QByteArray record;
    journal::appendClear(record, list);
    m_writer->addRecords(record);
}

void SessionJournal::removed(JournalList list, const KeyPoseList &source, int index)
{
    if (!m_writer)
        return;
    std::vector<DualQuaternion> &copy = copyOf(list);
    if (index < 0 || size_t(index) >= copy.size()) {
        replaced(list, source.poses());
        return;
    }
    copy.erase(copy.begin() + index);
    QByteArray record;
    journal::appendRemove(record, list, std::uint32_t(index));
    m_writer->addRecords(record);
    keepInStep(list, source);
}

void SessionJournal::moved(JournalList list, const KeyPoseList &source, int from, int to)
{
    if (!m_writer)
        return;
    std::vector<DualQuaternion> &copy = copyOf(list);
    if (from < 0 || to < 0 || size_t(from) >= copy.size() || size_t(to) >= copy.size()) {
        replaced(list, source.poses());
        return;
    }
    const auto first = copy.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    QByteArray record;
    journal::appendMove(record, list, std::uint32_t(from), std::uint32_t(to));
    m_writer->addRecords(record);
    keepInStep(list, source);
}

void SessionJournal::keepInStep(JournalList list, const KeyPoseList &source)
{
    if (copyOf(list).size() != size_t(source.size()))
        replaced(list, source.poses());
}

void SessionJournal::checkWriter()
{
    const QString failure = m_writer->failure();
    if (!failure.isEmpty() && !m_failed) {
        m_failed = true;
        m_sinceRetry = 0;
        Q_EMIT writeFailed(failure);
    } else if (failure.isEmpty() && m_failed) {
        m_failed = false;
        Q_EMIT writeResumed();
    }
}

// After a failure the file's end is unknown; the copies are what it must hold.
void SessionJournal::rewrite(bool closed)
{
    m_lastTicket = m_writer->rewrite(journal::snapshotJournal(m_copies[0], m_copies[1], closed));
    m_sinceRetry = 0;
}

void SessionJournal::tick()
{
    if (!m_writer)
        return;
    checkWriter();
    if (m_failed) {
        m_sinceRetry += flushInterval;
        if (m_sinceRetry >= retryInterval)
            rewrite(false);
    }
}

void SessionJournal::writePending()
{
    if (m_writer)
        m_lastTicket = m_writer->writeNow();
}

bool SessionJournal::waitForWriter()
{
    m_writer->waitFor(m_lastTicket);
    checkWriter();
    return !m_failed;
}

bool SessionJournal::flush()
{
    if (!m_writer)
        return false;
    checkWriter();
    if (!m_failed) {
        writePending();
        if (waitForWriter())
            return true;
    }
    rewrite(false);
    return waitForWriter();
}

bool SessionJournal::close()
{
    if (!m_writer)
        return false;
    m_timer.stop();
    checkWriter();
    bool ok = false;
    if (!m_failed) {
        QByteArray record;
        journal::appendClosed(record);
        m_writer->addRecords(record);
        writePending();
        ok = waitForWriter();
    }
    if (!ok) {
        rewrite(true);
        ok = waitForWriter();
    }
    m_writer->stop();
    m_writer.reset();
    return ok;
}
