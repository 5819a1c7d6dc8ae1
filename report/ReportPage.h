#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;
class ReportLayout;

// The printed examination report: one A4 portrait page laid out in the device's own pixels
// for 600 dpi (fixed picture sizes and font pixel sizes). It holds a copy of what the report
// dialog showed at the moment of output and draws it on a printer or a PDF writer.
//
// Texts that fit their place are drawn exactly where the fixed layout puts them. A longer
// text wraps inside its own column and moves what lies below it down; when the page still
// overflows, the longest texts are set smaller, down to a readable minimum. A page that
// cannot hold every character is not drawn at all: no text is ever cut off or overprinted.
class ReportPage
{
public:
    // A caption and the value printed after it; source names the form widget it came from.
    struct Field {
        QString caption;
        QString value;
        QString source;
    };

    QFont font; // the form's text font; only weight and pixel size change on the page
    Field hospital; // value only
    Field department; // value only
    Field date;
    Field name, sex, admission, bed, diagnosis; // left half of the data grid
    Field age, examId, dept, examDevice, symptom; // right half
    Field findings;
    Field pathology, placement, suggestions;
    Field doctor;
    QStringList pictures; // as given to the dialog; unloadable entries keep their slot

    // The field whose text cannot be placed on the page even at the smallest size, or null
    // when the page can be drawn. Sets the device up as draw does.
    const Field* overflowingField(QPagedPaintDevice* device) const;
    // Sets up the page (A4, portrait, margins from the device's size) and draws it; false,
    // with nothing drawn, when a text cannot be placed.
    bool draw(QPagedPaintDevice* device) const;

    // Geometry in device pixels at 600 dpi.
    static constexpr int PictureWidth = 2112;
    static constexpr int PictureHeight = 1188;
    static constexpr int PicturePitch = 1218;
    static constexpr int MaxPictures = 4;

private:
    static void setUpPage(QPagedPaintDevice* device);
    int drawPictures(QPainter& painter, int top, int width) const;
};
