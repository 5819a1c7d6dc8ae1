#pragma once

#include "ReportPage.h"
#include "ReportText.h"

#include <QRect>
#include <QVector>

class QPaintDevice;

// Where every text of a report page goes on one device. The layout is planned with every
// text at its normal size first; while the page overflows, the text that takes the most
// lines beyond its first is set a step smaller, down to three fifths of its normal size.
class ReportLayout
{
public:
    // The device must already be set up as the page (size, orientation, margins).
    ReportLayout(const ReportPage& page, QPaintDevice* device);

    bool fits() const { return m_overflowing == nullptr; }
    // The field that could not be placed, or null.
    const ReportPage::Field* overflowing() const { return m_overflowing; }
    // Draws texts and rules; the pictures are the page's own work, at picturesTop.
    void draw(QPainter& painter) const;
    int picturesTop() const { return m_picturesTop; }

private:
    enum Slot {
        Hospital,
        Department,
        Date,
        Name,
        Sex,
        Age,
        Bed,
        Admission,
        ExamId,
        Dept,
        ExamDevice,
        Diagnosis,
        Symptom,
        Findings,
        Pathology,
        Placement,
        Suggestions,
        Doctor,
        SlotCount
    };
    struct Placed {
        ReportText text;
        qreal x;
        int top;
        Qt::Alignment alignment;
        QRect clip; // null: no clip
    };

    const ReportPage::Field& field(int slot) const;
    static int normalSize(int slot);
    QFont fontFor(int slot, int pixelSize) const;
    // Lays the page out with these pixel sizes; true when everything fits.
    bool plan(const QVector<int>& sizes);
    int place(int slot, const QString& text, const QVector<int>& sizes, qreal x, int top, qreal width,
        Qt::Alignment alignment, const QRect& clip = QRect());

    const ReportPage& m_page;
    QPaintDevice* m_device;
    int m_width;
    int m_height;
    QVector<Placed> m_texts;
    QVector<int> m_rules;
    int m_picturesTop = 0;
    QVector<int> m_lines; // lines per slot in the last plan
    QVector<int> m_extra; // pixels per slot beyond its first line in the last plan
    const ReportPage::Field* m_overflowing = nullptr;
};
