#include "OrthancServer.h"

#include "FreePort.h"
#include "ServerProcess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

namespace {
const int kStartWaitMs = 30000;
const int kRequestWaitMs = 10000;
} // namespace

OrthancServer::OrthancServer(const QString& aeTitle)
    : m_aeTitle(aeTitle)
{ }

OrthancServer::~OrthancServer()
{
    stop();
}

bool OrthancServer::writeConfiguration(QString* error) const
{
    const QString storage = m_folder.filePath(QStringLiteral("storage"));
    QJsonObject config {
        { QStringLiteral("Name"), QStringLiteral("Karvex test archive") },
        { QStringLiteral("DicomAet"), m_aeTitle },
        { QStringLiteral("DicomPort"), m_dicomPort },
        { QStringLiteral("HttpPort"), m_httpPort },
        { QStringLiteral("StorageDirectory"), storage },
        { QStringLiteral("IndexDirectory"), storage },
        { QStringLiteral("RemoteAccessAllowed"), false },
        { QStringLiteral("AuthenticationEnabled"), false },
        { QStringLiteral("DicomCheckCalledAet"), true },
        { QStringLiteral("DicomAlwaysAllowEcho"), true },
        { QStringLiteral("DicomAlwaysAllowStore"), true },
        // Every standard transfer syntax, the H.264 ones of the video objects included: the
        // station never asks the archive to convert, so what it sends must be taken as it is.
        { QStringLiteral("AcceptedTransferSyntaxes"), QJsonArray { QStringLiteral("1.2.840.10008.1.*") } },
        { QStringLiteral("H264TransferSyntaxAccepted"), true },
        { QStringLiteral("Plugins"), QJsonArray {} },
        { QStringLiteral("SaveJobs"), false },
        { QStringLiteral("ConcurrentJobs"), 1 },
        { QStringLiteral("HttpThreadsCount"), 4 },
    };
    for (auto option = m_options.constBegin(); option != m_options.constEnd(); ++option)
        config.insert(option.key(), option.value());
    QFile file(m_folder.filePath(QStringLiteral("orthanc.json")));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(config).toJson()) < 0) {
        if (error)
            *error = QStringLiteral("cannot write the Orthanc configuration: ") + file.errorString();
        return false;
    }
    return true;
}

bool OrthancServer::start(QString* error)
{
    if (isRunning())
        return true;
    if (!m_folder.isValid()) {
        if (error)
            *error = QStringLiteral("no temporary folder for Orthanc");
        return false;
    }
    if (m_dicomPort != 0)
        return launch(error); // again where the clients expect it
    // Another process may take a free port before Orthanc binds it: then try other ports.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_dicomPort = freeLocalPort();
        do
            m_httpPort = freeLocalPort();
        while (m_httpPort == m_dicomPort);
        if (launch(error))
            return true;
    }
    return false;
}

bool OrthancServer::launch(QString* error)
{
    if (!writeConfiguration(error))
        return false;
    delete m_process;
    m_process = new ServerProcess;
    m_process->start(QStringLiteral("/usr/sbin/Orthanc"),
        { QStringLiteral("--logdir=") + m_folder.path(), m_folder.filePath(QStringLiteral("orthanc.json")) });
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kStartWaitMs && m_process->state() != QProcess::NotRunning) {
        int status = 0;
        get(QStringLiteral("/system"), &status);
        if (status == 200 && m_process->state() == QProcess::Running)
            return true;
        QThread::msleep(100);
    }
    if (error)
        *error = QStringLiteral("Orthanc did not start: ") + QString::fromLocal8Bit(m_process->readAll());
    stop();
    return false;
}

void OrthancServer::stop()
{
    if (!m_process)
        return;
    m_process->stopWithin(10000);
    delete m_process;
    m_process = nullptr;
}

bool OrthancServer::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

QByteArray OrthancServer::get(const QString& path, int* httpStatus) const
{
    return request(path, nullptr, httpStatus);
}

QByteArray OrthancServer::post(const QString& path, const QByteArray& body, int* httpStatus) const
{
    return request(path, &body, httpStatus);
}

QJsonDocument OrthancServer::postJson(const QString& path, const QByteArray& body) const
{
    return QJsonDocument::fromJson(post(path, body));
}

QByteArray OrthancServer::request(const QString& path, const QByteArray* body, int* httpStatus) const
{
    if (httpStatus)
        *httpStatus = 0;
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_httpPort).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain"));
    QScopedPointer<QNetworkReply> reply(body ? manager.post(request, *body) : manager.get(request));
    QEventLoop loop;
    QObject::connect(reply.data(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kRequestWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!reply->isFinished()) {
        reply->abort();
        return {};
    }
    if (httpStatus)
        *httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        return {};
    return reply->readAll();
}

QJsonDocument OrthancServer::getJson(const QString& path) const
{
    return QJsonDocument::fromJson(get(path));
}
