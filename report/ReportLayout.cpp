#include "ReportLayout.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

namespace {
QString joined(const ReportPage::Field& field)
{
    return field.caption + QLatin1Char(' ') + field.value;
}

// The largest multiple of 8 that is not above value.
int floorToMultipleOf8(int value)
{
    return value >= 0 ? value - value % 8 : -((7 - value) / 8) * 8;
}

constexpr int NoSlot = -1;
} // namespace

ReportLayout::ReportLayout(const ReportPage& page, QPaintDevice* device)
    : m_page(page)
    , m_device(device)
    , m_width(device->width())
    , m_height(device->height())
{
    QVector<int> sizes(SlotCount);
    for (int slot = 0; slot < SlotCount; ++slot)
        sizes[slot] = normalSize(slot);
    while (!plan(sizes)) {
        int pick = NoSlot;
        for (int slot = 0; slot < SlotCount; ++slot) {
            const bool canShrink = m_lines[slot] > 1 && sizes[slot] > normalSize(slot) * 3 / 5;
            if (canShrink && (pick == NoSlot || m_extra[slot] > m_extra[pick]))
                pick = slot;
        }
        if (pick == NoSlot) {
            // Nothing left to shrink: blame the text that takes the most room beyond one line.
            int worst = Findings;
            for (int slot = 0; slot < SlotCount; ++slot) {
                if (m_extra[slot] > m_extra[worst])
                    worst = slot;
            }
            m_overflowing = &field(worst);
            return;
        }
        sizes[pick] = qMax(normalSize(pick) * 3 / 5, sizes[pick] * 9 / 10);
    }
}

const ReportPage::Field& ReportLayout::field(int slot) const
{
    const ReportPage::Field* const fields[SlotCount] = { &m_page.hospital, &m_page.department, &m_page.date,
        &m_page.name, &m_page.sex, &m_page.age, &m_page.bed, &m_page.admission, &m_page.examId, &m_page.dept,
        &m_page.examDevice, &m_page.diagnosis, &m_page.symptom, &m_page.findings, &m_page.pathology,
        &m_page.placement, &m_page.suggestions, &m_page.doctor };
    return *fields[slot];
}

int ReportLayout::normalSize(int slot)
{
    return slot == Hospital ? 160 : slot == Department ? 140 : 100;
}

QFont ReportLayout::fontFor(int slot, int pixelSize) const
{
    QFont font = m_page.font;
    font.setWeight(slot == Hospital ? QFont::Bold : QFont::Normal);
    font.setPixelSize(pixelSize);
    return font;
}

int ReportLayout::place(int slot, const QString& text, const QVector<int>& sizes, qreal x, int top,
    qreal width, Qt::Alignment alignment, const QRect& clip)
{
    const QFont font = slot == NoSlot ? fontFor(NoSlot, 100) : fontFor(slot, sizes[slot]);
    ReportText placed(text, font, width, m_device);
    if (slot != NoSlot) {
        m_lines[slot] = placed.lineCount();
        m_extra[slot] = placed.height() - placed.lineHeight();
    }
    m_texts.append({ placed, x, top, alignment, clip });
    return placed.height();
}

