#include "session/SessionRestore.h"

#include "session/PoseSession.h"
#include "session/SessionJournal.h"

#include <QLocale>
#include <QStringList>

using journal::JournalContents;

namespace {

QString number(qint64 n) { return QLocale(QLocale::English).toString(n); }

QString counted(qint64 n, const char *one, const char *many)
{
    return number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

} // namespace

QString restoreQuestionText(qint64 keyPositions, qint64 continuousPoses)
{
    QStringList parts;
    if (keyPositions > 0 || continuousPoses == 0)
        parts << counted(keyPositions, "key position", "key positions");
    if (continuousPoses > 0 || keyPositions == 0)
        parts << counted(continuousPoses, "continuous pose", "continuous poses");
    return QStringLiteral("Restore %1 from the last session?")
        .arg(parts.join(QStringLiteral(" and ")));
}

QString journalLossText(const JournalContents &c)
{
    if (c.lostBytes <= 0)
        return QString();
    if (c.state != JournalContents::State::Read)
        return QStringLiteral("The journal of the last session could not be read: %1.")
            .arg(c.problem);
    QString lost = QStringLiteral("%1 from there on").arg(counted(c.lostBytes, "byte", "bytes"));
    if (c.lostRecords > 0)
        lost += QStringLiteral(", holding at least %1,")
                    .arg(counted(c.lostRecords, "record", "records"));
    return QStringLiteral("Only part of the last session could be read: %1, and the %2 could not "
                          "be restored.")
        .arg(c.problem, lost);
}

bool offersRestore(const JournalContents &c)
{
    return c.state == JournalContents::State::Read && !c.closed && c.poseCount() > 0;
}

SessionStart startSession(SessionJournal &journal, const RestoreQuestion &ask)
{
    SessionStart start;
    QString error;
    if (!journal.lock(&error)) {
        start.message = QStringLiteral("This session is not kept in a journal: %1.").arg(error);
        return start;
    }
    const JournalContents previous = journal::readJournalFile(journal.path());
    const bool restore = offersRestore(previous) && ask
        && ask(restoreQuestionText(qint64(previous.keyPositions.size()),
                   qint64(previous.continuousPositions.size())),
            journalLossText(previous));
    if (restore) {
        start.keyPositions = previous.keyPositions;
        start.continuousPositions = previous.continuousPositions;
        start.restored = true;
    }

    // Nothing is worth keeping of a whole journal without poses, nor of one
    // restored in full; anything else would be lost to the new session.
    const bool empty = previous.fileBytes == 0
        || (previous.state == JournalContents::State::Read && previous.poseCount() == 0
            && previous.lostBytes == 0);
    const bool keep = !empty && !(restore && previous.lostBytes == 0);
    if (keep && !journal.keepAside(&error)) {
        // Starting now would overwrite the only copy.
        start.message = QStringLiteral("This session is not kept in a journal: %1.").arg(error);
        return start;
    }
    if (!journal.start(start.keyPositions, start.continuousPositions, &error)) {
        start.message = QStringLiteral("This session is not kept in a journal: %1.").arg(error);
        return start;
    }
    start.journaling = true;
    if (previous.lostBytes > 0)
        start.message = journalLossText(previous)
            + QStringLiteral(" The journal was kept as %1.").arg(journal.keptAsidePath());
    return start;
}

SessionStart startSession(PoseSession &session, SessionJournal &journal, const RestoreQuestion &ask)
{
    SessionStart start = startSession(journal, ask);
    if (start.restored)
        session.restorePositions(start.keyPositions, start.continuousPositions);
    if (start.journaling)
        session.setListListeners(journal.listener(journal::JournalList::KeyPositions),
            journal.listener(journal::JournalList::ContinuousPositions));
    return start;
}
