#pragma once

#include <QSize>
#include <QString>

// Re-encodes a recording to H.264 High profile at level 4.1 (yuv420p, limited range) in a
// plain MP4 whose index comes first, as a DICOM video object holds it. Every frame keeps its
// time stamp and duration, so the new file plays exactly as long as the recording.
class VideoReencoder
{
public:
    struct Result {
        QString error; // empty on success: why the video could not be made
        int frames = 0;
        double durationSeconds = 0.0;
        QSize size;
    };

    static Result reencode(const QString& videoPath, const QString& mp4Path);

    // The largest size of the same shape that level 4.1 allows at this frame rate (frame size
    // and macroblock rate); a size that fits already is kept.
    static QSize fittingSize(const QSize& size, double framesPerSecond);
};
