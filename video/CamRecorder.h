#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVStream;
class CamViewer;

// Records the view's frames as H.264 in fragmented MP4 segments (with thumbnails) on a
// thread of its own, and writes full-size snapshots on the caller's thread.
class CamRecorder : public QThread
{
public:
    explicit CamRecorder(int segmentMinutes);
    ~CamRecorder() override;

    // Segment length in milliseconds for tests and the bench (0 never rolls over).
    void setSegmentMs(qint64 segmentMs);

    bool start(CamViewer* viewer, const QString& fileName);
    QStringList stop();
    bool snapshot(CamViewer* viewer, const QString& fileName);
    static bool saveFrame(const AVFrame* frame, const QString& fileName, double scale);

protected:
    void run() override;
};
