#include "ReportPage.h"

#include "ReportLayout.h"

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>

void ReportPage::setUpPage(QPagedPaintDevice* device)
{
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageOrientation(QPageLayout::Portrait);
    // The margins follow the area the device offers once it is A4 portrait.
    const qreal side = 0.03f * device->widthMM();
    const qreal topBottom = 0.01f * device->heightMM();
    device->setPageMargins(QMarginsF(side, topBottom, side, topBottom), QPageLayout::Millimeter);
}

const ReportPage::Field* ReportPage::overflowingField(QPagedPaintDevice* device) const
{
    if (!device)
        return nullptr;
    setUpPage(device);
    return ReportLayout(*this, device).overflowing();
}

bool ReportPage::draw(QPagedPaintDevice* device) const
{
    if (!device)
        return false;
    setUpPage(device);
    const ReportLayout layout(*this, device);
    if (!layout.fits())
        return false;

    QPainter painter;
    if (!painter.begin(device))
        return false;
    painter.setRenderHint(QPainter::Antialiasing);
    drawPictures(painter, layout.picturesTop(), device->width());
    layout.draw(painter);
    painter.end();
    return true;
}

// Two rows of up to two pictures each, every picture stretched over a 16:9 cell centred in
// its half (or in the whole width when it is alone in its row). Returns the y below them.
int ReportPage::drawPictures(QPainter& painter, int top, int width) const
{
    const QStringList used = pictures.mid(0, MaxPictures);
    int y = top;
    for (int first = 0; first < used.size(); first += 2) {
        const QStringList row = used.mid(first, 2);
        const int cell = width / row.size();
        for (int j = 0; j < row.size(); ++j) {
            // Read from disk at full size each time; a picture that cannot be read leaves
            // its place empty.
            const QImage image(row.at(j));
            if (image.isNull())
                continue;
            const int x = int(j * cell + (cell - PictureWidth) / 2.0);
            painter.drawImage(QRect(x, y, PictureWidth, PictureHeight), image);
        }
        y += PicturePitch;
    }
    return y;
}
