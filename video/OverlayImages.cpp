#include "OverlayImages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace {
const QColor kTransparentWhite(255, 255, 255, 0);

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(kTransparentWhite);
    return image;
}
} // namespace

namespace OverlayImages {
QImage text(const QString& text, const QColor& colour)
{
    const QFont font(QStringLiteral("Arial"), 16, QFont::Normal, false);
    const QFontMetrics metrics(font);
    QImage image = transparentImage(metrics.horizontalAdvance(text) + 6, metrics.height() + 6);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(colour);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Baseline at the point size below the border.
    painter.drawText(QPoint(3, font.pointSize() + 3), text);
    return image;
}

QImage message(const QString& text, int maxWidth)
{
    const QFont font(QStringLiteral("Arial"), 18, QFont::Normal, false);
    const QFontMetrics metrics(font);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    const QRect bounds = metrics.boundingRect(QRect(0, 0, maxWidth, 10000), flags, text);
    QImage image = transparentImage(bounds.width() + 8, bounds.height() + 8);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(235, 235, 235));
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.drawText(image.rect(), flags, text);
    return image;
}

QImage recordingDot()
{
    QImage image = transparentImage(24, 24);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(255, 0, 0));
    painter.setBrush(QColor(255, 0, 0));
    painter.drawEllipse(QRect(QPoint(2, 2), QPoint(21, 21)));
    return image;
}

QImage picture(const QString& path)
{
    const QImage loaded(path);
    if (loaded.isNull())
        return QImage();
    QImage image = transparentImage(loaded.width(), loaded.height());
    QPainter painter(&image);
    painter.drawImage(0, 0, loaded);
    return image;
}
} // namespace OverlayImages
