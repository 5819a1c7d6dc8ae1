#include "CamRecorder.h"

#include "CamGrabber.h"
#include "CamViewer.h"
#include "CaptureNames.h"
#include "SegmentWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutexLocker>
#include <QThread>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace {
constexpr qint64 MsPerMinute = 60000;
constexpr int NoFrameSleepMs = 3;
constexpr int FailedEncodeSleepMs = 3;
// Finishing a segment only writes its last fragment; a stop that takes longer than this
// is waited out still (ending the thread by force would leave the file unreadable), with a
// warning.
constexpr qint64 StopWarningMs = 10000;
// The recording thread sleeps off what one pass took beyond this...
constexpr qint64 PacingMs = 25;
// ...but never more than one camera frame interval allows: the time spent waiting for a
// picture counts into a pass, and sleeping off a camera or GUI stall would lose the first
// second of pictures after it.
constexpr int NominalFps = 30;
constexpr qint64 MaxPacingSleepMs = 1000 / NominalFps - PacingMs;
constexpr int SnapshotTries = 30;
constexpr int SnapshotRetrySleepUs = 5;
constexpr double ThumbnailScale = 0.1;
} // namespace

CamRecorder::CamRecorder(int segmentMinutes)
    : m_segmentMs(qint64(segmentMinutes) * MsPerMinute)
{ }

CamRecorder::~CamRecorder()
{
    stop();
}

void CamRecorder::setSegmentMs(qint64 segmentMs)
{
    m_segmentMs = std::max<qint64>(0, segmentMs);
}

void CamRecorder::setFrameObserver(FrameObserver observer)
{
    m_frameObserver = std::move(observer);
}

QString CamRecorder::segmentName(const QString& baseName, int counter)
{
    const QString suffix = QString::asprintf("-%03d", counter);
    // Only a "." inside the file's own name starts an extension, never one in a folder name.
    const int nameStart = baseName.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = baseName.lastIndexOf(QLatin1Char('.'));
    if (dot >= nameStart + 1)
        return baseName.left(dot) + suffix + baseName.mid(dot);
    return baseName + suffix;
}

bool CamRecorder::start(CamViewer* viewer, const QString& fileName)
{
    if (!viewer || fileName.isEmpty())
        return false;
    if (viewer->sourceWidth() < 1 || viewer->sourceHeight() < 1)
        return false;
    stop();
    m_viewer = viewer;
    m_segmentCounter = 0;
    m_baseFileName = fileName;
    m_files.clear();
    m_failed = false;
    m_started = openFile(m_baseFileName, false);
    return m_started;
}

bool CamRecorder::openFile(const QString& fileName, bool continuation)
{
    std::unique_ptr<SegmentWriter> writer
        = SegmentWriter::open(fileName.toLocal8Bit(), m_viewer->sourceWidth(), m_viewer->sourceHeight());
    if (!writer)
        return false;
    // Only a new recording sets the flag: a roll-over that set it again would undo a stop
    // given while the segment was being switched, and stop would then wait for ever.
    if (!continuation)
        m_running = true;
    m_writer = std::move(writer);
    // Listed before the thread starts: the thread names the thumbnail after it.
    m_files.append(fileName);
    if (!continuation) {
        m_viewer->setRecording(true);
        m_thread.start([this] { recordSegments(); });
    }
    return true;
}

void CamRecorder::recordSegments()
{
    for (;;) {
        const SegmentEnd end = recordSegment();
        // The lock stays held from closing one segment until the next is open, so a
        // snapshot never takes a frame of a file that is being closed.
        QMutexLocker locker(&m_lock);
        m_lastEncoded.reset();
        const bool whole = m_writer->finish();
        const bool kept = m_writer->hasPictures();
        m_writer.reset();
        if (end == SegmentEnd::WriteFailed || !whole) {
            const QString file = m_files.last();
            // A file that never got a whole fragment holds nothing: not handed on.
            if (!kept) {
                QFile::remove(file);
                QFile::remove(file + CaptureNames::kThumbnailSuffix);
                m_files.removeLast();
            }
            fail(file, kept);
            return;
        }
        if (end != SegmentEnd::RollOver || !m_running)
            return;
        ++m_segmentCounter;
        const QString next = segmentName(m_baseFileName, m_segmentCounter);
        if (!openFile(next, true)) {
            fail(next, false);
            return;
        }
    }
}

void CamRecorder::fail(const QString& file, bool kept)
{
    m_failed = true;
    // The view carries this over to the GUI thread, which owns its blink timer, and drops
    // it if a newer recording has switched the indicator on meanwhile.
    m_viewer->setRecording(false);
    emit writeFailed(file, kept);
}

