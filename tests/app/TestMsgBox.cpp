// The program's message boxes as the operator meets them: titled from the language file, and
// a question that Return does not confirm.
#include "Language.h"
#include "MsgBox.h"
#include "TestSupport.h"

#include <QtWidgets>

class TestMsgBox : public QObject
{
    Q_OBJECT

    QPointer<QMessageBox> shown;
    QString title;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;

    // Notes the box that opens next and answers it with Return.
    void pressReturnInTheNextBox()
    {
        QTimer::singleShot(0, this, [this] {
            shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!shown)
                return;
            title = shown->windowTitle();
            buttons = shown->standardButtons();
            defaultButton = shown->standardButton(shown->defaultButton());
            QTest::keyClick(shown, Qt::Key_Return);
        });
    }

private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        Language::instance()->load(QDir().absoluteFilePath(QStringLiteral("language/lang_en-US.ini")));
    }
    void init()
    {
        title.clear();
        buttons = {};
        defaultButton = QMessageBox::NoButton;
    }

    void boxIsTitledForItsKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("information") << "information"
                                     << "Notice";
        QTest::newRow("question") << "question"
                                  << "Please Confirm";
    }
    void boxIsTitledForItsKind()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        pressReturnInTheNextBox();
        if (kind == QLatin1String("information"))
            MsgBox::information(nullptr, QStringLiteral("sel_none"));
        else if (kind == QLatin1String("warning"))
            MsgBox::warning(nullptr, QStringLiteral("sel_none"));
        else
            MsgBox::ask(nullptr, QStringLiteral("sel_none"));
        QCOMPARE(title, expected);
    }

    void questionOffersYesAndNo()
    {
        pressReturnInTheNextBox();
        MsgBox::ask(nullptr, QStringLiteral("sel_none"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    }

    void questionDefaultsToNo()
    {
        pressReturnInTheNextBox();
        MsgBox::ask(nullptr, QStringLiteral("sel_none"));
        QCOMPARE(defaultButton, QMessageBox::No);
    }

    void warningOffersOk()
    {
        pressReturnInTheNextBox();
        MsgBox::warning(nullptr, QStringLiteral("sel_none"));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

KARVEX_TEST_MAIN(TestMsgBox)
#include "TestMsgBox.moc"
