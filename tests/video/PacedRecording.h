#pragma once

#include <QString>

class CamGrabber;

// A recording of an open grabber's pictures, timed by the wall clock from its first encoded
// frame, as a camera window would make it; and how long the file plays as ffprobe reads it.
struct PacedRecording {
    bool recorded = false;
    double tookSeconds = 0.0;
    double playsSeconds = 0.0;

    // Records about four seconds into file.
    static PacedRecording record(CamGrabber& grabber, const QString& file);
    // The file plays for as long as the recording took, within 5 %.
    bool playsAsLongAsItTook() const;
    // "took 4.1 s, plays 4.0 s", for a failure message.
    QString timing() const;
};

// How long a recording plays, as ffprobe reads it; 0 when it cannot be read.
double mp4Duration(const QString& path);
