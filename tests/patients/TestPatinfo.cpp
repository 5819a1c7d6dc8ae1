// The patient form of the patient information dialog on a real system.db: what is stored,
// what is shown, and which state the dialog is in afterwards.

#include "FrmPatmgr.h"
#include "PatinfoSupport.h"
#include "TestSupport.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

using namespace PatinfoSupport;

namespace {
QLineEdit* edit(DlgPatinfo& dialog, const char* name)
{
    return child<QLineEdit>(&dialog, name);
}

void click(DlgPatinfo& dialog, const char* button)
{
    QTest::mouseClick(child<QPushButton>(&dialog, button), Qt::LeftButton);
}

void fillRequired(DlgPatinfo& dialog, const QString& first, const QString& last, const QDate& birthday)
{
    edit(dialog, "leFName")->setText(first);
    edit(dialog, "leLName")->setText(last);
    child<QDateEdit>(&dialog, "deBirthday")->setDate(birthday);
}

// Read-only fields, only Modify enabled, the Record tab open; and which tab is current.
bool inViewState(DlgPatinfo& dialog, int tab)
{
    return edit(dialog, "leFName")->isReadOnly() && child<QDateEdit>(&dialog, "deBirthday")->isReadOnly()
        && !child<QGroupBox>(&dialog, "gbSex")->isEnabled() && !child(&dialog, "bnOK")->isEnabled()
        && !child(&dialog, "bnCancel")->isEnabled() && child(&dialog, "bnModify")->isEnabled()
        && child<QTabWidget>(&dialog, "tabWidget")->isTabEnabled(1)
        && child<QTabWidget>(&dialog, "tabWidget")->currentIndex() == tab;
}

int patients()
{
    return row(QStringLiteral("SELECT COUNT(*) FROM user")).value(0).toInt();
}
} // namespace

