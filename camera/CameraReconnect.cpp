#include "CameraReconnect.h"

void CameraReconnect::noteRemoved(const QString& deviceKey, const QStringList& removedNodes)
{
    // Device keys of V4L2 nodes are the node paths themselves.
    if (!deviceKey.isEmpty() && removedNodes.contains(deviceKey))
        m_lost = true;
}

int CameraReconnect::pick(const QList<CameraDevices::Device>& offered, const QString& deviceKey,
    const QString& description, bool byOperator) const
{
    int sameBoth = -1, sameDescription = -1, sameKey = -1;
    for (int i = offered.size() - 1; i >= 0; --i) {
        const bool keyMatches = offered.at(i).first == deviceKey;
        const bool descriptionMatches = !description.isEmpty() && offered.at(i).second == description;
        if (keyMatches && descriptionMatches)
            sameBoth = i;
        if (descriptionMatches)
            sameDescription = i;
        if (keyMatches)
            sameKey = i;
    }
    if (!m_lost && sameKey >= 0)
        return -1;
    if (m_lost) {
        for (int found : { sameBoth, sameDescription, sameKey }) {
            if (found >= 0)
                return found;
        }
    }
    const bool waitForIt = !byOperator && !deviceKey.isEmpty();
    return offered.isEmpty() || waitForIt ? -1 : 0;
}
