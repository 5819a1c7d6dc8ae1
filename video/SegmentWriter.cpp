#include "SegmentWriter.h"

#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace {
// The rate the encoder plans its bit budget for; frame times come from the camera.
constexpr int NominalFramesPerSecond = 30;
constexpr int KeyFrameInterval = 30;
constexpr int MaxBFrames = 2;

// Fragmented MP4: an empty moov up front, then one moof+mdat per key frame; the trailer
// only adds a random-access index (mfra). Nothing already written is ever rewritten, so
// a stop, a kill or a power cut each leave a file that plays up to its last fragment.
constexpr const char* Mp4Flags = "frag_keyframe+empty_moov+default_base_moof";

const AVCodec* h264Encoder()
{
    if (const AVCodec* codec = avcodec_find_encoder_by_name("libx264"))
        return codec;
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}
} // namespace

SegmentWriter::~SegmentWriter()
{
    closeFile();
}

std::unique_ptr<SegmentWriter> SegmentWriter::open(const QByteArray& fileName, int width, int height)
{
    if (fileName.isEmpty() || width < 1 || height < 1)
        return nullptr;
    std::unique_ptr<SegmentWriter> writer(new SegmentWriter);

    // The container follows the name; a name FFmpeg cannot place (no extension) is MP4.
    AVFormatContext* output = nullptr;
    const char* formatName = av_guess_format(nullptr, fileName.constData(), nullptr) ? nullptr : "mp4";
    if (avformat_alloc_output_context2(&output, nullptr, formatName, fileName.constData()) < 0 || !output)
        return nullptr;
    writer->m_output.reset(output);

    const AVCodec* codec = h264Encoder();
    if (!codec)
        return nullptr;
    AVStream* stream = avformat_new_stream(output, nullptr);
    if (!stream)
        return nullptr;
    stream->id = int(output->nb_streams) - 1;
    writer->m_encoder.reset(avcodec_alloc_context3(codec));
    writer->m_packet.reset(av_packet_alloc());
    AVCodecContext* encoder = writer->m_encoder.get();
    if (!encoder || !writer->m_packet)
        return nullptr;

    stream->time_base = AVRational { 1, kTimeScale };
    encoder->codec_id = AV_CODEC_ID_H264;
    encoder->width = width;
    encoder->height = height;
    encoder->time_base = AVRational { 1, kTimeScale };
    encoder->framerate = AVRational { NominalFramesPerSecond, 1 };
    encoder->gop_size = KeyFrameInterval;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->bit_rate = int64_t(width) * height * 4;
    av_opt_set(encoder->priv_data, "preset", "ultrafast", 0);
    av_opt_set(encoder->priv_data, "tune", "zerolatency", 0);
    encoder->profile = FF_PROFILE_H264_HIGH_444;
    encoder->max_b_frames = MaxBFrames;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(encoder, codec, nullptr) < 0)
        return nullptr;

    if (avcodec_parameters_from_context(stream->codecpar, encoder) < 0)
        return nullptr;
    // Other containers do not know these options; they are simply not set there.
    av_opt_set(output->priv_data, "movflags", Mp4Flags, 0);
    av_opt_set_int(output->priv_data, "video_track_timescale", kTimeScale, 0);
    // Hand every finished fragment to the system at once rather than keeping its tail in
    // the I/O buffer until the next one.
    output->flags |= AVFMT_FLAG_FLUSH_PACKETS;
    if (!(output->oformat->flags & AVFMT_NOFILE)
        && avio_open(&output->pb, fileName.constData(), AVIO_FLAG_WRITE) < 0)
        return nullptr;
    const bool headerWritten = avformat_write_header(output, nullptr) >= 0;
    if (output->pb)
        avio_flush(output->pb);
    if (!headerWritten || (output->pb && output->pb->error < 0)) {
        // A file without its header holds nothing that plays: it is not left behind.
        const bool ownFile = !(output->oformat->flags & AVFMT_NOFILE);
        writer->closeFile();
        if (ownFile)
            (void)::unlink(fileName.constData());
        return nullptr;
    }
    writer->m_stream = stream;
    writer->m_fileName = fileName;
    writer->m_headerSize = output->pb ? avio_tell(output->pb) : 0;
    writer->m_goodSize = writer->m_headerSize;
    return writer;
}

bool SegmentWriter::encode(AVFrame* frame)
{
    if (!m_encoder || m_failed)
        return false;
    AVCodecContext* encoder = m_encoder.get();
    // A picture of another size or layout than the encoder was opened for would be read
    // out of bounds; it is dropped like any frame the encoder refuses.
    if (frame->width != encoder->width || frame->height != encoder->height
        || frame->format != encoder->pix_fmt)
        return false;
    // A decoder's picture type would force an intra frame here; the GOP decides instead.
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(encoder, frame) < 0)
        return false;
    writePackets();
    return !m_failed;
}

void SegmentWriter::writePackets()
{
    AVPacket* packet = m_packet.get();
    while (avcodec_receive_packet(m_encoder.get(), packet) >= 0) {
        av_packet_rescale_ts(packet, m_encoder->time_base, m_stream->time_base);
        packet->stream_index = m_stream->index;
        // After a failed write the muxer's idea of the file no longer matches the disk:
        // anything written later would land behind a hole.
        if (!m_failed)
            checkWritten(av_interleaved_write_frame(m_output.get(), packet));
        av_packet_unref(packet);
    }
}

void SegmentWriter::checkWritten(int result)
{
    AVIOContext* file = m_output->pb;
    if (result < 0 || !file || file->error < 0) {
        m_failed = true;
        return;
    }
    // Fragments are built in memory and handed to the file whole (and flushed at once),
    // so the file is whole up to here.
    m_goodSize = avio_tell(file);
}

bool SegmentWriter::finish()
{
    if (m_encoder && m_output && !m_failed) {
        if (avcodec_send_frame(m_encoder.get(), nullptr) >= 0)
            writePackets();
        if (!m_failed)
            checkWritten(av_write_trailer(m_output.get()));
    }
    closeFile();
    m_encoder.reset();
    m_stream = nullptr;
    // A fragment begun but not finished would stop players at its start, or worse: cut it off.
    if (m_failed && !m_fileName.isEmpty())
        (void)::truncate(m_fileName.constData(), m_goodSize);
    return !m_failed;
}

void SegmentWriter::closeFile()
{
    if (m_output && !(m_output->oformat->flags & AVFMT_NOFILE))
        avio_closep(&m_output->pb);
    m_output.reset();
}
