#include "CaptureMessages.h"

#include "Language.h"

#include <QDir>

extern "C" {
#include <libavutil/error.h>
}

namespace {
QString withPath(const char* key, const QString& path)
{
    return Language::systemText(key).arg(QDir::toNativeSeparators(path));
}
} // namespace

namespace CaptureMessages {
QString cameraUnavailable(int openError)
{
    if (openError == AVERROR(EBUSY))
        return Language::systemText("cam_busy");
    if (openError == AVERROR(EACCES) || openError == AVERROR(EPERM))
        return Language::systemText("cam_perm");
    return Language::systemText("cam_fail");
}

QString noCamera()
{
    return Language::systemText("cam_none");
}

QString noLivePicture()
{
    return Language::systemText("cam_x11");
}

QString noPicture(const QString& folder)
{
    return withPath("cap_nopic", folder);
}

QString snapshotRefused(const QString& folder)
{
    return withPath("snap_fail", folder);
}

QString recordingRefused(const QString& folder)
{
    return withPath("rec_fail", folder);
}

QString recordingCut(const QString& file, bool kept)
{
    return withPath(kept ? "rec_cut" : "rec_lost", file);
}
} // namespace CaptureMessages
