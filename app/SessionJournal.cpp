#include "app/SessionJournal.h"

#include "algebra/KeyPoseList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <algorithm>
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

namespace {

QString systemError(const QString &what, int error)
{
    return QStringLiteral("%1: %2").arg(what, qt_error_string(error));
}

bool writeAll(int fd, const QByteArray &bytes, const QString &what, QString *error)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = systemError(QStringLiteral("cannot write %1").arg(what), n < 0 ? errno : EIO);
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// A rename or a new file lasts only once the directory that names it is on
// disk too.
bool syncDirectory(const QString &directory, QString *error)
{
    const int fd
        = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        *error = systemError(QStringLiteral("cannot sync %1").arg(directory), errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

// Makes path hold exactly bytes, so that after a crash at any moment it holds
// either its old content or the new: a temporary file beside it is written
// and synced, then renamed over it, then the directory is synced.
bool replaceAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QString temporary = path + QStringLiteral(".new");
    const QByteArray name = QFile::encodeName(temporary);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = systemError(QStringLiteral("cannot create %1").arg(temporary), errno);
        return false;
    }
    bool ok = writeAll(fd, bytes, temporary, error);
    if (ok && ::fsync(fd) != 0) {
        *error = systemError(QStringLiteral("cannot sync %1").arg(temporary), errno);
        ok = false;
    }
    ::close(fd);
    if (ok && ::rename(name.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = systemError(QStringLiteral("cannot rename %1 to %2").arg(temporary, path), errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(name.constData());
        return false;
    }
    return syncDirectory(QFileInfo(path).absolutePath(), error);
}

} // namespace

// Owns the journal file and the thread that writes it. Jobs run in the order
// they were handed over: appends, written in one go and synced once per
// wake-up, and rewrites of the whole file. After a failure it drops appends
// (the file may end in half a record) until a rewrite works.
class SessionJournal::Writer {
public:
    explicit Writer(const QString &path)
        : m_path(path)
        , m_thread(&Writer::run, this)
    {
    }
    ~Writer() { stop(); }

    std::uint64_t append(QByteArray bytes) { return queue(false, std::move(bytes)); }
    std::uint64_t rewrite(QByteArray wholeFile) { return queue(true, std::move(wholeFile)); }

    // Waits until the job of ticket and all before it are done; returns the
    // failure then, empty when the file holds what it was given.
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

    // Finishes the jobs handed over, then ends the thread and closes the file.
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
    struct Job {
        bool rewrite;
        QByteArray bytes;
    };

    std::uint64_t queue(bool rewrite, QByteArray bytes)
    {
        std::uint64_t ticket;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_jobs.push_back(Job { rewrite, std::move(bytes) });
            ticket = ++m_queued;
        }
        m_wake.notify_one();
        return ticket;
    }

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                break;
            std::deque<Job> jobs;
            jobs.swap(m_jobs);
            const std::uint64_t upTo = m_queued;
            QString failure = m_failure;
            lock.unlock();

            bool unsynced = false;
            for (const Job &job : jobs) {
                if (job.rewrite) {
                    closeFile();
                    failure.clear();
                    if (replaceAtomically(m_path, job.bytes, &failure))
                        openForAppend(&failure);
                    unsynced = false;
                } else if (failure.isEmpty() && writeAll(m_fd, job.bytes, m_path, &failure)) {
                    unsynced = true;
                }
            }
            // The data and the file's length; nothing else matters to a reader.
            if (unsynced && failure.isEmpty() && ::fdatasync(m_fd) != 0)
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
    int m_fd = -1; // the writer thread's alone
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_doneChanged;
    std::deque<Job> m_jobs;
    std::uint64_t m_queued = 0;
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
    connect(&m_timer, &QTimer::timeout, this, &SessionJournal::writePending);
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
        auto writer = std::make_unique<Writer>(path());
        const std::uint64_t ticket
            = writer->rewrite(journal::snapshotJournal(keyPositions, continuousPositions));
        reason = writer->waitFor(ticket);
        if (reason.isEmpty()) {
            m_copies[0] = keyPositions;
            m_copies[1] = continuousPositions;
            m_batch.clear();
            m_run.clear();
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
    if (!m_run.empty() && m_runList != list)
        encodeRun();
    m_runList = list;
    m_run.push_back(pose);
    keepInStep(list, source);
}

void SessionJournal::replaced(JournalList list, const std::vector<DualQuaternion> &poses)
{
    if (!m_writer)
        return;
    encodeRun();
    copyOf(list) = poses;
    journal::appendPoses(m_batch, list, true, poses.data(), poses.size());
}

void SessionJournal::cleared(JournalList list)
{
    if (!m_writer)
        return;
    encodeRun();
    copyOf(list).clear();
    journal::appendClear(m_batch, list);
}

void SessionJournal::removed(JournalList list, const KeyPoseList &source, int index)
{
    if (!m_writer)
        return;
    encodeRun();
    std::vector<DualQuaternion> &copy = copyOf(list);
    if (index < 0 || size_t(index) >= copy.size()) {
        replaced(list, source.poses());
        return;
    }
    copy.erase(copy.begin() + index);
    journal::appendRemove(m_batch, list, std::uint32_t(index));
    keepInStep(list, source);
}

void SessionJournal::moved(JournalList list, const KeyPoseList &source, int from, int to)
{
    if (!m_writer)
        return;
    encodeRun();
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
    journal::appendMove(m_batch, list, std::uint32_t(from), std::uint32_t(to));
    keepInStep(list, source);
}

void SessionJournal::keepInStep(JournalList list, const KeyPoseList &source)
{
    if (copyOf(list).size() != size_t(source.size())) {
        encodeRun();
        replaced(list, source.poses());
    }
}

void SessionJournal::encodeRun()
{
    if (m_run.empty())
        return;
    journal::appendPoses(m_batch, m_runList, false, m_run.data(), m_run.size());
    m_run.clear();
}

void SessionJournal::checkWriter()
{
    const QString failure = m_writer->failure();
    if (!failure.isEmpty() && !m_failed) {
        m_failed = true;
        Q_EMIT writeFailed(failure);
    } else if (failure.isEmpty() && m_failed) {
        m_failed = false;
        Q_EMIT writeResumed();
    }
}

// After a failure the file's end is unknown; the copies are what it must hold.
void SessionJournal::rewrite(bool closed)
{
    m_run.clear();
    m_batch.clear();
    m_lastTicket = m_writer->rewrite(journal::snapshotJournal(m_copies[0], m_copies[1], closed));
    m_sinceRetry = 0;
}

void SessionJournal::writePending()
{
    if (!m_writer)
        return;
    checkWriter();
    if (m_failed) {
        m_sinceRetry += flushInterval;
        if (m_sinceRetry >= retryInterval)
            rewrite(false);
        return;
    }
    encodeRun();
    if (!m_batch.isEmpty()) {
        m_lastTicket = m_writer->append(std::move(m_batch));
        m_batch = QByteArray();
    }
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
        encodeRun();
        journal::appendClosed(m_batch);
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
