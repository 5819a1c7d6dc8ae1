#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// Column-0 pictures of the examination records list. Decoding a full-size capture is by
// far the dearest part of a list reload, so each thumbnail is made once and kept in a
// bounded memory cache while its file keeps its size and modification time.
class RecordThumbnail
{
public:
    static QSize pictureSize() { return QSize(48, 27); }

    // Records whose path ends in "bmp" (exactly, case and all) are pictures; the rest are videos.
    static bool isPicture(const QString& path);
    // The picture squeezed to 48 x 27, or the not-found picture when the file is gone.
    static QPixmap picture(const QString& path);
    // The video mark centred on the recording's companion thumbnail, or the mark alone.
    static QPixmap video(const QString& path);
};
