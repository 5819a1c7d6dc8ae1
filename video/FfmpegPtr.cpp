#include "FfmpegPtr.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace ffmpeg {
void FrameDeleter::operator()(AVFrame* frame) const
{
    av_frame_free(&frame);
}
void PacketDeleter::operator()(AVPacket* packet) const
{
    av_packet_free(&packet);
}
void CodecContextDeleter::operator()(AVCodecContext* context) const
{
    avcodec_free_context(&context);
}
void InputContextDeleter::operator()(AVFormatContext* context) const
{
    avformat_close_input(&context);
}
void FormatContextDeleter::operator()(AVFormatContext* context) const
{
    avformat_free_context(context);
}
void SwsContextDeleter::operator()(SwsContext* context) const
{
    sws_freeContext(context);
}
} // namespace ffmpeg
