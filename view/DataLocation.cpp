#include "view/DataLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// The data directory relative to the executable's directory; the build sets
// it from the install layout.
#ifndef HANDMOTION_DATA_FROM_BINARY
#define HANDMOTION_DATA_FROM_BINARY "../share/handmotion"
#endif

namespace {

bool isReadableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

} // namespace

QString installedDataDirectory(const QString &executableDirectory)
{
    return QDir::cleanPath(
        QDir(executableDirectory).filePath(QStringLiteral(HANDMOTION_DATA_FROM_BINARY)));
}

QString locateDataFile(const QString &relativePath, const QString &executableDirectory)
{
    if (isReadableFile(relativePath))
        return relativePath;
    if (!executableDirectory.isEmpty()) {
        const QString installed
            = QDir(installedDataDirectory(executableDirectory)).filePath(relativePath);
        if (isReadableFile(installed))
            return installed;
    }
    return relativePath;
}

QString locateDataFile(const QString &relativePath)
{
    // applicationDirPath() resolves symbolic links: a link to the program in
    // ~/bin still finds the data beside the real executable.
    return locateDataFile(relativePath,
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
}