CamRecorder::SegmentEnd CamRecorder::recordSegment()
{
    const qint64 segmentMs = m_segmentMs;
    const QString thumbnailName = m_files.last() + CaptureNames::kThumbnailSuffix;
    QElapsedTimer frameClock;
    QElapsedTimer segmentClock;
    frameClock.start();
    segmentClock.start();
    QElapsedTimer encodeClock;
    bool thumbnailDone = false;
    // Capture time of the segment's first frame (it starts at 0) and of the last one written.
    int64_t originUs = AV_NOPTS_VALUE;
    int64_t lastPts = -1;
    SegmentEnd end = SegmentEnd::Stopped;

    while (m_running) {
        ffmpeg::FramePtr frame = m_viewer->takeLastFrame();
        if (!frame) {
            QThread::msleep(NoFrameSleepMs);
            continue;
        }
        if (!thumbnailDone)
            saveFrame(frame.get(), thumbnailName, ThumbnailScale);

        if (originUs == AV_NOPTS_VALUE)
            originUs = frame->pts;
        int64_t pts
            = av_rescale(frame->pts - originUs, SegmentWriter::kTimeScale, CamGrabber::kCaptureTimeBase);
        // A clock that went back (a driver reset, a looping stand-in clip) would break the
        // file's time line: the picture follows the last one by a frame instead, and the
        // times after it count from there.
        if (pts <= lastPts) {
            pts = lastPts + SegmentWriter::kTimeScale / NominalFps;
            originUs = frame->pts - av_rescale(pts, CamGrabber::kCaptureTimeBase, SegmentWriter::kTimeScale);
        }
        frame->pts = pts;
        encodeClock.start();
        if (!m_writer->encode(frame.get())) {
            if (m_writer->failed())
                return SegmentEnd::WriteFailed;
            thumbnailDone = true;
            frame.reset();
            QThread::msleep(FailedEncodeSleepMs);
            continue;
        }
        const qint64 encodeNs = encodeClock.nsecsElapsed();
        {
            QMutexLocker locker(&m_lock);
            m_lastEncoded = std::move(frame);
        }
        lastPts = pts;
        if (m_frameObserver)
            m_frameObserver(encodeNs);

        const qint64 excessMs = frameClock.elapsed() - PacingMs;
        if (excessMs > 0)
            QThread::msleep(std::min(excessMs, MaxPacingSleepMs));
        frameClock.start();

        if (segmentMs != 0 && segmentClock.elapsed() > segmentMs) {
            end = SegmentEnd::RollOver;
            break;
        }
        thumbnailDone = true;
    }
    return end;
}

QStringList CamRecorder::stop()
{
    if (!m_started.exchange(false))
        return {};
    m_running = false;
    m_viewer->setRecording(false);
    if (!m_thread.join(QDeadlineTimer(StopWarningMs))) {
        qWarning("Recording is slow to finish its file; waiting for it");
        m_thread.join();
    }
    m_failed = false;
    QStringList existing;
    for (const QString& file : qAsConst(m_files)) {
        if (QFileInfo::exists(file))
            existing << file;
    }
    return existing;
}

bool CamRecorder::snapshot(CamViewer* viewer, const QString& fileName)
{
    if (!viewer || fileName.isEmpty())
        return false;
    ffmpeg::FramePtr frame;
    // After a failed write or roll-over the thread has ended and no frame is encoded any
    // more: the view is the source again.
    if (m_running && m_thread.isRunning()) {
        QMutexLocker locker(&m_lock);
        frame = std::move(m_lastEncoded);
    } else {
        for (int i = 0; i < SnapshotTries && !frame; ++i) {
            frame = viewer->takeLastFrame();
            if (!frame)
                QThread::usleep(SnapshotRetrySleepUs);
        }
    }
    if (!frame)
        return false;
    const bool saved = saveFrame(frame.get(), fileName, 1.0);
    if (saved)
        viewer->showSnapshotLabel();
    return saved;
}

bool CamRecorder::saveFrame(const AVFrame* frame, const QString& fileName, double scale)
{
    if (!frame || fileName.isEmpty() || !(scale > 0))
        return false;
    const int width = int(frame->width * scale);
    const int height = int(frame->height * scale);
    if (width < 1 || height < 1 || frame->width < 1 || frame->height < 1)
        return false;

    ffmpeg::FramePtr rgb(av_frame_alloc());
    if (!rgb)
        return false;
    rgb->format = AV_PIX_FMT_RGB24;
    rgb->width = width;
    rgb->height = height;
    if (av_frame_get_buffer(rgb.get(), 32) < 0)
        return false;

    const AVPixelFormat sourceFormat = frame->format >= 0 ? AVPixelFormat(frame->format) : AV_PIX_FMT_YUV420P;
    ffmpeg::SwsContextPtr scaler(sws_getContext(frame->width, frame->height, sourceFormat, width, height,
        AV_PIX_FMT_RGB24, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, rgb->data, rgb->linesize)
        != height)
        return false;

    const QImage image(rgb->data[0], width, height, rgb->linesize[0], QImage::Format_RGB888);
    return image.save(fileName);
}
