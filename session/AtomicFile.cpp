#include "session/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where a link at path finally points; path itself when it is no link (or a
// circle of links).
QString finalTarget(const QString &path)
{
    QString current = path;
    for (int depth = 0; depth < 40; ++depth) {
        const QFileInfo info(current);
        const QString target = info.isSymLink() ? info.symLinkTarget() : QString();
        if (target.isEmpty())
            return current;
        current = target;
    }
    return path;
}

// Creates a file of its own beside path: path.XXXXXX with random letters.
int createBeside(const QString &path, mode_t permissions, QString *name, QString *error)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
        *name = path + QLatin1Char('.') + suffix;
        const int fd = ::open(QFile::encodeName(*name).constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
        if (fd >= 0 || errno != EEXIST) {
            if (fd < 0)
                *error = systemError(QStringLiteral("cannot create %1").arg(*name), errno);
            return fd;
        }
    }
    *error = QStringLiteral("cannot create a file beside %1").arg(path);
    return -1;
}

} // namespace

QString systemError(const QString &what, int error)
{
    return QStringLiteral("%1: %2").arg(what, qt_error_string(error));
}

bool writeAllBytes(int fd, const QByteArray &bytes, const QString &what, QString *error)
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

bool replaceFileAtomically(
    const QString &path, const QByteArray &bytes, QString *error, mode_t newFilePermissions)
{
    const QString target = finalTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing;
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    // A file its owner made read-only stays as it is, as an open for writing
    // would leave it.
    if (exists && ::access(targetName.constData(), W_OK) != 0) {
        *error = systemError(QStringLiteral("cannot write %1").arg(target), errno);
        return false;
    }
    QString temporary;
    const int fd = createBeside(target, newFilePermissions, &temporary, error);
    if (fd < 0)
        return false;
    const QByteArray temporaryName = QFile::encodeName(temporary);
    bool ok = true;
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0) {
        *error
            = systemError(QStringLiteral("cannot set the permissions of %1").arg(temporary), errno);
        ok = false;
    }
    ok = ok && writeAllBytes(fd, bytes, temporary, error);
    if (ok && ::fsync(fd) != 0) {
        *error = systemError(QStringLiteral("cannot sync %1").arg(temporary), errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *error = systemError(QStringLiteral("cannot close %1").arg(temporary), errno);
        ok = false;
    }
    if (ok && ::rename(temporaryName.constData(), targetName.constData()) != 0) {
        *error
            = systemError(QStringLiteral("cannot rename %1 to %2").arg(temporary, target), errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporaryName.constData());
        return false;
    }
    return syncDirectory(QFileInfo(target).absolutePath(), error);
}
