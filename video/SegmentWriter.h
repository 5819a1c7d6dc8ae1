#pragma once

#include "FfmpegPtr.h"

#include <QByteArray>

#include <memory>

struct AVFrame;
struct AVStream;

// One H.264 recording file: the encoder, the muxer and the open file it writes, all owned
// here. MP4 files are written as fragments of about one second, each starting at a key
// frame, so a file cut off by a crash or power loss still plays up to its last fragment.
class SegmentWriter
{
public:
    ~SegmentWriter();

    // Frame times are counted in 1/kTimeScale seconds.
    static constexpr int kTimeScale = 90000;

    // Opens fileName (local 8-bit) for a width × height YUV420P picture and writes the
    // header. Null when anything fails; nothing is left open then.
    static std::unique_ptr<SegmentWriter> open(const QByteArray& fileName, int width, int height);

    // Encodes one frame (its pts is its time from the segment's start in 1/kTimeScale
    // seconds, rising from frame to frame) and writes what the encoder gives out.
    // False when the encoder refuses the frame or the file could not be written (failed()).
    bool encode(AVFrame* frame);
    // Drains the encoder, writes the trailer and closes the file. False when the file could
    // not be written to the end: it is then cut back to its last whole fragment, so that
    // what was recorded up to the failure still plays.
    bool finish();
    // A write to the file failed (disk full, drive gone); nothing more is written to it.
    bool failed() const { return m_failed; }
    // Whether the file holds at least one whole fragment, i.e. a picture that plays.
    bool hasPictures() const { return m_goodSize > m_headerSize; }

private:
    SegmentWriter() = default;
    void writePackets();
    // Notes a write error, or else how far the file is whole.
    void checkWritten(int result);
    void closeFile();

    ffmpeg::FormatContextPtr m_output;
    ffmpeg::CodecContextPtr m_encoder;
    ffmpeg::PacketPtr m_packet;
    AVStream* m_stream = nullptr;
    QByteArray m_fileName;
    bool m_failed = false;
    // File size after the header, and after the last fragment that was written in full.
    qint64 m_headerSize = 0;
    qint64 m_goodSize = 0;
};
