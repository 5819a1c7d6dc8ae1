#pragma once

#include <QDeadlineTimer>
#include <QThread>

#include <functional>
#include <memory>

// A thread its owner starts with a piece of work and joins: the work itself watches a stop
// flag of the owner's, so a join normally ends as soon as that flag is seen. The thread is
// private to its owner, so nobody else can restart, wait on or terminate it.
class WorkerThread
{
public:
    WorkerThread() = default;
    // Joins whatever still runs: work must never outlive the object it works on.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs work on a new thread; the previous one must have been joined.
    void start(std::function<void()> work, QThread::Priority priority = QThread::InheritPriority);
    // The work was started and has not returned yet.
    bool isRunning() const;
    // Waits until the work has returned or the deadline has passed; true when it returned
    // (or none was started).
    bool join(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));
    // The last resort for work stuck inside a call that never looks at its stop flag (a
    // driver blocking in a read): ends the thread wherever it is, then joins it. Whatever
    // that work held stays as it was; use it only where nothing else can end the wait.
    void terminate();

private:
    std::unique_ptr<QThread> m_thread;
};
