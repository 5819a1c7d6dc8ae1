#include "SmallFileSystem.h"

#include <QDir>

#include <sys/mount.h>
#include <unistd.h>

SmallFileSystem::SmallFileSystem(const QString& folder, const QString& options)
    : m_folder(QDir(folder).absolutePath())
{
    if (geteuid() != 0 || !QDir().mkpath(m_folder))
        return;
    const QByteArray target = QFile::encodeName(m_folder);
    const QByteArray data = options.toLatin1();
    const unsigned long flags = options.split(',').contains(QStringLiteral("ro")) ? MS_RDONLY : 0;
    m_mounted = ::mount("tmpfs", target.constData(), "tmpfs", flags, data.constData()) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}
