#include "CaptureFormat.h"

#include <QStringList>

namespace {
constexpr quint32 makeFourcc(char a, char b, char c, char d)
{
    return quint32(quint8(a)) | quint32(quint8(b)) << 8 | quint32(quint8(c)) << 16 | quint32(quint8(d)) << 24;
}

struct KnownFormat {
    quint32 fourcc;
    const char* ffmpegName;
    const char* shortName;
};

// The formats UVC cameras send that FFmpeg's V4L2 input can read, under the names its
// "input_format" option accepts.
const KnownFormat kKnownFormats[] = {
    { makeFourcc('M', 'J', 'P', 'G'), "mjpeg", "MJPEG" },
    { makeFourcc('J', 'P', 'E', 'G'), "mjpeg", "JPEG" },
    { makeFourcc('H', '2', '6', '4'), "h264", "H.264" },
    { makeFourcc('Y', 'U', 'Y', 'V'), "yuyv422", "YUYV" },
    { makeFourcc('U', 'Y', 'V', 'Y'), "uyvy422", "UYVY" },
    { makeFourcc('Y', 'V', 'Y', 'U'), "yvyu422", "YVYU" },
    { makeFourcc('N', 'V', '1', '2'), "nv12", "NV12" },
    { makeFourcc('Y', 'U', '1', '2'), "yuv420p", "YUV 4:2:0" },
    { makeFourcc('Y', 'V', '1', '2'), "yuv420p", "YVU 4:2:0" },
    { makeFourcc('G', 'R', 'E', 'Y'), "gray", "GREY" },
    { makeFourcc('R', 'G', 'B', '3'), "rgb24", "RGB" },
    { makeFourcc('B', 'G', 'R', '3'), "bgr24", "BGR" },
};

const KnownFormat* known(quint32 code)
{
    for (const KnownFormat& format : kKnownFormats) {
        if (format.fourcc == code)
            return &format;
    }
    return nullptr;
}
} // namespace

bool CaptureFormat::isValid() const
{
    return fourcc != 0 && width > 0 && height > 0 && intervalNumerator > 0 && intervalDenominator > 0;
}

double CaptureFormat::fps() const
{
    return intervalNumerator ? double(intervalDenominator) / double(intervalNumerator) : 0.0;
}

QString CaptureFormat::fourccText() const
{
    QString text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char letter = char((fourcc >> shift) & 0xFF);
        if (letter != ' ' && letter != 0)
            text += QLatin1Char(letter);
    }
    return text;
}

QByteArray CaptureFormat::ffmpegInputFormat() const
{
    const KnownFormat* format = known(fourcc);
    return format ? QByteArray(format->ffmpegName) : QByteArray();
}

QString CaptureFormat::fpsText(double fps)
{
    QString text = QString::number(fps, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString CaptureFormat::kindName() const
{
    const KnownFormat* format = known(fourcc);
    return format ? QLatin1String(format->shortName) : fourccText();
}

QString CaptureFormat::label() const
{
    return QStringLiteral("%1x%2, %3 fps (%4)").arg(width).arg(height).arg(fpsText(fps()), kindName());
}

QString CaptureFormat::toSetting() const
{
    if (!isValid())
        return QString();
    return QStringLiteral("%1 %2x%3 %4/%5")
        .arg(fourccText())
        .arg(width)
        .arg(height)
        .arg(intervalNumerator)
        .arg(intervalDenominator);
}

CaptureFormat CaptureFormat::fromSetting(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 3 || parts.at(0).size() != 4)
        return {};
    const QStringList size = parts.at(1).split(QLatin1Char('x'));
    const QStringList interval = parts.at(2).split(QLatin1Char('/'));
    if (size.size() != 2 || interval.size() != 2)
        return {};
    const QByteArray letters = parts.at(0).toLatin1();
    CaptureFormat format;
    format.fourcc = makeFourcc(letters.at(0), letters.at(1), letters.at(2), letters.at(3));
    format.width = size.at(0).toInt();
    format.height = size.at(1).toInt();
    format.intervalNumerator = interval.at(0).toUInt();
    format.intervalDenominator = interval.at(1).toUInt();
    return format.isValid() ? format : CaptureFormat();
}

bool CaptureFormat::operator==(const CaptureFormat& other) const
{
    // Compared as rates: 1/30 and 2/60 are the same interval.
    return fourcc == other.fourcc && width == other.width && height == other.height
        && quint64(intervalNumerator) * other.intervalDenominator
        == quint64(other.intervalNumerator) * intervalDenominator;
}
