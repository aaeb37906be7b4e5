#include "bench/support/Recordings.h"

#include <QDir>

namespace bench {

QStringList recordingFiles()
{
    QString directory = qEnvironmentVariable("HANDMOTION_RECORDINGS");
    if (directory.isEmpty())
        directory = QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv");
    const QDir dir(directory);
    QStringList files;
    for (const QString &name : dir.entryList({ QStringLiteral("*.csv") }, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

} // namespace bench
