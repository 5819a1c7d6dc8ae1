// The examination records list of the patient information dialog on a real system.db and
// real capture files: filing, thumbnails, remarks, deleting, opening and the report.

#include "DesktopOpener.h"
#include "PatinfoSupport.h"
#include "TestSupport.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

using namespace PatinfoSupport;

namespace {
QTableWidget* listOf(DlgPatinfo& dialog)
{
    return child<QTableWidget>(&dialog, "list");
}

QLabel* cell(DlgPatinfo& dialog, int row, int column)
{
    return qobject_cast<QLabel*>(listOf(dialog)->cellWidget(row, column));
}

QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The thumbnail of the row whose file name column shows name.
QImage thumbnail(DlgPatinfo& dialog, const QString& name)
{
    for (int row = 0; row < listOf(dialog)->rowCount(); ++row)
        if (cell(dialog, row, 1)->text() == name)
            return argb(cell(dialog, row, 0)->pixmap(Qt::ReturnByValue).toImage());
    return {};
}

QImage notFound()
{
    return argb(QImage(QStringLiteral(":/res/notfound.png")).scaled(48, 27));
}

// A real double click on a cell: press and release, then the double-click event.
void doubleClick(DlgPatinfo& dialog, int row, int column)
{
    QTableWidget* list = listOf(dialog);
    const QPoint at = list->visualRect(list->model()->index(row, column)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Answers the next application-modal dialog once it runs; `found` names its class.
struct ModalAnswer {
    explicit ModalAnswer(std::function<void(QDialog*)> answer)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, answer] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                timer.stop();
                found = QString::fromLatin1(modal->metaObject()->className());
                answer(modal);
            }
        });
        timer.start(10);
    }
    QTimer timer;
    QString found;
};

void editRemark(QDialog* editor, const char* button, const QString& text)
{
    child<QPlainTextEdit>(editor, "text")->setPlainText(text);
    QTest::mouseClick(child<QPushButton>(editor, button), Qt::LeftButton);
}

