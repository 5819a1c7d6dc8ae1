// The examination records list of the patient information dialog on a real system.db and
// real capture files: filing, thumbnails, remarks, deleting, opening and the report.

#include "DesktopOpener.h"
#include "DlgExport.h"
#include "DlgPatinfo.h"
#include "DlgRemark.h"
#include "PatinfoSupport.h"
#include "RecordThumbnail.h"
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

#include <functional>
#include <memory>

using namespace PatinfoSupport;

namespace {
const QString timeFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

QTableWidget* listOf(DlgPatinfo& dialog)
{
    return dialog.findChild<QTableWidget*>(QStringLiteral("list"));
}

QLabel* cell(DlgPatinfo& dialog, int row, int column)
{
    return qobject_cast<QLabel*>(listOf(dialog)->cellWidget(row, column));
}

QImage shown(DlgPatinfo& dialog, int row)
{
    return cell(dialog, row, 0)->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

// The row whose file name column shows name, or -1.
int rowNamed(DlgPatinfo& dialog, const QString& name)
{
    for (int row = 0; row < listOf(dialog)->rowCount(); ++row)
        if (cell(dialog, row, 1) && cell(dialog, row, 1)->text() == name)
            return row;
    return -1;
}

QPoint cellCentre(DlgPatinfo& dialog, int row, int column)
{
    QTableWidget* list = listOf(dialog);
    return list->visualRect(list->model()->index(row, column)).center();
}

void doubleClick(DlgPatinfo& dialog, int row, int column)
{
    // A real double click: press and release, then the double-click event.
    QTest::mouseClick(listOf(dialog)->viewport(), Qt::LeftButton, {}, cellCentre(dialog, row, column));
    QTest::mouseDClick(listOf(dialog)->viewport(), Qt::LeftButton, {}, cellCentre(dialog, row, column));
}

// Answers the next application-modal dialog with `answer` once it is running, and keeps
// the class name of what it found.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(QDialog*)> answer)
        : m_answer(std::move(answer))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!modal)
                return;
            m_timer.stop();
            found = QString::fromLatin1(modal->metaObject()->className());
            m_answer(modal);
        });
        m_timer.start();
    }
    QString found;

private:
    std::function<void(QDialog*)> m_answer;
    QTimer m_timer;
};

