#include "tests/support/FailingTargetDirectory.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

FailingTargetDirectory::FailingTargetDirectory()
{
    if (!m_dir.isValid())
        return;
    const QByteArray path = QFile::encodeName(m_dir.path());
    m_mounted = ::mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=16k") == 0;
    if (!m_mounted)
        m_mountError = QString::fromLocal8Bit(std::strerror(errno));
}

FailingTargetDirectory::~FailingTargetDirectory()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    else
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool FailingTargetDirectory::fill()
{
    if (!m_mounted)
        return false;
    QFile filler(filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(512, 'x');
    while (filler.write(block) == block.size()) { }
    return true;
}

bool FailingTargetDirectory::makeReadOnly()
{
    if (m_mounted)
        return ::mount(nullptr, QFile::encodeName(m_dir.path()).constData(), nullptr,
                   MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr)
            == 0;
    const QDir dir(m_dir.path());
    for (const QString &name : dir.entryList(QDir::Files))
        QFile::setPermissions(dir.filePath(name), QFile::ReadOwner);
    return QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
}
