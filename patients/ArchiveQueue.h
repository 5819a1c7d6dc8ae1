#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>

class ArchiveWorker;

// Sends the records marked "waiting" to the archive, one worker thread for the whole
// program, so that converting and sending never hold up a window. A pass starts when a record
// is marked (wake), at program start and every retryInterval; the periodic and the first pass
// also retry the records that failed. Records whose state changed are announced with
// statesChanged, on the GUI thread.
class ArchiveQueue : public QObject
{
    Q_OBJECT
public:
    // Five minutes between retries; the environment variable KARVEX_ARCHIVE_RETRY_MS, read
    // at creation, or setRetryInterval make it shorter (tests).
    static constexpr int kRetryIntervalMs = 5 * 60 * 1000;

    // The queue, created on first use (not yet started).
    static ArchiveQueue* instance();

    // Starts the worker and a first pass over waiting and failed records; once only.
    void start();
    // A pass over the waiting records soon (starts the queue when needed).
    void wake();
    void setRetryInterval(int milliseconds);
    int retryInterval() const;

    ~ArchiveQueue() override;

signals:
    void statesChanged();
    // Internal: hands a pass to the worker thread.
    void passRequested(bool withFailed);

private:
    explicit ArchiveQueue(QObject* parent);

    QThread thread;
    QTimer retryTimer;
    ArchiveWorker* worker = nullptr;
};