bool ReportLayout::plan(const QVector<int>& sizes)
{
    m_texts.clear();
    m_rules.clear();
    m_lines.fill(1, SlotCount);
    m_extra.fill(0, SlotCount);
    const int W = m_width;
    const int u = W / 100;
    const QFont body = fontFor(NoSlot, 100);
    const int h = QFontMetrics(body, m_device).height();

    const int hospitalHeight = place(Hospital, m_page.hospital.value, sizes, 0, 50, W, Qt::AlignHCenter);
    const int departmentHeight
        = place(Department, m_page.department.value, sizes, 0, 50 + hospitalHeight, W, Qt::AlignHCenter);
    const int dateY = 50 + hospitalHeight + departmentHeight + 40;
    m_rules << dateY + place(Date, joined(m_page.date), sizes, 0, dateY, W, Qt::AlignRight);

    // The data grid: a value starts two grid units (a hundredth of the page width) after its
    // caption and wraps inside its own column; a row is as high as its highest value.
    const int rows[][2] = { { Name, Sex }, { Age, Bed }, { Admission, ExamId }, { Dept, ExamDevice },
        { Diagnosis, NoSlot }, { Symptom, NoSlot } };
    const QFontMetricsF bodyMetrics(body, m_device);
    int rowY = m_rules.last() + 30;
    int rowHeight = h;
    for (int row = 0; row < 6; ++row) {
        if (row > 0)
            rowY += rowHeight + 15;
        rowHeight = h;
        for (int column = 0; column < 2; ++column) {
            const int slot = rows[row][column];
            if (slot == NoSlot)
                continue;
            const int k = column * 60;
            const ReportPage::Field& pair = field(slot);
            const qreal captionWidth = bodyMetrics.horizontalAdvance(pair.caption);
            place(NoSlot, pair.caption, sizes, k * u, rowY, W - k * u, Qt::AlignLeft);
            const qreal valueX = (captionWidth / u + 2 + k) * u;
            // A caption too long for its column still leaves its value a narrow column.
            const qreal limit = qMax(column == 0 && rows[row][1] != NoSlot ? 58.0 * u : W, valueX + 10 * u);
            // A value set smaller stands on its caption's baseline.
            const int drop
                = int(bodyMetrics.ascent() - QFontMetricsF(fontFor(slot, sizes[slot]), m_device).ascent());
            rowHeight = qMax(rowHeight,
                drop + place(slot, pair.value, sizes, valueX, rowY + drop, limit - valueX, Qt::AlignLeft));
        }
    }
    const int rule2 = rowY + rowHeight + 30;
    m_rules << rule2;

    m_picturesTop = rule2 + 30;
    const int pictureRows = (qMin(m_page.pictures.size(), ReportPage::MaxPictures) + 1) / 2;
    const int rule3 = m_picturesTop + pictureRows * ReportPage::PicturePitch;
    m_rules << rule3;

    // The findings box takes what is left above the closing lines, the doctor and two spare
    // lines, rounded down to a multiple of 8 pixels.
    const int findingsY = rule3 + 30;
    place(NoSlot, m_page.findings.caption, sizes, 0, findingsY, W, Qt::AlignLeft);
    const int left = QFontMetrics(body, m_device).horizontalAdvance(m_page.findings.caption) + 20;
    int closing = 0;
    for (int slot : { Pathology, Placement, Suggestions, Doctor })
        closing += ReportText(joined(field(slot)), fontFor(slot, sizes[slot]), W, m_device).height();
    const int box = floorToMultipleOf8(m_height - 30 - findingsY - closing - 2 * h);
    const int findingsHeight = place(Findings, m_page.findings.value, sizes, left, findingsY, W - left,
        Qt::AlignLeft, QRect(left, findingsY, W - left, qMax(box, 0)));

    int y = findingsY + box;
    for (int slot : { Pathology, Placement, Suggestions })
        y += place(slot, joined(field(slot)), sizes, 0, y, W, Qt::AlignLeft);
    m_rules << y;
    place(Doctor, joined(m_page.doctor), sizes, 0, y + 30, W, Qt::AlignRight);
    return box >= 0 && findingsHeight <= box;
}

void ReportLayout::draw(QPainter& painter) const
{
    for (const Placed& placed : m_texts) {
        if (!placed.clip.isNull())
            painter.setClipRect(placed.clip);
        placed.text.draw(painter, placed.x, placed.top, placed.alignment);
        painter.setClipping(false);
    }
    // Gray rules three pixels high across the page, one pixel in from either edge.
    for (int y : m_rules)
        painter.fillRect(QRect(QPoint(1, y), QPoint(m_width - 2, y + 2)), Qt::gray);
}
