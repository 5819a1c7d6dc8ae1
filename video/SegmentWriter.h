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
    // False when the encoder refuses the frame; write errors are not reported.
    bool encode(AVFrame* frame);
    // Drains the encoder, writes the trailer and closes the file.
    void finish();

private:
    SegmentWriter() = default;
    void writePackets();
    void closeFile();

    ffmpeg::FormatContextPtr m_output;
    ffmpeg::CodecContextPtr m_encoder;
    ffmpeg::PacketPtr m_packet;
    AVStream* m_stream = nullptr;
};