QString fileTime(const QString& path)
{
    const QFileInfo info(path);
    const QDateTime created = info.birthTime().isValid() ? info.birthTime() : info.lastModified();
    return created.toString(timeFormat);
}
} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

    // Opens the dialog for a patient and waits for the records list.
    void open(DlgPatinfo& dialog, qlonglong patient)
    {
        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        dialog.setRowID(quint64(patient));
        QVERIFY(loaded.wait());
    }

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

    void snapshotsAreFiledWithTheirFileTimeAndListed()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Snap"), QStringLiteral("Shot"));
        const QString picture
            = writePicture(QStringLiteral("Capture/20240101101010123.bmp"), { 320, 180 }, Qt::red);
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);
        QCOMPARE(listOf(dialog)->rowCount(), 0);

        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        // Given relative, filed absolute.
        QMetaObject::invokeMethod(
            &dialog, "onSnap", Q_ARG(QString, QStringLiteral("Capture/20240101101010123.bmp")));
        QMetaObject::invokeMethod(&dialog, "onSnap", Q_ARG(QString, QStringLiteral("Capture/missing.bmp")));
        QVERIFY(loaded.wait());

        const QSqlRecord stored = row(QStringLiteral("SELECT rowid,* FROM recd WHERE uid=?"), { patient });
        QCOMPARE(stored.value("fil").toString(), picture);
        QCOMPARE(stored.value("dtm").toString(), fileTime(picture));
        QVERIFY(stored.value("rmk").isNull());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM recd WHERE uid=?"), { patient }), 1);

        QCOMPARE(listOf(dialog)->rowCount(), 1);
        QCOMPARE(listOf(dialog)->rowHeight(0), 27);
        QCOMPARE(cell(dialog, 0, 0)->property("id").toULongLong(), stored.value("rowid").toULongLong());
        QCOMPARE(cell(dialog, 0, 0)->property("path").toString(), picture);
        QCOMPARE(cell(dialog, 0, 1)->text(), QStringLiteral("20240101101010123.bmp"));
        QCOMPARE(cell(dialog, 0, 2)->text(), fileTime(picture));
        QCOMPARE(cell(dialog, 0, 3)->text(), QString());
        const QImage thumbnail = shown(dialog, 0);
        QCOMPARE(thumbnail.size(), QSize(48, 27));
        QCOMPARE(QColor(thumbnail.pixel(24, 13)), QColor(Qt::red));
    }

    void fileWithoutCreationTimeIsDatedByItsLastChange()
    {
        // procfs keeps no creation time.
        const QString path = QStringLiteral("/proc/version");
        if (QFileInfo(path).birthTime().isValid())
            QSKIP("this machine's /proc reports creation times");
        const qlonglong patient = insertPatient(QStringLiteral("No"), QStringLiteral("Birth"));
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);
        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        dialog.addList(path);
        QVERIFY(loaded.wait());
        const QString filed
            = row(QStringLiteral("SELECT dtm FROM recd WHERE uid=?"), { patient }).value(0).toString();
        QCOMPARE(filed, QFileInfo(path).lastModified().toString(timeFormat));
        QVERIFY(!filed.isEmpty());
    }

    void everyFileOfARecordingIsFiledAsAVideo()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Rec"), QStringLiteral("Two"));
        const QString first = TestSupport::writeFile(QStringLiteral("Capture/20240102030405.mp4"), "video");
        const QString second
            = TestSupport::writeFile(QStringLiteral("Capture/20240102030405-001.mp4"), "video");
        writePicture(first + QStringLiteral("-thumbnail.bmp"), { 192, 108 }, Qt::blue);
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);

        QMetaObject::invokeMethod(&dialog, "onRecord", Q_ARG(QStringList, QStringList({ first, second })));
        QTRY_COMPARE(listOf(dialog)->rowCount(), 2);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM recd WHERE uid=?"), { patient }), 2);

        // With a companion thumbnail: the video mark centred on it; without: the mark alone.
        QImage expected = argb(QImage(first + QStringLiteral("-thumbnail.bmp")));
        const QImage mark(QStringLiteral(":/res/video.png"));
        QPainter(&expected).drawImage((192 - mark.width()) / 2, (108 - mark.height()) / 2, mark);
        QCOMPARE(shown(dialog, rowNamed(dialog, QStringLiteral("20240102030405.mp4"))), expected);
        QCOMPARE(shown(dialog, rowNamed(dialog, QStringLiteral("20240102030405-001.mp4"))), argb(mark));
    }

    void thumbnailsOfOddRecords()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Odd"), QStringLiteral("Files"));
        const QString upper = writePicture(QStringLiteral("Capture/upper.BMP"), { 64, 36 }, Qt::green);
        const QString tiny = TestSupport::writeFile(QStringLiteral("Capture/tiny.mp4"), "video");
        const QString tinyThumb
            = writePicture(tiny + QStringLiteral("-thumbnail.bmp"), { 10, 10 }, Qt::yellow);
        insertRecord(patient, upper);
        insertRecord(patient, tiny);
        insertRecord(patient, QDir::current().absoluteFilePath(QStringLiteral("Capture/gone.bmp")));
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);
        QCOMPARE(listOf(dialog)->rowCount(), 3);

        // "BMP" in capitals is not a picture: the video mark, not the green picture.
        QCOMPARE(shown(dialog, rowNamed(dialog, QStringLiteral("upper.BMP"))),
            argb(QImage(QStringLiteral(":/res/video.png"))));
        // A companion smaller than the mark is shown without it.
        QCOMPARE(shown(dialog, rowNamed(dialog, QStringLiteral("tiny.mp4"))), argb(QImage(tinyThumb)));
        QCOMPARE(shown(dialog, rowNamed(dialog, QStringLiteral("gone.bmp"))),
            argb(QImage(QStringLiteral(":/res/notfound.png")).scaled(48, 27)));
    }

    void changedPictureIsDecodedAgain()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Re"), QStringLiteral("Paint"));
        const QString picture = writePicture(QStringLiteral("Capture/repaint.bmp"), { 320, 180 }, Qt::red);
        insertRecord(patient, picture);
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);
        QCOMPARE(QColor(shown(dialog, 0).pixel(5, 5)), QColor(Qt::red));

        writePicture(picture, { 320, 180 }, Qt::green);
        QFile file(picture);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
        file.close();
        reload(dialog);
        QCOMPARE(QColor(shown(dialog, 0).pixel(5, 5)), QColor(Qt::green));

        QFile::remove(picture);
        reload(dialog);
        QCOMPARE(shown(dialog, 0), argb(QImage(QStringLiteral(":/res/notfound.png")).scaled(48, 27)));
    }

    void remarkEditorSavesOnOkAndChangesNothingOnCancel()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Re"), QStringLiteral("Mark"));
        const qlonglong record = insertRecord(patient,
            writePicture(QStringLiteral("Capture/remark.bmp"), { 32, 18 }, Qt::gray), QStringLiteral("old"));
        DlgPatinfo dialog(nullptr);
        dialog.show();
        open(dialog, patient);
        QCOMPARE(cell(dialog, 0, 3)->text(), QStringLiteral("old"));

        ModalAnswer cancel([](QDialog* editor) {
            editor->findChild<QPlainTextEdit*>(QStringLiteral("text"))
                ->setPlainText(QStringLiteral("dropped"));
            QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("bnCancel")), Qt::LeftButton);
        });
        doubleClick(dialog, 0, 3);
        QCOMPARE(cancel.found, QStringLiteral("DlgRemark"));
        reload(dialog);
        QCOMPARE(row(QStringLiteral("SELECT rmk FROM recd WHERE rowid=?"), { record }).value(0).toString(),
            QStringLiteral("old"));
        QCOMPARE(cell(dialog, 0, 3)->text(), QStringLiteral("old"));

        QString offered;
        ModalAnswer save([&offered](QDialog* editor) {
            auto* text = editor->findChild<QPlainTextEdit*>(QStringLiteral("text"));
            offered = text->toPlainText();
            text->setPlainText(QStringLiteral("<i>healed</i>"));
            QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("bnOK")), Qt::LeftButton);
        });
        doubleClick(dialog, 0, 3);
        QCOMPARE(offered, QStringLiteral("old"));
        QTRY_COMPARE(cell(dialog, 0, 3)->text(), QStringLiteral("<i>healed</i>"));
        QCOMPARE(row(QStringLiteral("SELECT rmk FROM recd WHERE rowid=?"), { record }).value(0).toString(),
            QStringLiteral("<i>healed</i>"));
        QCOMPARE(cell(dialog, 0, 3)->textFormat(), Qt::PlainText);
    }

    void deleteAsksFirstAndRemovesRowAndBothFiles()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Del"), QStringLiteral("Ete"));
        const QString video = TestSupport::writeFile(QStringLiteral("Capture/delete.mp4"), "video");
        const QString companion
            = writePicture(video + QStringLiteral("-thumbnail.bmp"), { 192, 108 }, Qt::blue);
        const QString kept = writePicture(QStringLiteral("Capture/kept.bmp"), { 32, 18 }, Qt::gray);
        const qlonglong record = insertRecord(patient, video);
        insertRecord(patient, kept);
        DlgPatinfo dialog(nullptr);
        dialog.show();
        open(dialog, patient);
        auto* deleteAction = dialog.findChild<QAction*>(QStringLiteral("mDelete"));
        auto* popup = dialog.findChild<QMenu*>(QStringLiteral("mPopup"));
        QVERIFY(deleteAction && popup);

        // No current row: no menu, and Delete does nothing.
        emit listOf(dialog)->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!popup->isVisible());

        const int target = rowNamed(dialog, QStringLiteral("delete.mp4"));
        QTest::mouseClick(listOf(dialog)->viewport(), Qt::LeftButton, {}, cellCentre(dialog, target, 1));
        QCOMPARE(listOf(dialog)->currentRow(), target);
        emit listOf(dialog)->customContextMenuRequested(cellCentre(dialog, target, 1));
        QTRY_VERIFY(popup->isVisible());
        popup->hide();

        {
            MsgBoxRecorder boxes(QMessageBox::No);
            deleteAction->trigger();
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(boxes.boxes.at(0).kind, MsgBox::Kind::Question);
            QCOMPARE(boxes.boxes.at(0).title, QStringLiteral("Please Confirm"));
            reload(dialog);
            QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM recd WHERE rowid=?"), { record }), 1);
            QCOMPARE(listOf(dialog)->rowCount(), 2);
            QVERIFY(QFile::exists(video) && QFile::exists(companion));
        }

        MsgBoxRecorder boxes(QMessageBox::Yes);
        listOf(dialog)->setCurrentCell(rowNamed(dialog, QStringLiteral("delete.mp4")), 0);
        deleteAction->trigger();
        QTRY_COMPARE(listOf(dialog)->rowCount(), 1);
        QCOMPARE(cell(dialog, 0, 1)->text(), QStringLiteral("kept.bmp"));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM recd WHERE rowid=?"), { record }), 0);
        QVERIFY(!QFile::exists(video));
        QVERIFY(!QFile::exists(companion));
        QVERIFY(QFile::exists(kept));
    }

    void doubleClickOpensTheFileOrNamesTheMissingOne()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Dbl"), QStringLiteral("Click"));
        const QString present = writePicture(QStringLiteral("Capture/present.bmp"), { 32, 18 }, Qt::gray);
        const QString missing = QDir::current().absoluteFilePath(QStringLiteral("Capture/vanished.mp4"));
        insertRecord(patient, present);
        insertRecord(patient, missing);
        QStringList opened;
        DesktopOpener::setLauncher([&opened](const QString& path) {
            opened << path;
            return true;
        });
        DlgPatinfo dialog(nullptr);
        dialog.show();
        open(dialog, patient);
        MsgBoxRecorder boxes;

        doubleClick(dialog, rowNamed(dialog, QStringLiteral("present.bmp")), 1);
        QCOMPARE(opened, QStringList { present });
        QVERIFY(boxes.boxes.isEmpty());

        doubleClick(dialog, rowNamed(dialog, QStringLiteral("vanished.mp4")), 2);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.at(0).kind, MsgBox::Kind::Warning);
        QCOMPARE(
            boxes.boxes.at(0).text, QStringLiteral("The file %1 could not be found or opened.").arg(missing));

        // The remark of a vanished file can still be edited.
        ModalAnswer reject([](QDialog* editor) { editor->reject(); });
        doubleClick(dialog, rowNamed(dialog, QStringLiteral("vanished.mp4")), 3);
        QCOMPARE(reject.found, QStringLiteral("DlgRemark"));
        QCOMPARE(boxes.boxes.size(), 1);
        DesktopOpener::setLauncher(nullptr);
    }

    void reportOpensTheExportDialogOnlyWithPictures()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Re"), QStringLiteral("Port"));
        const QString picture = writePicture(QStringLiteral("Capture/report.bmp"), { 64, 36 }, Qt::gray);
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);

        {
            ModalAnswer none([](QDialog* modal) { modal->reject(); });
            QMetaObject::invokeMethod(&dialog, "onReport", Q_ARG(QStringList, QStringList()));
            QCOMPARE(none.found, QString());
        }
        ModalAnswer report([](QDialog* modal) { modal->reject(); });
        QMetaObject::invokeMethod(&dialog, "onReport", Q_ARG(QStringList, QStringList { picture }));
        QCOMPARE(report.found, QStringLiteral("DlgExport"));
    }

    void captureFiledWhileEditingKeepsSaveAndCancel()
    {
        const qlonglong patient = insertPatient(QStringLiteral("Edit"), QStringLiteral("Snap"));
        const QString picture = writePicture(QStringLiteral("Capture/editing.bmp"), { 32, 18 }, Qt::gray);
        DlgPatinfo dialog(nullptr);
        open(dialog, patient);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("bnModify")), Qt::LeftButton);

        QSignalSpy loaded(&dialog, &DlgPatinfo::recordsLoaded);
        QMetaObject::invokeMethod(&dialog, "onSnap", Q_ARG(QString, picture));
        QVERIFY(loaded.wait());
        QCOMPARE(listOf(dialog)->rowCount(), 1);
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("bnOK"))->isEnabled());
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("bnCancel"))->isEnabled());
    }
};

KARVEX_TEST_MAIN(TestRecords)
#include "TestRecords.moc"
