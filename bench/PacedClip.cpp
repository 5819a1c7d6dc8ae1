#include "PacedClip.h"

#include "CamGrabber.h"
#include "Scenario.h"

#include <QFileInfo>
#include <QProcess>

#include <cstdio>

QString makeCameraClip(const QString& folder)
{
    QString path = folder + QStringLiteral("/camera-1080p-mjpeg422.mkv");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        QStringList { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("testsrc2=size=1920x1080:rate=30"), QStringLiteral("-t"), QStringLiteral("10"),
            QStringLiteral("-c:v"), QStringLiteral("mjpeg"), QStringLiteral("-pix_fmt"),
            QStringLiteral("yuvj422p"), QStringLiteral("-q:v"), QStringLiteral("3"), path });
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0)
        return QString();
    return path;
}

QByteArray pacedClipGraph(const QString& clip, const QString& folder)
{
    const QString path = clip.isEmpty() ? makeCameraClip(folder) : QFileInfo(clip).absoluteFilePath();
    if (path.isEmpty() || !QFileInfo::exists(path) || path.contains(QLatin1Char('\'')))
        return QByteArray();
    // The movie source loops the clip for good; realtime paces it to its timestamps.
    return "movie=filename='" + path.toLocal8Bit() + "':loop=0,realtime";
}

bool openPacedClip(CamGrabber& grabber, const QStringList& args, const QString& folder, const char* scenario)
{
    const QByteArray graph = pacedClipGraph(bench::optionValue(args, QStringLiteral("--clip")), folder);
    if (graph.isEmpty() || !grabber.openInput("lavfi", graph.constData())) {
        std::fprintf(stderr, "%s: no clip to play\n", scenario);
        return false;
    }
    return true;
}
