#pragma once

#include <QList>
#include <QString>

// Reads a recording back with libavformat/libavcodec, independently of our writer.
struct Mp4Info {
    bool opened = false;
    bool h264 = false;
    int width = 0;
    int height = 0;
    int timeBaseDen = 0; // stream time base 1/den
    double frameRate = 0.0;
    double durationS = 0.0;
    int decodedFrames = 0;
    // Frame numbers (from 0, in presentation order) of the key frames.
    QList<int> keyFrames;
};

Mp4Info probeMp4(const QString& path);

// Seeks to `seconds` after the first frame and decodes one frame: its time in seconds from
// the first frame, or -1 on failure.
double seekAndDecode(const QString& path, double seconds);
