#include "AppSettings.h"
#include "DlgType.h"
#include "TestSupport.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {
QMainWindow* openModeWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (auto* window = qobject_cast<QMainWindow*>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

// A click at a point of the dialog, delivered as the window system would deliver it, so
// that it reaches whatever widget the user sees there.
void clickAt(DlgType& dialog, QWidget* target)
{
    const QPoint pos = target->mapTo(&dialog, target->rect().center());
    QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, Qt::NoModifier, pos);
}

// Does `act`, run inside the program's event loop, end that loop by itself (the last window
// closed)? A loop still running after a generous time counts as no.
bool programEndsAfter(const std::function<void()>& act)
{
    bool ended = true;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [&ended] {
        ended = false;
        QCoreApplication::quit();
    });
    guard.start(10000);
    QTimer::singleShot(0, qApp, act);
    QCoreApplication::exec();
    return ended;
}
} // namespace

class TestDlgType : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Before the first dialog: the first start must find English by itself.
        TestSupport::copyShippedLanguages();
    }

    void firstStartShowsTheEnglishFormWithBothPictures()
    {
        DlgType dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Karvex"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lbCAM"))->text(), QStringLiteral("Camera"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lbPAT"))->text(), QStringLiteral("Manager"));
        QVERIFY(AppSettings()
                    .value(QStringLiteral("Language/path"), QString())
                    .endsWith(QStringLiteral("lang_en-US.ini")));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        for (const char* name : { "bnCAM", "bnPAT" }) {
            auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
            QVERIFY(!button->icon().pixmap(128, 128).isNull());
        }
    }

    void shippedPicturesHaveTheirSizes()
    {
        QCOMPARE(QImage(QStringLiteral(":/res/camera.png")).size(), QSize(256, 256));
        QCOMPARE(QImage(QStringLiteral(":/res/patient.png")).size(), QSize(256, 256));
        QCOMPARE(QImage(QStringLiteral(":/res/video.png")).size(), QSize(16, 16));
        QCOMPARE(QImage(QStringLiteral(":/res/notfound.png")).size(), QSize(96, 54));
        QCOMPARE(QImage(QStringLiteral(":/res/hospital.png")).size(), QSize(1203, 1202));
    }

    void closingAsksAndOnlyYesCloses()
    {
        DlgType dialog;
        dialog.show();
        {
            MsgBoxRecorder no(QMessageBox::No);
            QVERIFY(!dialog.close());
            QVERIFY(dialog.isVisible());
            QCOMPARE(no.boxes.size(), 1);
            QCOMPARE(no.boxes.at(0).kind, MsgBox::Kind::Question);
            QCOMPARE(no.boxes.at(0).parent, &dialog);
            QCOMPARE(no.boxes.at(0).title, QStringLiteral("Please Confirm"));
            QCOMPARE(no.boxes.at(0).text, QStringLiteral("Do you want to exit Karvex?"));
        }
        MsgBoxRecorder yes(QMessageBox::Yes);
        QVERIFY(programEndsAfter([&dialog] { QVERIFY(dialog.close()); }));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(yes.boxes.size(), 1);
    }

    void escapeHidesWithoutAsking()
    {
        DlgType dialog;
        dialog.show();
        MsgBoxRecorder recorder;
        QVERIFY(programEndsAfter([&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); }));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(recorder.boxes.isEmpty());
    }

    void modeChoiceHidesTheDialogUntilTheWindowCloses_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::newRow("camera picture") << QStringLiteral("bnCAM");
        QTest::newRow("camera caption") << QStringLiteral("lbCAM");
        QTest::newRow("manager picture") << QStringLiteral("bnPAT");
        QTest::newRow("manager caption") << QStringLiteral("lbPAT");
    }

    void modeChoiceHidesTheDialogUntilTheWindowCloses()
    {
        QFETCH(QString, clicked);
        MsgBoxRecorder recorder(QMessageBox::No);
        DlgType dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        clickAt(dialog, dialog.findChild<QWidget*>(clicked));
        QTRY_VERIFY(!dialog.isVisible());

        QPointer<QMainWindow> window = openModeWindow();
        QVERIFY(window);
        QVERIFY(window->isWindow());
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QVERIFY(dialog.isVisible());
        QVERIFY(recorder.boxes.isEmpty());
    }
};

KARVEX_TEST_MAIN(TestDlgType)
#include "TestDlgType.moc"