QString remarkOf(qlonglong record)
{
    return row(QStringLiteral("SELECT rmk FROM recd WHERE rowid=?"), { record }).value(0).toString();
}
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

    // Reloads and waits: every request posted before has run by then.
    void reload(DlgPatinfo& dialog)
    {
        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        dialog.load();
        QVERIFY(loaded.wait());
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(openDatabases());
    }

    void snapshotIsFiledWithItsFileTimeAndListed()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Snap"), QStringLiteral("Shot"));
        const QString picture
            = writePicture(QStringLiteral("Capture/20240101101010123.bmp"), { 320, 180 }, Qt::red);
        DlgPatinfo dialog(nullptr);
        QVERIFY(openPatient(dialog, patient));
        // Filed while the patient is being edited: saving and cancelling stay possible.
        QTest::mouseClick(child<QPushButton>(&dialog, "bnModify"), Qt::LeftButton);

        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        QMetaObject::invokeMethod(&dialog, "onSnap", Q_ARG(QString, QStringLiteral("Capture/missing.bmp")));
        // Given relative, filed absolute.
        QMetaObject::invokeMethod(
            &dialog, "onSnap", Q_ARG(QString, QStringLiteral("Capture/20240101101010123.bmp")));
        QVERIFY(loaded.wait());
        QVERIFY(child(&dialog, "bnOK")->isEnabled() && child(&dialog, "bnCancel")->isEnabled());

        const QSqlRecord stored = row(QStringLiteral("SELECT rowid,* FROM recd WHERE uid=?"), { patient });
        const QFileInfo file(picture);
        const QDateTime created = file.birthTime().isValid() ? file.birthTime() : file.lastModified();
        QCOMPARE(stored.value("fil").toString(), picture);
        QCOMPARE(stored.value("dtm").toString(), created.toString("yyyy/MM/dd HH:mm:ss"));
        QCOMPARE(listOf(dialog)->rowCount(), 1);
        QCOMPARE(listOf(dialog)->rowHeight(0), 27);
        QCOMPARE(cell(dialog, 0, 0)->property("id").toULongLong(), stored.value("rowid").toULongLong());
        QCOMPARE(cell(dialog, 0, 0)->property("path").toString(), picture);
        QCOMPARE(cell(dialog, 0, 2)->text(), stored.value("dtm").toString());
        const QImage shown = thumbnail(dialog, QStringLiteral("20240101101010123.bmp"));
        QCOMPARE(shown.size(), QSize(48, 27));
        QCOMPARE(QColor(shown.pixel(24, 13)), QColor(Qt::red));
    }

    void fileWithoutCreationTimeIsDatedByItsLastChange()
    {
        const QString path = QStringLiteral("/proc/version"); // procfs keeps no creation time
        if (QFileInfo(path).birthTime().isValid())
            QSKIP("this machine's /proc reports creation times");
        const qlonglong patient = insertPatient(QStringLiteral("No"), QStringLiteral("Birth"));
        DlgPatinfo dialog(nullptr);
        QVERIFY(openPatient(dialog, patient));
        dialog.addList(path);
        QVERIFY(QSignalSpy(&dialog, &DlgPatinfo::recordsLoaded).wait());
        QCOMPARE(row(QStringLiteral("SELECT dtm FROM recd WHERE uid=?"), { patient }).value(0).toString(),
            QFileInfo(path).lastModified().toString("yyyy/MM/dd HH:mm:ss"));
    }

    void thumbnailsFollowTheFiles()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Odd"), QStringLiteral("Files"));
        const QString video = TestSupport::writeFile(QStringLiteral("Capture/20240102030405.mp4"), "video");
        const QString segment
            = TestSupport::writeFile(QStringLiteral("Capture/20240102030405-001.mp4"), "video");
        const QString tiny = TestSupport::writeFile(QStringLiteral("Capture/tiny.mp4"), "video");
        const QString companion = writePicture(video + "-thumbnail.bmp", { 192, 108 }, Qt::blue);
        const QString tinyCompanion = writePicture(tiny + "-thumbnail.bmp", { 10, 10 }, Qt::yellow);
        const QString picture = writePicture(QStringLiteral("Capture/repaint.bmp"), { 320, 180 }, Qt::red);
        DlgPatinfo dialog(nullptr);
        QVERIFY(openPatient(dialog, patient));
        // Every file of a recording is filed.
        QMetaObject::invokeMethod(&dialog, "onRecord", Q_ARG(QStringList, QStringList({ video, segment })));
        QTRY_COMPARE(listOf(dialog)->rowCount(), 2);
        for (const QString& path : { tiny, picture, writePicture("Capture/upper.BMP", { 64, 36 }, Qt::green),
                 QDir::current().absoluteFilePath("Capture/gone.bmp") })
            insertRecord(patient, path);
        reload(dialog);

        // The video mark centred on the companion thumbnail, shown at its own size.
        const QImage mark(QStringLiteral(":/res/video.png"));
        QImage marked = argb(QImage(companion));
        QPainter(&marked).drawImage((192 - mark.width()) / 2, (108 - mark.height()) / 2, mark);
        QCOMPARE(thumbnail(dialog, QStringLiteral("20240102030405.mp4")), marked);
        QCOMPARE(thumbnail(dialog, QStringLiteral("20240102030405-001.mp4")), argb(mark));
        QCOMPARE(thumbnail(dialog, QStringLiteral("tiny.mp4")), argb(QImage(tinyCompanion)));
        QCOMPARE(thumbnail(dialog, QStringLiteral("upper.BMP")), argb(mark)); // capitals: not a picture
        QCOMPARE(thumbnail(dialog, QStringLiteral("gone.bmp")), notFound());
        QCOMPARE(QColor(thumbnail(dialog, "repaint.bmp").pixel(5, 5)), QColor(Qt::red));

        // A picture changed or removed since the last reload is shown as it is now.
        writePicture(picture, { 320, 180 }, Qt::green);
        QFile file(picture);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        file.close();
        reload(dialog);
        QCOMPARE(QColor(thumbnail(dialog, "repaint.bmp").pixel(5, 5)), QColor(Qt::green));
        QFile::remove(picture);
        reload(dialog);
        QCOMPARE(thumbnail(dialog, "repaint.bmp"), notFound());
    }

    void doubleClickOpensTheFileWarnsOrEditsTheRemark()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Dbl"), QStringLiteral("Click"));
        const QString present = writePicture(QStringLiteral("Capture/present.bmp"), { 32, 18 }, Qt::gray);
        const QString missing = QDir::current().absoluteFilePath(QStringLiteral("Capture/vanished.mp4"));
        insertRecord(patient, present);
        const qlonglong record = insertRecord(patient, missing, QStringLiteral("old"));
        QStringList opened;
        DesktopOpener::setLauncher([&opened](const QString& path) { return (opened << path), true; });
        DlgPatinfo dialog(nullptr);
        dialog.show();
        QVERIFY(openPatient(dialog, patient));
        MsgBoxRecorder boxes;

        doubleClick(dialog, 0, 1);
        QCOMPARE(opened, QStringList { present });
        doubleClick(dialog, 1, 2);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(
            boxes.boxes.at(0).text, QStringLiteral("The file %1 could not be found or opened.").arg(missing));
        DesktopOpener::setLauncher(nullptr);

        // The remark of a vanished file can still be edited; Cancel changes nothing.
        ModalAnswer cancel(
            [](QDialog* editor) { editRemark(editor, "bnCancel", QStringLiteral("dropped")); });
        doubleClick(dialog, 1, 3);
        QCOMPARE(cancel.found, QStringLiteral("DlgRemark"));
        reload(dialog);
        QCOMPARE(remarkOf(record), QStringLiteral("old"));
        QCOMPARE(cell(dialog, 1, 3)->text(), QStringLiteral("old"));

        QString offered;
        ModalAnswer save([&offered](QDialog* editor) {
            offered = child<QPlainTextEdit>(editor, "text")->toPlainText();
            editRemark(editor, "bnOK", QStringLiteral("<i>healed</i>"));
        });
        doubleClick(dialog, 1, 3);
        QCOMPARE(offered, QStringLiteral("old"));
        QTRY_COMPARE(cell(dialog, 1, 3)->text(), QStringLiteral("<i>healed</i>"));
        QCOMPARE(remarkOf(record), QStringLiteral("<i>healed</i>"));
        QCOMPARE(cell(dialog, 1, 3)->textFormat(), Qt::PlainText);
        QCOMPARE(boxes.boxes.size(), 1);
    }

    void deleteAsksFirstAndRemovesRowAndBothFiles()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Del"), QStringLiteral("Ete"));
        const QString kept = writePicture(QStringLiteral("Capture/kept.bmp"), { 32, 18 }, Qt::gray);
        const QString video = TestSupport::writeFile(QStringLiteral("Capture/delete.mp4"), "video");
        const QString companion = writePicture(video + "-thumbnail.bmp", { 192, 108 }, Qt::blue);
        insertRecord(patient, kept);
        const qlonglong record = insertRecord(patient, video);
        DlgPatinfo dialog(nullptr);
        dialog.show();
        QVERIFY(openPatient(dialog, patient));
        auto* popup = child<QMenu>(&dialog, "mPopup");
        const auto recordCount = [record] {
            return row(QStringLiteral("SELECT COUNT(*) FROM recd WHERE rowid=?"), { record })
                .value(0)
                .toInt();
        };

        // The menu needs a current row.
        emit listOf(dialog)->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!popup->isVisible());
        listOf(dialog)->setCurrentCell(1, 1);
        emit listOf(dialog)->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(popup->isVisible());
        popup->hide();
        {
            MsgBoxRecorder boxes(QMessageBox::No);
            child<QAction>(&dialog, "mDelete")->trigger();
            QCOMPARE(boxes.boxes.size(), 1);
            reload(dialog);
            QVERIFY(recordCount() == 1 && QFile::exists(video) && QFile::exists(companion));
        }
        MsgBoxRecorder boxes(QMessageBox::Yes);
        listOf(dialog)->setCurrentCell(1, 1);
        child<QAction>(&dialog, "mDelete")->trigger();
        QTRY_COMPARE(listOf(dialog)->rowCount(), 1);
        QCOMPARE(cell(dialog, 0, 1)->text(), QStringLiteral("kept.bmp"));
        QCOMPARE(recordCount(), 0);
        QVERIFY(!QFile::exists(video) && !QFile::exists(companion) && QFile::exists(kept));
    }

    void reportOpensTheExportDialogOnlyWithPictures()
    {
        DlgPatinfo dialog(nullptr);
        QVERIFY(openPatient(dialog, insertPatient(QStringLiteral("Re"), QStringLiteral("Port"))));
        {
            ModalAnswer none([](QDialog* modal) { modal->reject(); });
            QMetaObject::invokeMethod(&dialog, "onReport", Q_ARG(QStringList, QStringList()));
            QCOMPARE(none.found, QString());
        }
        ModalAnswer report([](QDialog* modal) { modal->reject(); });
        const QString picture = writePicture(QStringLiteral("Capture/report.bmp"), { 64, 36 }, Qt::gray);
        QMetaObject::invokeMethod(&dialog, "onReport", Q_ARG(QStringList, QStringList { picture }));
        QCOMPARE(report.found, QStringLiteral("DlgExport"));
    }
};

KARVEX_TEST_MAIN(TestRecords)
#include "TestRecords.moc"
