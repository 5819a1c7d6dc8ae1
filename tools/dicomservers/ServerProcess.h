#pragma once

#include <QProcess>

// A server started for a test or a benchmark. It dies with the process that started it, even
// when that one crashes or is killed by a test time-out, so no server outlives its test.
class ServerProcess : public QProcess
{
public:
    explicit ServerProcess(QObject* parent = nullptr);
    ~ServerProcess() override;

    // Asks the server to end (SIGTERM), and kills it when it has not ended within `waitMs`.
    void stopWithin(int waitMs);

protected:
    void setupChildProcess() override;
};
