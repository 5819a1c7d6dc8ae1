#include "DlgType.h"
#include "TestSupport.h"

#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {
// Does `act`, run inside the program's event loop, end that loop (the last window closed)?
bool programEndsAfter(const std::function<void()>& act)
{
    QTimer guard; // a loop still running after a generous time counts as no
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(10000);
    QTimer::singleShot(0, qApp, act);
    QCoreApplication::exec();
    return guard.isActive();
}
} // namespace

class TestDlgType : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::copyShippedLanguages(); }

    void closingAsksWhetherToExit()
    {
        MsgBoxRecorder no(QMessageBox::No);
        DlgType dialog;
        dialog.show();
        dialog.close();
        QCOMPARE(no.boxes.value(0).text, QStringLiteral("Do you want to exit Karvex?"));
    }

    void declinedExitKeepsTheDialog()
    {
        MsgBoxRecorder no(QMessageBox::No);
        DlgType dialog;
        dialog.show();
        QVERIFY(!dialog.close());
    }

    void confirmedExitEndsTheProgram()
    {
        MsgBoxRecorder yes(QMessageBox::Yes);
        DlgType dialog;
        dialog.show();
        QVERIFY(programEndsAfter([&dialog] { QVERIFY(dialog.close()); }));
        QVERIFY(!dialog.isVisible());
    }

    void modeChoiceHidesTheDialogUntilTheWindowCloses_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::newRow("camera picture") << QStringLiteral("bnCAM");
        QTest::newRow("camera caption") << QStringLiteral("lbCAM");
        QTest::newRow("manager caption") << QStringLiteral("lbPAT");
    }

    void modeChoiceHidesTheDialogUntilTheWindowCloses()
    {
        QFETCH(QString, clicked);
        MsgBoxRecorder recorder(QMessageBox::No);
        DlgType dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // Delivered to the window as the window system would, so it reaches what the user sees there.
        QWidget* target = dialog.findChild<QWidget*>(clicked);
        QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, Qt::NoModifier,
            target->mapTo(&dialog, target->rect().center()));
        QTRY_VERIFY(!dialog.isVisible());

        QPointer<QMainWindow> window;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* shown = qobject_cast<QMainWindow*>(w); shown && shown->isVisible())
                window = shown;
        }
        QVERIFY(window);
        QVERIFY(window->close());
        QTRY_VERIFY(window.isNull());
        QVERIFY(dialog.isVisible());
        QVERIFY(recorder.boxes.isEmpty());
    }

    void doubleClickOnAModeOpensOneWindow_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("camera") << QStringLiteral("bnCAM");
        QTest::newRow("manager") << QStringLiteral("bnPAT");
    }
    void doubleClickOnAModeOpensOneWindow()
    {
        QFETCH(QString, button);
        MsgBoxRecorder recorder(QMessageBox::No);
        DlgType dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* target = dialog.findChild<QPushButton*>(button);
        // The second click reaches the button before the window system has hidden the dialog.
        QTest::mouseClick(target, Qt::LeftButton);
        QTest::mouseClick(target, Qt::LeftButton);
        QList<QMainWindow*> windows;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* shown = qobject_cast<QMainWindow*>(w); shown && shown->isVisible())
                windows << shown;
        }
        QCOMPARE(windows.size(), 1);
        for (QMainWindow* window : windows)
            window->close();
        QTRY_VERIFY(dialog.isVisible());
    }
};

KARVEX_TEST_MAIN(TestDlgType)
#include "TestDlgType.moc"
