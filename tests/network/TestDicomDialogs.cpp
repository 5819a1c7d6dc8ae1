// The DICOM settings dialog and the worklist dialog, offscreen, against ports where nothing
// listens or where something listens but never answers.
#include "AppSettings.h"
#include "DlgDicom.h"
#include "DlgWorklist.h"
#include "Language.h"
#include "PersonName.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QThreadPool>

namespace {

QLineEdit* edit(QWidget& dialog, const QString& name)
{
    return dialog.findChild<QLineEdit*>(name);
}

QPushButton* button(QWidget& dialog, const char* name)
{
    return dialog.findChild<QPushButton*>(QLatin1String(name));
}

QString labelText(QWidget& dialog, const char* name)
{
    return dialog.findChild<QLabel*>(QLatin1String(name))->text();
}

// A local port with nothing listening on it (the listener is closed again at once).
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

QString text(const char* key)
{
    return Language::systemText(key);
}

} // namespace

class TestDicomDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(!Language::instance()->text("DlgDicom", "gbArc").isEmpty());
    }

    void init() { QFile::remove(QStringLiteral("settings.ini")); }

    void cleanup()
    {
        // A check still running must not outlive its test.
        QThreadPool::globalInstance()->waitForDone();
    }

    void okStoresTheTypedSettings()
    {
        DlgDicom dialog;
        edit(dialog, "leStaAet")->setText(" ROOM2 ");
        edit(dialog, "leArcAet")->setText("PACS");
        edit(dialog, "leArcHost")->setText("pacs.clinic.example");
        edit(dialog, "leArcPort")->setText("11112");
        dialog.findChild<QComboBox*>("cbModality")->setCurrentIndex(1);
        dialog.findChild<QCheckBox*>("cbAutoSend")->setChecked(true);
        button(dialog, "bnOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const AppSettings settings;
        QCOMPARE(settings.dicomStationAeTitle(), QStringLiteral("ROOM2"));
        QCOMPARE(settings.archiveAeTitle(), QStringLiteral("PACS"));
        QCOMPARE(settings.archiveHost(), QStringLiteral("pacs.clinic.example"));
        QCOMPARE(settings.archivePort(), 11112);
        QCOMPARE(settings.dicomModality(), QStringLiteral("XC"));
        QCOMPARE(settings.autoSendToArchive(), true);
    }

    void cancelKeepsTheStoredSettings()
    {
        AppSettings().setArchiveHost("old-pacs");
        DlgDicom dialog;
        edit(dialog, "leArcHost")->setText("new-pacs");
        edit(dialog, "leStaAet")->setText("OTHER");
        button(dialog, "bnCancel")->click();
        QCOMPARE(AppSettings().archiveHost(), QStringLiteral("old-pacs"));
        QCOMPARE(AppSettings().dicomStationAeTitle(), QStringLiteral("KARVEX"));
    }

    void dialogOpensWithTheStoredSettings()
    {
        AppSettings().setWorklistAeTitle("WLSCP");
        AppSettings().setDicomModality("GM");
        DlgDicom dialog;
        QCOMPARE(edit(dialog, "leWlAet")->text(), QStringLiteral("WLSCP"));
        QCOMPARE(dialog.findChild<QComboBox*>("cbModality")->currentIndex(), 2);
        QCOMPARE(edit(dialog, "leWlPort")->text(), QStringLiteral("104"));
        QCOMPARE(dialog.findChild<QCheckBox*>("cbAutoSend")->isChecked(), false);
    }

    void blankServerIsNotRequired()
    {
        DlgDicom dialog;
        edit(dialog, "leArcAet")->clear();
        edit(dialog, "leArcHost")->clear();
        button(dialog, "bnOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void okRefusesAFaultyField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        const QString aet = text("dcm_aet_bad");
        const QString port = text("dcm_port_bad");
        const QString station = QStringLiteral("This station \u2013 AE title");
        QTest::newRow("station AE title empty") << "leStaAet"
                                                << "" << aet.arg(station);
        QTest::newRow("station AE title only spaces") << "leStaAet"
                                                      << "    " << aet.arg(station);
        QTest::newRow("station AE title of 17 characters") << "leStaAet"
                                                           << "ABCDEFGHIJKLMNOPQ" << aet.arg(station);
        QTest::newRow("station AE title with a backslash") << "leStaAet"
                                                           << "ROOM\\2" << aet.arg(station);
        QTest::newRow("station AE title with a tab") << "leStaAet"
                                                     << "ROOM\t2" << aet.arg(station);
        QTest::newRow("station AE title with an umlaut") << "leStaAet"
                                                         << "R\u00c4UM" << aet.arg(station);
        QTest::newRow("archive AE title empty beside a host")
            << "leArcAet"
            << "" << aet.arg(QStringLiteral("Archive (PACS) \u2013 AE title"));
        QTest::newRow("archive port 0") << "leArcPort"
                                        << "0" << port.arg(QStringLiteral("Archive (PACS) \u2013 Port"));
        QTest::newRow("archive port 65536")
            << "leArcPort"
            << "65536" << port.arg(QStringLiteral("Archive (PACS) \u2013 Port"));
        QTest::newRow("worklist port not a number")
            << "leWlPort"
            << "1o4" << port.arg(QStringLiteral("Worklist \u2013 Port"));
    }

    void okRefusesAFaultyField()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        AppSettings().setArchiveHost("pacs");
        MsgBoxRecorder boxes;
        DlgDicom dialog;
        dialog.show();
        edit(dialog, "leArcAet")->setText("PACS");
        edit(dialog, field)->setText(value);
        button(dialog, "bnOK")->click();
        QCOMPARE(boxes.boxes.value(0).text, message);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget(), edit(dialog, field));
    }

    void refusedOkStoresNothing()
    {
        MsgBoxRecorder boxes;
        DlgDicom dialog;
        edit(dialog, "leArcHost")->setText("pacs");
        edit(dialog, "leArcAet")->setText("PACS");
        edit(dialog, "leArcPort")->setText("70000");
        button(dialog, "bnOK")->click();
        QVERIFY(!QFile::exists(QStringLiteral("settings.ini")));
    }

    void aeTitleOfSixteenCharactersIsStored()
    {
        DlgDicom dialog;
        edit(dialog, "leStaAet")->setText("ENDOSCOPY_ROOM_2");
        button(dialog, "bnOK")->click();
        QCOMPARE(AppSettings().dicomStationAeTitle(), QStringLiteral("ENDOSCOPY_ROOM_2"));
    }

    void testWithoutHostNamesTheField()
    {
        MsgBoxRecorder boxes;
        DlgDicom dialog;
        edit(dialog, "leWlAet")->setText("WL");
        edit(dialog, "leWlHost")->clear();
        button(dialog, "bnWlTest")->click();
        QCOMPARE(
            boxes.boxes.value(0).text, text("dcm_host_none").arg(QStringLiteral("Worklist \u2013 Host")));
        QVERIFY(button(dialog, "bnWlTest")->isEnabled());
    }

    void testButtonIsDisabledWhileTesting()
    {
        DlgDicom dialog;
        edit(dialog, "leArcAet")->setText("PACS");
        edit(dialog, "leArcHost")->setText("127.0.0.1");
        edit(dialog, "leArcPort")->setText(QString::number(closedPort()));
        button(dialog, "bnArcTest")->click();
        QVERIFY(!button(dialog, "bnArcTest")->isEnabled());
        QTRY_VERIFY(button(dialog, "bnArcTest")->isEnabled());
    }

    void testAgainstAClosedPortSaysNothingAnswers()
    {
        const quint16 port = closedPort();
        DlgDicom dialog;
        edit(dialog, "leArcAet")->setText("PACS");
        edit(dialog, "leArcHost")->setText("127.0.0.1");
        edit(dialog, "leArcPort")->setText(QString::number(port));
        button(dialog, "bnArcTest")->click();
        const QString expected
            = text("dcm_notcon")
                  .arg(text("dcm_refused").arg(QStringLiteral("127.0.0.1"), QString::number(port)));
        QTRY_COMPARE(labelText(dialog, "lbArcResult"), expected);
    }

    void closingTheDialogDuringATestDropsTheResult()
    {
        // Something listens but never answers, so the check is still running when the dialog goes.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        AppSettings().setValue("Dicom/timeoutSeconds", QStringLiteral("1"));
        auto* dialog = new DlgDicom;
        edit(*dialog, "leWlAet")->setText("WL");
        edit(*dialog, "leWlHost")->setText("127.0.0.1");
        edit(*dialog, "leWlPort")->setText(QString::number(silent.serverPort()));
        button(*dialog, "bnWlTest")->click();
        delete dialog;
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::processEvents();
    }

    void unconfiguredWorklistSaysWhereToSetIt()
    {
        DlgWorklist dialog;
        QCOMPARE(labelText(dialog, "lbState"), text("wl_nohost"));
        QVERIFY(!button(dialog, "bnOK")->isEnabled());
    }

    void unreachableWorklistSaysWhyAndListsNothing()
    {
        const quint16 port = closedPort();
        AppSettings().setWorklistHost("127.0.0.1");
        AppSettings().setWorklistPort(port);
        DlgWorklist dialog;
        const QString expected = text("wl_fail").arg(
            text("dcm_refused").arg(QStringLiteral("127.0.0.1"), QString::number(port)));
        QTRY_COMPARE(labelText(dialog, "lbState"), expected);
        QCOMPARE(dialog.findChild<QTableWidget*>("list")->rowCount(), 0);
        QVERIFY(!button(dialog, "bnOK")->isEnabled());
    }

    void worklistShowsTheBusyIndicatorWhileAsking()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        AppSettings().setValue("Dicom/timeoutSeconds", QStringLiteral("1"));
        AppSettings().setWorklistHost("127.0.0.1");
        AppSettings().setWorklistPort(silent.serverPort());
        DlgWorklist dialog;
        dialog.show();
        QVERIFY(dialog.findChild<QProgressBar*>("pbBusy")->isVisible());
        QTRY_VERIFY(!dialog.findChild<QProgressBar*>("pbBusy")->isVisible());
    }

    void personNameReadsFirstNamesFirst_data()
    {
        QTest::addColumn<QString>("dicom");
        QTest::addColumn<QString>("shown");
        QTest::newRow("last and first") << "M\u00fcller^J\u00fcrgen"
                                        << "J\u00fcrgen M\u00fcller";
        QTest::newRow("last only") << "M\u00fcller"
                                   << "M\u00fcller";
        QTest::newRow("all five parts") << "Doe^John^Q^Dr.^Jr."
                                        << "Dr. John Q Doe Jr.";
        QTest::newRow("empty middle parts") << "Doe^John^^^"
                                            << "John Doe";
        QTest::newRow("ideographic form left out") << "Yamada^Tarou=\u5c71\u7530^\u592a\u90ce"
                                                   << "Tarou Yamada";
    }

    void personNameReadsFirstNamesFirst()
    {
        QFETCH(QString, dicom);
        QFETCH(QString, shown);
        QCOMPARE(PersonName::display(dicom), shown);
    }
};

KARVEX_TEST_MAIN(TestDicomDialogs)
#include "TestDicomDialogs.moc"