class TestPatinfo : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestSupport::copyShippedLanguages();
        QVERIFY(openDatabases());
    }

    void newPatientWithRequiredFieldsLeavesOptionalColumnsNull()
    {
        DlgPatinfo dialog(nullptr);
        QVERIFY(!child<QTabWidget>(&dialog, "tabWidget")->isTabEnabled(1));
        fillRequired(dialog, QStringLiteral("Ann"), QStringLiteral("Lee"), QDate(2001, 5, 17));
        click(dialog, "bnOK");
        QTRY_VERIFY(dialog.patientRowID() != 0);

        QCOMPARE(qlonglong(dialog.patientRowID()),
            row(QStringLiteral("SELECT MAX(rowid) FROM user")).value(0).toLongLong());
        const QSqlRecord stored
            = row(QStringLiteral("SELECT * FROM user WHERE rowid=?"), { dialog.patientRowID() });
        QCOMPARE(stored.value("fnam").toString() + stored.value("lnam").toString(), QStringLiteral("AnnLee"));
        QCOMPARE(stored.value("sex").toInt(), 0);
        QCOMPARE(stored.value("bday").toString(), QStringLiteral("2001/05/17"));
        for (const char* column : { "ctry", "area", "strt", "pcod", "rmrk" })
            QVERIFY2(stored.value(QLatin1String(column)).isNull(), column);
        // Saved: read-only on the Information tab, with the Record tab open.
        QTRY_VERIFY(inViewState(dialog, 0));
    }

    void femaleAndOptionalFieldsAreStoredAndLoadedBack()
    {
        qlonglong id = 0;
        const QString remark = QStringLiteral("<b>allergic</b>, 2 lines\nsecond");
        {
            DlgPatinfo dialog(nullptr);
            fillRequired(dialog, QStringLiteral("Eve"), QStringLiteral("Nor"), QDate(1975, 12, 1));
            child<QRadioButton>(&dialog, "rbFemale")->setChecked(true);
            edit(dialog, "leStreet")->setText(QStringLiteral("Elm Road 4"));
            edit(dialog, "lePostCode")->setText(QStringLiteral("1234"));
            edit(dialog, "leArea")->setText(QStringLiteral("Ayr"));
            edit(dialog, "leCountry")->setText(QStringLiteral("Scotland"));
            child<QTextEdit>(&dialog, "teRmrk")->setPlainText(remark);
            click(dialog, "bnOK");
            QTRY_VERIFY(dialog.patientRowID() != 0);
            id = qlonglong(dialog.patientRowID());
        }
        QCOMPARE(row(QStringLiteral("SELECT sex FROM user WHERE rowid=?"), { id }).value(0).toInt(), 1);

        DlgPatinfo dialog(nullptr);
        dialog.setRowID(quint64(id));
        // The state changes at once; the values follow when the database answers.
        QVERIFY(inViewState(dialog, 1));
        QTRY_VERIFY(child<QRadioButton>(&dialog, "rbFemale")->isChecked());
        QCOMPARE(child<QDateEdit>(&dialog, "deBirthday")->date(), QDate(1975, 12, 1));
        QCOMPARE(QStringList({ edit(dialog, "leStreet")->text(), edit(dialog, "lePostCode")->text(),
                     edit(dialog, "leArea")->text(), edit(dialog, "leCountry")->text() }),
            QStringList({ "Elm Road 4", "1234", "Ayr", "Scotland" }));
        QCOMPARE(child<QTextEdit>(&dialog, "teRmrk")->toPlainText(), remark);
    }

    void updateWithEmptiedStreetKeepsTheStoredStreet()
    {
        const qlonglong id = insertPatient(QStringLiteral("Tom"), QStringLiteral("Ash"));
        run(QStringLiteral("UPDATE user SET strt='Main St 1', area='Old Town' WHERE rowid=?"), { id });
        DlgPatinfo dialog(nullptr);
        dialog.setRowID(quint64(id));
        QTRY_COMPARE(edit(dialog, "leStreet")->text(), QStringLiteral("Main St 1"));
        click(dialog, "bnModify");
        edit(dialog, "leStreet")->clear();
        edit(dialog, "leArea")->setText(QStringLiteral("New Town"));
        click(dialog, "bnOK");

        QTRY_COMPARE(row(QStringLiteral("SELECT area FROM user WHERE rowid=?"), { id }).value(0).toString(),
            QStringLiteral("New Town"));
        QCOMPARE(row(QStringLiteral("SELECT strt FROM user WHERE rowid=?"), { id }).value(0).toString(),
            QStringLiteral("Main St 1"));
        QTRY_COMPARE(edit(dialog, "leStreet")->text(), QStringLiteral("Main St 1"));
        QVERIFY(inViewState(dialog, 0));
    }

    void missingRequiredFieldWarnsAndFocusesTheFirstOne()
    {
        MsgBoxRecorder boxes;
        const int before = patients();
        DlgPatinfo dialog(nullptr);
        click(dialog, "bnOK");
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.at(0).text,
            QStringLiteral("A required field is empty. Please fill it in and try again."));
        QCOMPARE(dialog.focusWidget(), edit(dialog, "leFName"));

        edit(dialog, "leFName")->setText(QStringLiteral("Only"));
        click(dialog, "bnOK");
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(dialog.focusWidget(), edit(dialog, "leLName"));

        // A name of spaces counts as given.
        edit(dialog, "leLName")->setText(QStringLiteral(" "));
        click(dialog, "bnOK");
        QTRY_COMPARE(patients(), before + 1);
        QCOMPARE(boxes.boxes.size(), 2);
    }

    void cancelClosesANewPatientAndRestoresAStoredOne()
    {
        const int before = patients();
        DlgPatinfo fresh(nullptr);
        fresh.show();
        fillRequired(fresh, QStringLiteral("Not"), QStringLiteral("Saved"), QDate(2000, 1, 1));
        click(fresh, "bnCancel");
        QVERIFY(!fresh.isVisible());

        const qlonglong id = insertPatient(QStringLiteral("Kim"), QStringLiteral("Orr"));
        DlgPatinfo dialog(nullptr);
        dialog.show();
        dialog.setRowID(quint64(id));
        QTRY_COMPARE(edit(dialog, "leFName")->text(), QStringLiteral("Kim"));
        click(dialog, "bnModify");
        edit(dialog, "leFName")->setText(QStringLiteral("Changed"));
        click(dialog, "bnCancel");
        QVERIFY(dialog.isVisible());
        QTRY_COMPARE(edit(dialog, "leFName")->text(), QStringLiteral("Kim"));
        QVERIFY(inViewState(dialog, 0));
        QCOMPARE(patients(), before + 1);
    }

    void failedSaveWarnsAndKeepsTheEntries()
    {
        MsgBoxRecorder boxes;
        DlgPatinfo dialog(nullptr);
        fillRequired(dialog, QStringLiteral("Lost"), QStringLiteral("Table"), QDate(1999, 9, 9));
        run(QStringLiteral("ALTER TABLE user RENAME TO user_away"));
        click(dialog, "bnOK");
        QTRY_COMPARE(boxes.boxes.size(), 1);
        run(QStringLiteral("ALTER TABLE user_away RENAME TO user"));

        QCOMPARE(boxes.boxes.at(0).text,
            QStringLiteral("The patient data could not be saved. Please check the entries and try again."));
        QCOMPARE(dialog.patientRowID(), 0ULL);
        QCOMPARE(edit(dialog, "leFName")->text(), QStringLiteral("Lost"));
        QVERIFY(!edit(dialog, "leFName")->isReadOnly() && child(&dialog, "bnOK")->isEnabled());
    }

    void savingFromTheManagerRebuildsItsList()
    {
        FrmPatmgr manager(nullptr);
        auto* list = child<QTableWidget>(&manager, "list");
        DlgPatinfo dialog(&manager);
        fillRequired(dialog, QStringLiteral("Zed"), QStringLiteral("Quill"), QDate(1990, 2, 3));
        click(dialog, "bnOK");
        QTRY_VERIFY(!list->findItems(QStringLiteral("Quill"), Qt::MatchContains).isEmpty());
    }
};

KARVEX_TEST_MAIN(TestPatinfo)
#include "TestPatinfo.moc"
