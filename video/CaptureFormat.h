#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// One way a camera can send its picture: a pixel or compression format (a V4L2 fourcc), a
// frame size and a frame interval (seconds per frame as a fraction, as V4L2 gives it).
struct CaptureFormat {
    quint32 fourcc = 0;
    int width = 0;
    int height = 0;
    quint32 intervalNumerator = 0;
    quint32 intervalDenominator = 0;
    bool compressed = false;

    bool isValid() const;
    qint64 pixels() const { return qint64(width) * height; }
    // Frames per second; 0 when the interval is unknown.
    double fps() const;
    // The fourcc as its four letters ("MJPG", "YUYV").
    QString fourccText() const;
    // FFmpeg's name for the format in its V4L2 input's "input_format" option, or empty
    // text when FFmpeg cannot read it.
    QByteArray ffmpegInputFormat() const;
    // What people call the format: "MJPEG", "YUYV".
    QString kindName() const;
    // "1920x1080, 30 fps (MJPEG)"
    QString label() const;
    // The rate as people write it: "30", "29.97", "7.5".
    static QString fpsText(double fps);

    // How a choice is kept in settings: "MJPG 1920x1080 1/30"; empty text for none.
    QString toSetting() const;
    // The format kept as toSetting wrote it; invalid for empty or damaged text.
    static CaptureFormat fromSetting(const QString& text);

    bool operator==(const CaptureFormat& other) const;
    bool operator!=(const CaptureFormat& other) const { return !(*this == other); }
};

using CaptureFormats = QList<CaptureFormat>;
