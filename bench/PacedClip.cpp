#include "PacedClip.h"

#include <QFileInfo>
#include <QProcess>

QString makeCameraClip(const QString& folder)
{
    const QString path = folder + QStringLiteral("/camera-1080p-mjpeg422.mkv");
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        { "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30", "-t", "10", "-c:v",
            "mjpeg", "-pix_fmt", "yuvj422p", "-q:v", "3", path });
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
