#include "TestSupport.h"

#include "AppSettings.h"
#include "DlgAbout.h"
#include "DlgBtnMgr.h"
#include "DlgSavePath.h"
#include "DlgWMarker.h"
#include "FileChooser.h"
#include "Language.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
template <typename T = QPushButton> T* child(QWidget* dialog, const char* name)
{
    T* widget = dialog->findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// "<absent>" keeps "stored nothing" apart from "stored empty text".
QString stored(const char* key)
{
    QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
    return settings.value(QLatin1String(key), QStringLiteral("<absent>")).toString();
}
} // namespace

class TestCameraDialogs : public QObject
{
    Q_OBJECT

    QList<FileChooser::Request> requests;
    QString answer;

private slots:
    void init()
    {
        QFile::remove(QStringLiteral("settings.ini"));
        requests.clear();
        FileChooser::setHandler([this](const FileChooser::Request& request) {
            requests << request;
            return answer;
        });
    }

    void cleanup()
    {
        FileChooser::setHandler(nullptr);
        QDir(QStringLiteral("language")).removeRecursively();
        Language::instance()->load(QString());
    }

    void savePathStoresWhatTheFieldShows()
    {
        AppSettings().setValue(QStringLiteral("SavePath/path"), QStringLiteral("/data/caps"));
        DlgSavePath(nullptr).findChild<QPushButton*>(QStringLiteral("bnOK"))->click();
        QCOMPARE(stored("SavePath/path"), QString("/data/caps")); // no slash added to a stored path
        QFile::remove(QStringLiteral("settings.ini"));

        DlgSavePath dialog(nullptr);
        auto* path = child<QLineEdit>(&dialog, "lePath");
        QVERIFY(path->text().isEmpty());
        answer = QStringLiteral("/srv/captures");
        child(&dialog, "bnMore")->click();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].kind, FileChooser::Kind::Folder);
        QCOMPARE(requests[0].parent, &dialog);
        QCOMPARE(requests[0].caption, QString("Save Path"));
        QCOMPARE(requests[0].startDir, QDir::currentPath());
        QCOMPARE(requests[0].options, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
        QCOMPARE(path->text(), QString("/srv/captures/"));
        answer = QStringLiteral("/srv/other/");
        child(&dialog, "bnMore")->click();
        QCOMPARE(path->text(), QString("/srv/other/"));
        child(&dialog, "bnOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(stored("SavePath/path"), QString("/srv/other/"));

        // The next dialog shows and browses from the stored folder; a cancelled chooser empties
        // the field, Cancel keeps the stored path, OK stores the empty text (default folder).
        DlgSavePath again(nullptr);
        QCOMPARE(child<QLineEdit>(&again, "lePath")->text(), QString("/srv/other/"));
        answer.clear();
        child(&again, "bnMore")->click();
        QCOMPARE(requests.last().startDir, QString("/srv/other/"));
        QVERIFY(child<QLineEdit>(&again, "lePath")->text().isEmpty());
        child(&again, "bnCancel")->click();
        QCOMPARE(stored("SavePath/path"), QString("/srv/other/"));
        child(&again, "bnOK")->click();
        QCOMPARE(stored("SavePath/path"), QString(""));
    }

    void watermarkTypeIsStoredAsZeroOrOne_data()
    {
        QTest::addColumn<QString>("storedType");
        QTest::addColumn<bool>("picture");
        QTest::newRow("absent") << QString() << false;
        QTest::newRow("five is a picture") << QStringLiteral("5") << true;
        QTest::newRow("not a number is text") << QStringLiteral("x") << false;
    }

    void watermarkTypeIsStoredAsZeroOrOne()
    {
        QFETCH(QString, storedType);
        QFETCH(bool, picture);
        if (!storedType.isNull())
            AppSettings().setValue(QStringLiteral("WMarker/type"), storedType);
        DlgWMarker dialog(nullptr);
        QCOMPARE(child<QRadioButton>(&dialog, "rbPict")->isChecked(), picture);
        QCOMPARE(child<QRadioButton>(&dialog, "rbText")->isChecked(), !picture);
        child(&dialog, "bnOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(stored("WMarker/type"), QString(picture ? "1" : "0"));
        QCOMPARE(stored("WMarker/text"), QString(""));
    }

    void watermarkStoresTextAndPictureOnlyOnOK()
    {
        AppSettings().setValue(QStringLiteral("WMarker/text"), QStringLiteral("Dr. Weber"));
        DlgWMarker dialog(nullptr);
        auto* pict = child<QLineEdit>(&dialog, "lePict");
        answer = QStringLiteral("/pics/clinic.png");
        child(&dialog, "bnPict")->click();
        QCOMPARE(requests[0].kind, FileChooser::Kind::OpenFile);
        QVERIFY(requests[0].caption.isEmpty() && requests[0].startDir.isEmpty());
        QCOMPARE(requests[0].filter, QString("Image Files (*.png *.jpg *.bmp)"));
        QCOMPARE(pict->text(), QString("/pics/clinic.png"));
        answer.clear();
        child(&dialog, "bnPict")->click();
        QCOMPARE(pict->text(), QString("/pics/clinic.png"));

        child<QRadioButton>(&dialog, "rbPict")->click();
        child(&dialog, "bnCancel")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(stored("WMarker/type"), QString("<absent>"));
        QCOMPARE(stored("WMarker/path"), QString("<absent>"));
        child(&dialog, "bnOK")->click();
        QCOMPARE(stored("WMarker/type"), QString("1"));
        QCOMPARE(stored("WMarker/text"), QString("Dr. Weber"));
        QCOMPARE(stored("WMarker/path"), QString("/pics/clinic.png"));
    }

    void keyControlStoresRowsIncludingNoSelection()
    {
        DlgBtnMgr dialog(nullptr);
        auto* btn1 = child<QComboBox>(&dialog, "cbBtn1");
        auto* btn2 = child<QComboBox>(&dialog, "cbBtn2");
        QCOMPARE(btn1->count(), 5);
        QCOMPARE(btn1->currentText(), QString("Snapshot"));
        QCOMPARE(btn2->currentText(), QString("Record"));
        QCOMPARE(btn2->itemText(4), QString("Zoom Out"));
        btn1->setCurrentIndex(4);
        child(&dialog, "bnCancel")->click();
        QCOMPARE(stored("BtnMgr/btn1"), QString("<absent>"));
        child(&dialog, "bnOK")->click();
        QCOMPARE(stored("BtnMgr/btn1"), QString("4"));
        QCOMPARE(stored("BtnMgr/btn2"), QString("1"));

        {
            AppSettings settings;
            settings.setValue(QStringLiteral("BtnMgr/btn1"), QStringLiteral("9"));
            settings.setValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("-3"));
        }
        DlgBtnMgr outOfRange(nullptr);
        QCOMPARE(child<QComboBox>(&outOfRange, "cbBtn1")->currentIndex(), -1);
        QCOMPARE(child<QComboBox>(&outOfRange, "cbBtn2")->currentIndex(), -1);
        child(&outOfRange, "bnOK")->click();
        QCOMPARE(stored("BtnMgr/btn1"), QString("-1"));
        QCOMPARE(stored("BtnMgr/btn2"), QString("-1"));
    }

    void languageFileTextsWinOverBuiltInOnes()
    {
        Language::instance()->load(TestSupport::writeFile(QStringLiteral("language/test.ini"),
            "[DlgAbout]\nDlgAbout=Info\nlbCopy=Alle Rechte\n"
            "[DlgBtnMgr]\ncbBtn2=Foto/Video/Standbild/Gro\xc3\x9f/Klein\n"));
        AppSettings().setValue(QStringLiteral("BtnMgr/btn2"), QStringLiteral("2"));
        DlgAbout about(nullptr);
        QCOMPARE(about.windowTitle(), QString("Info"));
        QCOMPARE(child<QLabel>(&about, "lbCopy")->text(), QString("Alle Rechte"));
        QCOMPARE(child<QLabel>(&about, "lbMore")->text(), QString("Version: 1.1.0\n"));
        // The stored row survives the items being replaced by the translation.
        DlgBtnMgr keys(nullptr);
        QCOMPARE(child<QComboBox>(&keys, "cbBtn2")->currentText(), QString("Standbild"));
    }
};

KARVEX_TEST_MAIN(TestCameraDialogs)
#include "TestCameraDialogs.moc"
