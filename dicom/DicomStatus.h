#pragma once

#include <QString>

// The outcome of one exchange with a DICOM server, sorted by what the operator can do about
// it; `detail` is the technical reason (from DCMTK or the peer's status, in English) for the
// tooltip and the log.
struct DicomStatus {
    enum Failure {
        None, // it worked
        Refused, // nothing listens at that host and port (connection refused, unknown host)
        NoAnswer, // no answer within the time-out
        AeTitleRejected, // the peer rejected the association because of an AE title
        NotAccepted, // the association stood, but the peer accepts no context for the object
        Failed, // anything else: the peer's error status, an unreadable file, ...
    };
    Failure failure = None;
    QString detail;

    bool ok() const { return failure == None; }
};
