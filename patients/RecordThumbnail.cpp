#include "RecordThumbnail.h"

#include "CaptureNames.h"

#include <QCache>
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <functional>

namespace {
const char* const notFoundPicture = ":/res/notfound.png";
const char* const videoMark = ":/res/video.png";

struct Cached {
    qint64 size;
    qint64 modifiedMs;
    QImage image;
};

// Bounded by pixel memory (cost in KiB): ~6000 picture thumbnails or ~400 video ones.
// Images rather than pixmaps, so that nothing GUI-bound outlives the application object.
QCache<QString, Cached>& cache()
{
    static QCache<QString, Cached> images(32 * 1024);
    return images;
}

QImage cachedOrMade(const QString& key, const QFileInfo& file, const std::function<QImage()>& make)
{
    const qint64 size = file.size();
    const qint64 modifiedMs = file.lastModified().toMSecsSinceEpoch();
    const Cached* hit = cache().object(key);
    if (hit && hit->size == size && hit->modifiedMs == modifiedMs)
        return hit->image;
    QImage image = make();
    const int costKiB = int(qMax<qint64>(1, image.sizeInBytes() / 1024));
    cache().insert(key, new Cached { size, modifiedMs, image }, costKiB);
    return image;
}

QImage squeezed(const QImage& image)
{
    return image.scaled(RecordThumbnail::pictureSize(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage decodeSmall(const QString& path)
{
    QImageReader reader(path);
    // Formats that can decode straight to a small size (JPEG) skip the full-size picture;
    // the others (BMP, the captures' own format) are decoded whole once and squeezed.
    if (reader.supportsOption(QImageIOHandler::ScaledSize)) {
        reader.setScaledSize(RecordThumbnail::pictureSize());
        const QImage image = reader.read();
        if (!image.isNull())
            return squeezed(image);
        reader.setFileName(QString());
        reader.setFileName(path);
    }
    return squeezed(reader.read());
}

QImage markedThumbnail(const QString& companion)
{
    QImage thumbnail(companion);
    const QImage mark { QLatin1String(videoMark) };
    if (thumbnail.isNull() || mark.width() > thumbnail.width() || mark.height() > thumbnail.height())
        return thumbnail;
    if (thumbnail.format() != QImage::Format_RGB32
        && thumbnail.format() != QImage::Format_ARGB32_Premultiplied)
        thumbnail = thumbnail.convertToFormat(
            thumbnail.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QPainter painter(&thumbnail);
    painter.drawImage((thumbnail.width() - mark.width()) / 2, (thumbnail.height() - mark.height()) / 2, mark);
    return thumbnail;
}
} // namespace

bool RecordThumbnail::isPicture(const QString& path)
{
    return path.endsWith(QLatin1String("bmp"), Qt::CaseSensitive);
}

QPixmap RecordThumbnail::picture(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists()) {
        static const QImage notFound = squeezed(QImage(QLatin1String(notFoundPicture)));
        return QPixmap::fromImage(notFound);
    }
    const QString key = QLatin1String("picture:") + file.absoluteFilePath();
    return QPixmap::fromImage(cachedOrMade(key, file, [&path] { return decodeSmall(path); }));
}

QPixmap RecordThumbnail::video(const QString& path)
{
    const QFileInfo companion(path + CaptureNames::kThumbnailSuffix);
    if (!companion.exists())
        return QPixmap(QLatin1String(videoMark));
    const QString absolute = companion.absoluteFilePath();
    const QString key = QLatin1String("video:") + absolute;
    return QPixmap::fromImage(
        cachedOrMade(key, companion, [&absolute] { return markedThumbnail(absolute); }));
}
