#pragma once

#include "DicomNode.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

class ServerProcess;

// A real archive: Orthanc as a plain process on 127.0.0.1, with a temporary configuration and
// storage folder. The ports are chosen once, so a stopped server starts again where its
// clients expect it, with what it had stored ("the archive is down, then comes back").
class OrthancServer
{
public:
    explicit OrthancServer(const QString& aeTitle = QStringLiteral("ORTHANC"));
    ~OrthancServer();
    OrthancServer(const OrthancServer&) = delete;
    OrthancServer& operator=(const OrthancServer&) = delete;

    // Sets a configuration option for the next start, over the defaults (e.g. "LuaScripts").
    void setOption(const QString& key, const QJsonValue& value) { m_options.insert(key, value); }

    // Starts Orthanc and waits until its REST interface answers; false (and the reason in
    // `error`, with Orthanc's own output) when it does not within 30 s.
    bool start(QString* error = nullptr);
    void stop();
    bool isRunning() const;

    QString aeTitle() const { return m_aeTitle; }
    quint16 dicomPort() const { return m_dicomPort; }
    quint16 httpPort() const { return m_httpPort; }
    DicomNode node() const { return { m_aeTitle, QStringLiteral("127.0.0.1"), m_dicomPort }; }

    // GET on the REST interface, e.g. "/instances" or "/instances/<id>/file"; empty when the
    // request fails. `httpStatus` receives the HTTP status (0 without an answer).
    QByteArray get(const QString& path, int* httpStatus = nullptr) const;
    QJsonDocument getJson(const QString& path) const;
    // POST on the REST interface, e.g. "/tools/lookup" with a UID as the body.
    QByteArray post(const QString& path, const QByteArray& body, int* httpStatus = nullptr) const;
    QJsonDocument postJson(const QString& path, const QByteArray& body) const;

private:
    bool launch(QString* error);
    bool writeConfiguration(QString* error) const;
    QByteArray request(const QString& path, const QByteArray* body, int* httpStatus) const;

    QString m_aeTitle;
    QJsonObject m_options;
    QTemporaryDir m_folder;
    quint16 m_dicomPort = 0;
    quint16 m_httpPort = 0;
    ServerProcess* m_process = nullptr;
};
