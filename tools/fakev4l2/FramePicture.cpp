#include "FramePicture.h"

#include <algorithm>
#include <cstdio>
#include <linux/videodev2.h>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace {

struct Rgb {
    int r, g, b;
};

Rgb colourAt(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    static const Rgb bars[7] = { { 255, 255, 0 }, { 0, 255, 255 }, { 0, 255, 0 }, { 255, 0, 255 },
        { 255, 0, 0 }, { 0, 0, 255 }, { 0, 0, 0 } };
    if (x * 8 >= width * 3 && x * 8 < width * 5 && y * 8 >= height * 3 && y * 8 < height * 5)
        return { 255, 255, 255 };
    return bars[std::min<uint32_t>(6, x * 7 / width)];
}

struct Yuv {
    uint8_t y, u, v;
};

// BT.601; limited range for raw YUYV, full range for JPEG (as cameras send them).
Yuv toYuv(Rgb c, bool fullRange)
{
    const double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
    const double u = (c.b - y) / 1.772;
    const double v = (c.r - y) / 1.402;
    auto clip = [](double d) { return uint8_t(d < 0 ? 0 : d > 255 ? 255 : d + 0.5); };
    if (fullRange)
        return { clip(y), clip(128 + u), clip(128 + v) };
    return { clip(16 + y * 219 / 255), clip(128 + u * 224 / 255), clip(128 + v * 224 / 255) };
}

std::vector<uint8_t> makeYuyv(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> data(size_t(width) * height * 2);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = data.data() + size_t(y) * width * 2;
        for (uint32_t x = 0; x + 1 < width; x += 2) {
            const Yuv a = toYuv(colourAt(x, y, width, height), false);
            const Yuv b = toYuv(colourAt(x + 1, y, width, height), false);
            uint8_t* pair = row + size_t(x) * 2;
            pair[0] = a.y;
            pair[1] = a.u;
            pair[2] = b.y;
            pair[3] = a.v;
        }
    }
    return data;
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::vector<uint8_t> makeJpeg(uint32_t width, uint32_t height)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec)
        return {};
    std::unique_ptr<AVCodecContext, CodecContextDeleter> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!context || !frame || !packet)
        return {};
    context->width = int(width);
    context->height = int(height);
    context->pix_fmt = AV_PIX_FMT_YUVJ422P;
    context->color_range = AVCOL_RANGE_JPEG;
    context->time_base = { 1, 30 };
    context->flags |= AV_CODEC_FLAG_QSCALE;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return {};
    frame->format = AV_PIX_FMT_YUVJ422P;
    frame->width = int(width);
    frame->height = int(height);
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return {};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const Yuv c = toYuv(colourAt(x, y, width, height), true);
            frame->data[0][y * frame->linesize[0] + x] = c.y;
            if (x % 2 == 0) {
                frame->data[1][y * frame->linesize[1] + x / 2] = c.u;
                frame->data[2][y * frame->linesize[2] + x / 2] = c.v;
            }
        }
    }
    frame->quality = FF_QP2LAMBDA * 2;
    frame->pts = 0;
    if (avcodec_send_frame(context.get(), frame.get()) < 0 || avcodec_send_frame(context.get(), nullptr) < 0)
        return {};
    if (avcodec_receive_packet(context.get(), packet.get()) < 0)
        return {};
    return std::vector<uint8_t>(packet->data, packet->data + packet->size);
}

} // namespace

const std::vector<uint8_t>& FramePicture::frame(uint32_t fourcc, uint32_t width, uint32_t height)
{
    const auto key = std::make_tuple(fourcc, width, height);
    auto it = m_frames.find(key);
    if (it != m_frames.end())
        return it->second;
    std::vector<uint8_t> data;
    if (fourcc == V4L2_PIX_FMT_MJPEG) {
        data = makeJpeg(width, height);
        if (data.empty())
            std::fprintf(stderr, "karvex-fake-v4l2: cannot encode a %ux%u JPEG frame\n", width, height);
    } else if (fourcc == V4L2_PIX_FMT_YUYV) {
        data = makeYuyv(width, height);
    } else {
        data.assign(size_t(width) * height * 2, 128);
    }
    return m_frames.emplace(key, std::move(data)).first->second;
}
