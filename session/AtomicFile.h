#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Writing files so that a crash, a power cut or a full disk at any moment
// leaves them whole: the one way the program replaces a file it writes (the
// session journal, an exported motion).

// Makes path hold exactly bytes: a temporary file beside it is written and
// synced, then renamed over it, then the directory is synced, so that path
// holds either its old content or the new one. A symbolic link is followed
// and its target replaced; an existing file keeps its permissions, a new
// one gets newFilePermissions less the umask. False, with the reason and
// path untouched, when the file or its directory cannot be written; nothing
// is left beside it.
bool replaceFileAtomically(
    const QString &path, const QByteArray &bytes, QString *error, mode_t newFilePermissions = 0666);

// Writes all of bytes to the open descriptor fd, going on after an
// interrupted call. False with the reason ("cannot write WHAT: ...").
bool writeAllBytes(int fd, const QByteArray &bytes, const QString &what, QString *error);

// Syncs a directory, so that a rename or a new file in it lasts. False with
// the reason.
bool syncDirectory(const QString &directory, QString *error);

// "what: the system's message for error".
QString systemError(const QString &what, int error);
