#pragma once

#include "DicomNode.h"
#include "DicomStatus.h"

#include <QFutureWatcher>
#include <QObject>

// Runs one verification (C-ECHO) on the global thread pool and reports back on the GUI
// thread. Destroying the owner while a check runs drops its result: the watcher goes with
// it, and the worker touches nothing but its own copies of the values.
class ServerCheck : public QObject
{
    Q_OBJECT
public:
    explicit ServerCheck(QObject* parent = nullptr);

    void start(const QString& callingAeTitle, const DicomNode& called, int timeoutSeconds);
    bool isRunning() const { return m_watcher.isRunning(); }

signals:
    void finished(const DicomStatus& status);

private:
    QFutureWatcher<DicomStatus> m_watcher;
};
