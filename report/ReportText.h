#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

class QPainter;
class QPaintDevice;

// A text of the report page broken into lines no wider than its column: at word boundaries,
// and inside a word only where one word alone is wider than the column. Paragraphs of the
// text stay paragraphs; an empty text is one empty line, so it still takes its row.
class ReportText
{
public:
    ReportText() = default;
    ReportText(const QString& text, const QFont& font, qreal width, QPaintDevice* device);

    int lineCount() const { return int(m_lines.size()); }
    int lineHeight() const { return m_lineHeight; }
    int height() const { return lineCount() * m_lineHeight; }
    const QFont& font() const { return m_font; }

    // Draws the lines downwards from top, each aligned left, right or centred in its column.
    void draw(QPainter& painter, qreal x, qreal top, Qt::Alignment alignment) const;

private:
    QFont m_font;
    qreal m_width = 0;
    int m_lineHeight = 0;
    qreal m_ascent = 0;
    QStringList m_lines;
};
