#include "E2eSupport.h"

#include "CamGrabber.h"
#include "CamViewer.h"
#include "CameraDevices.h"
#include "Database.h"
#include "DiskSpace.h"
#include "FakeHidapi.h"

namespace E2e {

constexpr const char* kKeyPath = "/dev/hidraw0";

void plugCamera(const QByteArray& lavfiGraph)
{
    CameraDevices::setSource([] {
        return QList<CameraDevices::Device> { { QLatin1String(kCameraNode),
            QStringLiteral("ZEN-LUX Examination Camera") } };
    });
    CamGrabber::setInputResolver([lavfiGraph](const QByteArray& key) {
        return key == kCameraNode ? qMakePair(QByteArray("lavfi"), lavfiGraph)
                                  : qMakePair(QByteArray("video4linux2"), key);
    });
    // A shared machine's real disk may be nearly full; the program would rightly refuse to record.
    DiskSpace::setSource([](const QString& path) { return path.isEmpty() ? -1 : 64LL << 30; });
    FakeHid::reset();
    FakeHid::addDevice(kKeyPath, 0x3F1C, 0x5501, 0x0102);
}

void pressCameraKey(int key)
{
    FakeHid::pushReport(kKeyPath, QByteArray(1, key == 1 ? 'S' : 'V'));
}

static int pictures = 0;

void watchPictures(FrmCamera* camera)
{
    camera->findChild<CamViewer*>()->setPresentHook([](const AVFrame*) { ++pictures; });
}

bool waitForPictures(int count)
{
    const int target = pictures + count;
    return QTest::qWaitFor([target] { return pictures >= target; }, 20000);
}

void click(QWidget* widget)
{
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
        widget->mapTo(window, widget->rect().center()));
}

QSqlDatabase checkDb()
{
    const QString name = QStringLiteral("e2e-check");
    if (!QSqlDatabase::contains(name)) {
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name)
            .setDatabaseName(QStringLiteral("./system.db"));
        // The program makes its tables a moment after it opens the file.
        const auto made
            = [name] { return QSqlDatabase::database(name).tables().contains(QStringLiteral("recd")); };
        if (!Database::instance() || !QTest::qWaitFor(made, 10000))
            qWarning("the program's database did not come up");
    }
    return QSqlDatabase::database(name);
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

QString probe(const QString& path)
{
    return runTool(QStringLiteral("ffprobe"),
        { "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
            "stream=codec_name,width,height,nb_read_frames", "-of", "csv=p=0", path })
        .trimmed();
}

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    return ok ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

} // namespace E2e
