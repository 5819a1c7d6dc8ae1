#include "E2eSupport.h"

#include "CamGrabber.h"
#include "CameraDevices.h"
#include "DiskSpace.h"
#include "FakeHidapi.h"

#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QSqlError>
#include <QStyleOptionGroupBox>
#include <QTableWidget>
#include <QtTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <atomic>
#include <memory>

namespace E2e {

namespace {
std::atomic<int> diskQueries { 0 };
} // namespace

int diskChecks()
{
    return diskQueries;
}

void plugCamera(const QByteArray& lavfiGraph, qint64 freeBytes)
{
    CameraDevices::setSource([] {
        return QList<CameraDevices::Device> { { QLatin1String(kCameraNode),
            QStringLiteral("ZEN-LUX Examination Camera") } };
    });
    CamGrabber::setInputResolver([lavfiGraph](const QByteArray& key) {
        if (key == kCameraNode)
            return qMakePair(QByteArray("lavfi"), lavfiGraph);
        return qMakePair(QByteArray("video4linux2"), key);
    });
    DiskSpace::setSource([freeBytes](const QString& path) {
        ++diskQueries;
        return path.isEmpty() ? -1 : freeBytes;
    });
    FakeHid::reset();
    FakeHid::addDevice(kKeyPath, kKeyVendor, kKeyProduct, 0x0102);
}

void unplugCamera()
{
    CameraDevices::setSource(nullptr);
    CamGrabber::setInputResolver(nullptr);
    DiskSpace::setSource(nullptr);
    FakeHid::reset();
}

void pressCameraKey(int key)
{
    FakeHid::pushReport(kKeyPath, QByteArray(1, key == 1 ? 'S' : 'V'));
}

namespace {
std::atomic<int> keysRead { 0 };
QtMessageHandler previousHandler = nullptr;

void countKeyLines(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("Got camera key")))
        ++keysRead;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

int cameraKeysRead()
{
    static const bool installed = [] {
        previousHandler = qInstallMessageHandler(countKeyLines);
        return true;
    }();
    Q_UNUSED(installed);
    return keysRead;
}

void click(QWidget* widget)
{
    QWidget* window = widget->window();
    const QPoint at = widget->mapTo(window, widget->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

void clickTitleCheckBox(QGroupBox* box)
{
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.subControls = QStyle::SC_GroupBoxCheckBox | QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.features = QStyleOptionFrame::None;
    option.text = box->title();
    option.lineWidth = 1;
    const QRect checkBox
        = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxCheckBox, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, checkBox.center());
}

bool waitForModal(const std::function<bool(QWidget*)>& isTheDialog)
{
    if (QTest::qWaitFor([&] { return isTheDialog(QApplication::activeModalWidget()); }, 15000))
        return true;
    qWarning("the expected dialog did not open");
    return false;
}

QString cellText(QTableWidget* table, int row, int column)
{
    if (auto* label = qobject_cast<QLabel*>(table->cellWidget(row, column)))
        return label->text();
    QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

QSqlDatabase checkDb()
{
    const QString name = QStringLiteral("e2e-check");
    if (!QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral("./system.db"));
    }
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isOpen())
        db.open();
    return db;
}

QSqlQuery sql(const QString& statement, const QVariantList& binds)
{
    QSqlQuery query(checkDb());
    query.prepare(statement);
    for (const QVariant& value : binds)
        query.addBindValue(value);
    if (!query.exec())
        qWarning("check query failed: %s", qPrintable(query.lastError().text()));
    return query;
}

QVariant sqlValue(const QString& statement, const QVariantList& binds)
{
    QSqlQuery query = sql(statement, binds);
    return query.next() ? query.value(0) : QVariant();
}

namespace {
struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

int receiveAll(AVCodecContext* decoder, AVFrame* frame)
{
    int frames = 0;
    while (avcodec_receive_frame(decoder, frame) == 0) {
        ++frames;
        av_frame_unref(frame);
    }
    return frames;
}
} // namespace

Media probe(const QString& path, int maxFrames)
{
    Media media;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return media;
    std::unique_ptr<AVFormatContext, InputCloser> input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return media;
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || !codec)
        return media;
    std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar) < 0
        || avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return media;
    media.opened = true;
    media.codec = QString::fromLatin1(codec->name);
    media.width = decoder->width;
    media.height = decoder->height;

    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    while (media.decodedFrames < maxFrames && av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(decoder.get(), packet.get()) == 0)
            media.decodedFrames += receiveAll(decoder.get(), frame.get());
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    media.decodedFrames += receiveAll(decoder.get(), frame.get());
    return media;
}

QString runTool(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(60000);
    const int code = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (exitCode)
        *exitCode = code;
    return code == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

} // namespace E2e
