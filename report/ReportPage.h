#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

// The printed examination report: one A4 portrait page laid out in the device's own pixels
// for 600 dpi (fixed picture sizes and font pixel sizes). It holds a copy of what the report
// dialog showed at the moment of output and draws it on a printer or a PDF writer.
class ReportPage
{
public:
    // A caption and the value printed after it.
    struct Field {
        QString caption;
        QString value;
    };

    QFont font; // the form's text font; only weight and pixel size change on the page
    QString hospital;
    QString department;
    Field date;
    Field name, sex, admission, bed, diagnosis; // left half of the data grid
    Field age, examId, dept, examDevice, symptom; // right half
    QString findingsCaption;
    QString findings;
    Field pathology, placement, suggestions;
    Field doctor;
    QStringList pictures; // as given to the dialog; unloadable entries keep their slot

    // Sets up the page (A4, portrait, margins from the device's size) and draws it.
    void draw(QPagedPaintDevice* device) const;

    // Geometry in device pixels at 600 dpi.
    static constexpr int PictureWidth = 2112;
    static constexpr int PictureHeight = 1188;
    static constexpr int PicturePitch = 1218;
    static constexpr int MaxPictures = 4;

private:
    static void setUpPage(QPagedPaintDevice* device);
    int drawPictures(QPainter& painter, int top, int width) const;
};
