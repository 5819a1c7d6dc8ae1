#include "ReportText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

ReportText::ReportText(const QString& text, const QFont& font, qreal width, QPaintDevice* device)
    : m_font(font)
    , m_width(width)
    , m_lineHeight(QFontMetrics(font, device).height())
    , m_ascent(QFontMetricsF(font, device).ascent())
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        if (paragraph.isEmpty()) {
            m_lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font, device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            // The space a line was broken at belongs to neither line on paper.
            m_lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
}

void ReportText::draw(QPainter& painter, qreal x, qreal top, Qt::Alignment alignment) const
{
    painter.setFont(m_font);
    const QFontMetricsF metrics(m_font, painter.device());
    for (int i = 0; i < m_lines.size(); ++i) {
        const QString& line = m_lines.at(i);
        if (line.isEmpty())
            continue;
        const qreal lineWidth = metrics.horizontalAdvance(line);
        qreal at = x;
        if (alignment & Qt::AlignRight)
            at = x + m_width - lineWidth;
        else if (alignment & Qt::AlignHCenter)
            at = x + (m_width - lineWidth) / 2;
        painter.drawText(QPointF(at, top + i * m_lineHeight + m_ascent), line);
    }
}
