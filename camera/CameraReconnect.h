#pragma once

#include "CameraDevices.h"

#include <QList>
#include <QString>
#include <QStringList>

// Whether the camera in use has been lost (its picture failed, it was unplugged, or it could
// not be opened), and which camera of a new device list to open then. A lost camera is found
// again by its node or by its description: a replugged camera may come back under another
// node, and cameras of one model share a description, so a match on both comes first.
class CameraReconnect
{
public:
    void setLost(bool lost) { m_lost = lost; }
    bool isLost() const { return m_lost; }
    // The camera at deviceKey is lost when its node is among the removed ones.
    void noteRemoved(const QString& deviceKey, const QStringList& removedNodes);

    // Index into offered (device key, description) of the camera to open now, or -1 to leave
    // the current one as it is. A camera still running stays and a lost one is reopened where
    // it is found. Otherwise, when the operator asked (Refresh), the first offered camera
    // takes over; on a device event a lost camera is waited for instead, so that pulling it
    // out does not silently switch to another one and plugging it back brings it back.
    int pick(const QList<CameraDevices::Device>& offered, const QString& deviceKey,
        const QString& description, bool byOperator) const;

private:
    bool m_lost = false;
};
