#pragma once

#include "DicomNode.h"
#include "WorklistEntry.h"

#include <QString>
#include <QTemporaryDir>

class ServerProcess;

// A real modality worklist: DCMTK's wlmscpfs on a free 127.0.0.1 port, answering for
// `aeTitle` from a temporary folder of .wl files (made with dump2dcm). Items may be added
// while it runs: it reads the folder at every query.
class WorklistServer
{
public:
    explicit WorklistServer(const QString& aeTitle = QStringLiteral("WORKLIST"));
    ~WorklistServer();
    WorklistServer(const WorklistServer&) = delete;
    WorklistServer& operator=(const WorklistServer&) = delete;

    // Starts wlmscpfs and waits until it accepts connections (10 s at most).
    bool start(QString* error = nullptr);
    void stop();
    bool isRunning() const;

    QString aeTitle() const { return m_aeTitle; }
    quint16 port() const { return m_port; }
    DicomNode node() const { return { m_aeTitle, QStringLiteral("127.0.0.1"), m_port }; }

    // Adds an item from dump2dcm input, taken byte for byte (so values may be in any character
    // set the dump's (0008,0005) names); false and dump2dcm's output in `error` when it cannot
    // be made.
    bool addDump(const QByteArray& dump, QString* error = nullptr);
    bool addEntry(const WorklistEntry& entry, QString* error = nullptr)
    {
        return addDump(entry.toDump().toUtf8(), error);
    }

private:
    bool launch(QString* error);

    QString m_aeTitle;
    QTemporaryDir m_folder;
    quint16 m_port = 0;
    int m_items = 0;
    ServerProcess* m_process = nullptr;
};
