#pragma once

#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// Single owners for FFmpeg objects: each deleter calls the library's own free function,
// so a failure part-way through a set-up releases exactly what was made so far. The
// deleters are defined out of line to keep the FFmpeg headers out of our headers.
namespace ffmpeg {
struct FrameDeleter {
    void operator()(AVFrame* frame) const;
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const;
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const;
};
// An input opened with avformat_open_input (closed with avformat_close_input).
struct InputContextDeleter {
    void operator()(AVFormatContext* context) const;
};
// A format context that was allocated but never opened as input (or an output context
// whose file was already closed): avformat_free_context.
struct FormatContextDeleter {
    void operator()(AVFormatContext* context) const;
};
struct SwsContextDeleter {
    void operator()(SwsContext* context) const;
};

using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
} // namespace ffmpeg
