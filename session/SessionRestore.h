#pragma once

#include "algebra/DualQuaternion.h"
#include "session/JournalFormat.h"

#include <QString>

#include <functional>
#include <vector>

class PoseSession;
class SessionJournal;

// What a session does with the journal when it starts, with a window or
// without: the question it asks and what each answer does to the files.

// "Restore 12 key positions and 3,408 continuous poses from the last
// session?": counts with thousands separators, "1 key position" and
// "1 continuous pose" in the singular, a list with no poses left out unless
// both are empty.
QString restoreQuestionText(qint64 keyPositions, qint64 continuousPoses);

// One or two sentences on what of the journal could not be read, for the
// question's details and the status bar; empty when nothing was lost.
QString journalLossText(const journal::JournalContents &contents);

// The journal of a session that did not end cleanly and holds poses.
bool offersRestore(const journal::JournalContents &contents);

// Shows the question with its details; true for Yes.
using RestoreQuestion = std::function<bool(const QString &question, const QString &details)>;

struct SessionStart {
    // The lists the session starts with: the restored ones, or empty.
    std::vector<DualQuaternion> keyPositions;
    std::vector<DualQuaternion> continuousPositions;
    bool restored = false;
    // The journal is active: attach its listeners to the lists.
    bool journaling = false;
    // For the status bar: what was kept aside or lost, or why this session
    // is not journaled; empty when all went as it should.
    QString message;
};

// Starts a session with the journal: takes its directory, reads what the
// last session left, asks (through ask) whether to restore it when
// offersRestore(), and starts the journal with the lists the session begins
// with, which compacts it. A journal not restored in full (the answer No, a
// damaged or unreadable journal, one that ended cleanly with poses) is first
// kept aside as last-session.journal. Reading is bounded; nothing here
// blocks for long or throws. When the journal cannot be used the session
// still starts, unjournaled, with the lists that could be restored.
SessionStart startSession(SessionJournal &journal, const RestoreQuestion &ask);

// startSession(journal, ask) for the lists of session: they start as
// restored, and every change of them is journaled from now on when the
// journal is active.
SessionStart startSession(
    PoseSession &session, SessionJournal &journal, const RestoreQuestion &ask);
