#include "WorklistServer.h"

#include "FreePort.h"
#include "ServerProcess.h"

#include <QDir>
#include <QFile>

WorklistServer::WorklistServer(const QString& aeTitle)
    : m_aeTitle(aeTitle)
{
    // wlmscpfs answers a called AE title only when the data folder has a subfolder of that
    // name, and works on it only with a lock file in it.
    QDir(m_folder.path()).mkpath(m_aeTitle);
    QFile lock(m_folder.filePath(m_aeTitle + QStringLiteral("/lockfile")));
    lock.open(QIODevice::WriteOnly);
}

WorklistServer::~WorklistServer()
{
    stop();
}

bool WorklistServer::start(QString* error)
{
    if (isRunning())
        return true;
    if (m_port != 0)
        return launch(error);
    // Another process may take a free port before wlmscpfs binds it: then try another one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freeLocalPort();
        if (launch(error))
            return true;
    }
    return false;
}

bool WorklistServer::launch(QString* error)
{
    delete m_process;
    m_process = new ServerProcess;
    // Single process: no forked children that could outlive the server. The files' own
    // character set is returned, so UTF-8 names reach the client as UTF-8.
    m_process->start(QStringLiteral("wlmscpfs"),
        { QStringLiteral("--single-process"), QStringLiteral("--keep-char-set"),
            QStringLiteral("--disable-host-lookup"), QStringLiteral("--data-files-path"), m_folder.path(),
            QString::number(m_port) });
    if (m_process->waitForStarted(5000) && waitForListener(m_port, 10000)
        && m_process->state() == QProcess::Running)
        return true;
    if (error)
        *error = QStringLiteral("wlmscpfs did not start: ") + QString::fromLocal8Bit(m_process->readAll());
    stop();
    return false;
}

void WorklistServer::stop()
{
    if (!m_process)
        return;
    m_process->stopWithin(5000);
    delete m_process;
    m_process = nullptr;
}

bool WorklistServer::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool WorklistServer::addDump(const QByteArray& dump, QString* error)
{
    const QString base = m_folder.filePath(m_aeTitle + QStringLiteral("/item%1").arg(++m_items));
    QFile text(base + QStringLiteral(".dump"));
    if (!text.open(QIODevice::WriteOnly) || text.write(dump) < 0) {
        if (error)
            *error = text.errorString();
        return false;
    }
    text.close();
    QProcess dump2dcm;
    dump2dcm.setProcessChannelMode(QProcess::MergedChannels);
    // Written to a side name first: a query running meanwhile never reads half a file.
    dump2dcm.start(QStringLiteral("dump2dcm"), { text.fileName(), base + QStringLiteral(".part") });
    const bool made = dump2dcm.waitForFinished(10000) && dump2dcm.exitStatus() == QProcess::NormalExit
        && dump2dcm.exitCode() == 0;
    if (!made || !QFile::rename(base + QStringLiteral(".part"), base + QStringLiteral(".wl"))) {
        if (error)
            *error = QStringLiteral("dump2dcm failed: ") + QString::fromLocal8Bit(dump2dcm.readAll());
        return false;
    }
    return true;
}
