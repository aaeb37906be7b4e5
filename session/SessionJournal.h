#pragma once

#include "algebra/KeyPoseListListener.h"
#include "session/JournalFormat.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QLockFile;

// The journal of this session's two pose lists, kept on disk so that a crash,
// a power cut or a kill loses at most the last second of work.
//
// It listens to the key-position and continuous lists (listener()) and keeps
// a copy of both. Each change becomes records (see JournalFormat.h) pending in
// memory; a writer thread appends them to the journal and syncs it to disk
// flushInterval after the first of them, so the GUI thread never waits for
// the disk and a change is on disk within flushInterval and a sync however
// long the GUI thread is busy. A clean exit (close(), or destruction) writes
// the rest and the Closed mark.
//
// The journal is "session.journal" in the directory, which one running
// program holds at a time ("session.lock"). It starts as a snapshot of the
// lists, written to a temporary file and renamed over the old journal, so
// its size follows the lists, not the session's history. When a write fails
// (a full disk), nothing more is appended; the journal is rewritten whole
// from the copy every retryInterval, and on flush() and close(), until it
// works again. Its owner uses it on the GUI thread only.
class SessionJournal : public QObject {
    Q_OBJECT
public:
    static constexpr int flushInterval = 500; // ms
    static constexpr int retryInterval = 10000; // ms

    explicit SessionJournal(const QString &directory, QObject *parent = nullptr);
    // Closes the journal: a destruction is a clean exit.
    ~SessionJournal() override;

    // $XDG_STATE_HOME/handmotion when XDG_STATE_HOME is an absolute path,
    // else ~/.local/state/handmotion.
    static QString defaultDirectory();
    QString directory() const { return m_directory; }
    // directory/session.journal
    QString path() const;
    // directory/last-session.journal
    QString keptAsidePath() const;

    // Creates the directory (owner only) when missing and takes it for this
    // process. False, with the reason, when it cannot be made or another
    // running program holds it.
    bool lock(QString *error = nullptr);
    // Moves the journal to keptAsidePath(), replacing what was there. True
    // when there was nothing to move. Needs lock().
    bool keepAside(QString *error = nullptr);
    // Starts journaling lists that hold these poses: the journal becomes
    // their snapshot (atomically) and records follow. Needs lock(). False,
    // with the reason, when the snapshot could not be written; the journal
    // then stays inactive and its listeners ignore every change.
    bool start(const std::vector<DualQuaternion> &keyPositions,
        const std::vector<DualQuaternion> &continuousPositions, QString *error = nullptr);
    bool isActive() const { return m_writer != nullptr; }

    // What the owner of a list attaches with KeyPoseList::setListener once
    // the list holds what start() was given. A listener seeing its list
    // differ from the journal's copy in length writes the list whole.
    KeyPoseListListener *listener(journal::JournalList list);
    // The journal's copy of a list: what a restore of it would give.
    const std::vector<DualQuaternion> &poses(journal::JournalList list) const;

    // Has the writer write what is pending now, without waiting for it.
    void writePending();
    // Writes everything so far and waits until it is on disk (or rewrites
    // the journal whole after a failure). False when it is not.
    bool flush();
    // flush() with the Closed mark, then stops: later changes are not
    // journaled (poses() keeps the last copies). True when the journal on
    // disk is whole and closed.
    bool close();

Q_SIGNALS:
    // The journal could not be written; the message says why. Emitted once
    // until writeResumed().
    void writeFailed(const QString &message);
    // A rewrite after a failure succeeded: the journal holds the lists again.
    void writeResumed();

private:
    class Observer;
    class Writer;

    std::vector<DualQuaternion> &copyOf(journal::JournalList list);
    void appended(journal::JournalList list, const KeyPoseList &source, const DualQuaternion &pose);
    void replaced(journal::JournalList list, const std::vector<DualQuaternion> &poses);
    void cleared(journal::JournalList list);
    void removed(journal::JournalList list, const KeyPoseList &source, int index);
    void moved(journal::JournalList list, const KeyPoseList &source, int from, int to);
    // Writes the list whole when the copy lost step with it.
    void keepInStep(journal::JournalList list, const KeyPoseList &source);
    void tick();
    void checkWriter();
    void rewrite(bool closed);
    bool waitForWriter();

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<Observer> m_observers[2];
    std::vector<DualQuaternion> m_copies[2];
    std::unique_ptr<Writer> m_writer;
    // Every flushInterval: reports a write failure or its end, and retries.
    QTimer m_timer;
    // The writer's ticket of the last job handed to it.
    std::uint64_t m_lastTicket = 0;
    bool m_failed = false;
    int m_sinceRetry = 0; // ms of ticks since a failure or the last rewrite after one
};
