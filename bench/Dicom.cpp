// dicom [--clip FILE] [--seconds S]: a recording (by default S = 10 seconds of 1080p30 H.264
// in fragmented MP4, as the recorder writes it) and a 1080p JPEG snapshot converted to DICOM
// objects; prints how long each took and how many recorded seconds convert per wall second.

#include "Scenario.h"

#include "DicomHeader.h"
#include "DicomUid.h"
#include "StillConverter.h"
#include "VideoConverter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace {
// The recorder's own fragmentation, so the converter reads what it will meet in practice.
QString makeRecording(const QString& folder, double seconds)
{
    const QString file = folder + QStringLiteral("/segment.mp4");
    const QStringList args { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("testsrc2=size=1920x1080:rate=30"), QStringLiteral("-t"), QString::number(seconds),
        QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
        QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
        QStringLiteral("-movflags"), QStringLiteral("frag_keyframe+empty_moov+default_base_moof"), file };
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0 ? file : QString();
}

DicomHeader benchHeader()
{
    DicomHeader header;
    header.lastName = QStringLiteral("Bench");
    header.firstName = QStringLiteral("Mark");
    header.patientId = QStringLiteral("BENCH-1");
    header.studyInstanceUid = DicomUid::create();
    header.seriesInstanceUid = DicomUid::create();
    header.sopInstanceUid = DicomUid::create();
    header.studyDateTime = header.acquisitionDateTime = QDateTime::currentDateTime();
    return header;
}

int runDicom(const QStringList& args)
{
    av_log_set_level(AV_LOG_ERROR);
    const double seconds
        = bench::optionValue(args, QStringLiteral("--seconds"), QStringLiteral("10")).toDouble();
    QTemporaryDir scratch;
    QString clip = bench::optionValue(args, QStringLiteral("--clip"));
    if (clip.isEmpty())
        clip = makeRecording(scratch.path(), seconds);
    if (clip.isEmpty()) {
        std::fprintf(stderr, "dicom: no recording to convert\n");
        return 1;
    }

    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(200, 40, 10));
    const QString snapshot = scratch.path() + QStringLiteral("/snapshot.jpg");
    picture.save(snapshot, "JPG", 90);
    QElapsedTimer clock;
    clock.start();
    QString error
        = StillConverter::convert(snapshot, benchHeader(), scratch.path() + QStringLiteral("/still.dcm"));
    bench::print("dicom_still_ms", double(clock.nsecsElapsed()) / 1e6, "ms");

    clock.restart();
    const QString video = scratch.path() + QStringLiteral("/video.dcm");
    if (error.isEmpty())
        error = VideoConverter::convert(clip, benchHeader(), video);
    const double tookSeconds = double(clock.nsecsElapsed()) / 1e9;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "dicom: %s\n", qPrintable(error));
        return 1;
    }
    bench::print("dicom_video_s", tookSeconds, "s");
    if (clip != bench::optionValue(args, QStringLiteral("--clip")))
        bench::print("dicom_video_speed", seconds / tookSeconds, "recorded_s_per_s");
    return 0;
}
} // namespace

KARVEX_SCENARIO(dicom, ScenarioApp::Console, "dicom [--clip FILE] [--seconds S]", runDicom);
