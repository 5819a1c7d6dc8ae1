#include "ReportPage.h"

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {
constexpr int AlignOptionLeft = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
constexpr int AlignOptionCentre = Qt::AlignCenter | Qt::TextWordWrap;
constexpr int AlignOptionRight = Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap;

QString joined(const ReportPage::Field& field)
{
    return field.caption + QLatin1Char(' ') + field.value;
}

// A gray rule three pixels high across the page, one pixel in from either edge.
void drawRule(QPainter& painter, int y, int width)
{
    painter.fillRect(QRect(QPoint(1, y), QPoint(width - 2, y + 2)), Qt::gray);
}

// One caption/value pair of the data grid. The value starts two grid units after the
// caption; the grid unit is a hundredth of the page width, and a column starts at `column`
// units (0 or 60). Each rectangle is exactly as wide as its text: measured to the fraction of
// a pixel, because a width rounded down would wrap the last word of a value onto a second
// line outside the rectangle, where it is clipped away.
void drawPair(
    QPainter& painter, qreal y, int unit, int column, int lineHeight, const ReportPage::Field& field)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal captionWidth = metrics.horizontalAdvance(field.caption);
    painter.drawText(QRectF(column * unit, y, captionWidth, lineHeight), AlignOptionLeft, field.caption);
    const qreal valueX = (captionWidth / unit + 2 + column) * unit;
    painter.drawText(
        QRectF(valueX, y, metrics.horizontalAdvance(field.value), lineHeight), AlignOptionLeft, field.value);
}

// The largest multiple of 8 that is not above value.
int floorToMultipleOf8(int value)
{
    return value >= 0 ? value - value % 8 : -((7 - value) / 8) * 8;
}
} // namespace

void ReportPage::setUpPage(QPagedPaintDevice* device)
{
    device->setPageSize(QPageSize(QPageSize::A4));
    device->setPageOrientation(QPageLayout::Portrait);
    // The margins follow the area the device offers once it is A4 portrait.
    const qreal side = 0.03f * device->widthMM();
    const qreal topBottom = 0.01f * device->heightMM();
    device->setPageMargins(QMarginsF(side, topBottom, side, topBottom), QPageLayout::Millimeter);
}

void ReportPage::draw(QPagedPaintDevice* device) const
{
    if (!device)
        return;
    setUpPage(device);

    QPainter painter;
    if (!painter.begin(device))
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    const int width = device->width();
    const int height = device->height();
    const int unit = width / 100;

    QFont pageFont = font;
    pageFont.setWeight(QFont::Bold);
    pageFont.setPixelSize(160);
    painter.setFont(pageFont);
    const int hospitalHeight = painter.fontMetrics().height();
    painter.drawText(QRect(0, 50, width, hospitalHeight), AlignOptionCentre, hospital);

    pageFont.setWeight(QFont::Normal);
    pageFont.setPixelSize(140);
    painter.setFont(pageFont);
    const int departmentHeight = painter.fontMetrics().height();
    painter.drawText(QRect(0, 50 + hospitalHeight, width, departmentHeight), AlignOptionCentre, department);

    pageFont.setPixelSize(100);
    painter.setFont(pageFont);
    const int h = painter.fontMetrics().height();
    const int dateY = 50 + hospitalHeight + departmentHeight + 40;
    painter.drawText(QRect(0, dateY, width, h), AlignOptionRight, joined(date));

    const int rule1 = dateY + h;
    drawRule(painter, rule1, width);

    const Field* const rows[][2] = {
        { &name, &sex },
        { &age, &bed },
        { &admission, &examId },
        { &dept, &examDevice },
        { &diagnosis, nullptr },
        { &symptom, nullptr },
    };
    int rowY = rule1 + 30;
    for (int row = 0; row < 6; ++row) {
        if (row > 0)
            rowY += 15 + h;
        drawPair(painter, rowY, unit, 0, h, *rows[row][0]);
        if (rows[row][1])
            drawPair(painter, rowY, unit, 60, h, *rows[row][1]);
    }

    const int rule2 = rowY + h + 30;
    drawRule(painter, rule2, width);

    const int rule3 = drawPictures(painter, rule2 + 30, width);
    drawRule(painter, rule3, width);

    const int findingsY = rule3 + 30;
    painter.drawText(QRect(0, findingsY, width, h), AlignOptionLeft, findingsCaption);
    const int captionWidth = painter.fontMetrics().horizontalAdvance(findingsCaption);
    // The box takes what the page has left above the three closing lines and the doctor,
    // rounded down to a multiple of 8 pixels; findings that do not fit are clipped.
    const int box = floorToMultipleOf8(height - 30 - findingsY - 6 * h);
    painter.drawText(QRect(captionWidth + 20, findingsY, width - captionWidth - 20, box),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, findings);

    int y = findingsY + box;
    for (const Field* line : { &pathology, &placement, &suggestions }) {
        painter.drawText(QRect(0, y, width, h), AlignOptionLeft, joined(*line));
        y += h;
    }
    drawRule(painter, y, width);
    painter.drawText(QRect(0, y + 30, width, h), AlignOptionRight, joined(doctor));
    painter.end();
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
