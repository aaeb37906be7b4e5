#pragma once

#include <QString>
#include <QTemporaryDir>

// A directory for a target that fails: a 16 KiB file system of its own,
// mounted on a temporary directory where that is permitted (as root), which
// can be filled up or made read-only; else a plain temporary directory that
// only its permission bits make read-only, which binds everyone but root.
// Unmounted with the object.
class FailingTargetDirectory {
public:
    FailingTargetDirectory();
    ~FailingTargetDirectory();
    FailingTargetDirectory(const FailingTargetDirectory &) = delete;
    FailingTargetDirectory &operator=(const FailingTargetDirectory &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    bool isSmallFileSystem() const { return m_mounted; }
    // Why there is no small file system.
    QString mountError() const { return m_mountError; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes a file that takes every byte left on the small file system.
    bool fill();
    // Remounts the small file system read-only, or takes the write
    // permission from the directory and the files in it.
    bool makeReadOnly();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_mountError;
};
