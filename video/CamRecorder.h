#pragma once

#include "FfmpegPtr.h"
#include "WorkerThread.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

struct AVFrame;
class CamViewer;
class SegmentWriter;

// Records the view's frames as H.264 in fragmented MP4 segments (with thumbnails) on a
// thread of its own, and writes full-size snapshots on the caller's thread.
class CamRecorder : public QObject
{
    Q_OBJECT
public:
    explicit CamRecorder(int segmentMinutes);
    ~CamRecorder() override;

    // Segment length in milliseconds for tests and the bench (0 never rolls over).
    void setSegmentMs(qint64 segmentMs);

    bool start(CamViewer* viewer, const QString& fileName);
    // Ends the recording (also one that ended itself on a write error) and gives its files
    // that exist, once; empty when no recording was started since the last stop.
    QStringList stop();
    // The recording ended itself because its file could not be written further; stop() has
    // not been called for it yet.
    bool hasFailed() const { return m_failed; }
    bool snapshot(CamViewer* viewer, const QString& fileName);
    static bool saveFrame(const AVFrame* frame, const QString& fileName, double scale);

    // The name of segment `counter` (1, 2, ...) of a recording started as baseName.
    static QString segmentName(const QString& baseName, int counter);

    // Bench aid: called on the recording thread after each frame went through the encoder
    // and muxer, with the nanoseconds that took. Set it while not recording.
    using FrameObserver = std::function<void(qint64 encodeNs)>;
    void setFrameObserver(FrameObserver observer);

signals:
    // Sent from the recording thread (connect it queued) when a file could not be written
    // further: the recording has ended. `file` is the one cut short, or the segment that
    // could not be started; `kept` says whether it holds pictures that play.
    void writeFailed(const QString& file, bool kept);

private:
    enum class SegmentEnd { Stopped, RollOver, WriteFailed };
    // The recording thread's work: one segment after another until stop or a failed write.
    void recordSegments();
    bool openFile(const QString& fileName, bool continuation);
    // Feeds the open segment until stop, until its time is up or until a write fails.
    SegmentEnd recordSegment();
    void fail(const QString& file, bool kept);

    std::atomic<bool> m_running { false };
    std::atomic<bool> m_failed { false };
    // A recording was started and its files were not handed on by stop() yet.
    std::atomic<bool> m_started { false };
    std::atomic<qint64> m_segmentMs;
    int m_segmentCounter = 0;
    QString m_baseFileName;
    QStringList m_files;
    CamViewer* m_viewer = nullptr;
    std::unique_ptr<SegmentWriter> m_writer;
    // Guards the last encoded frame (m_lastEncoded); held as well from closing one segment
    // until the next is open. Lock order: this one, then the view's, then the grabber's.
    QMutex m_lock;
    ffmpeg::FramePtr m_lastEncoded;
    FrameObserver m_frameObserver;
    // Declared last: destroyed (and so joined) before anything the thread works on.
    WorkerThread m_thread;
};
