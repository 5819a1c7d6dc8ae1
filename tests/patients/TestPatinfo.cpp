// The patient form of the patient information dialog on a real system.db: what is stored,
// what is shown, and which state the dialog is in afterwards.

#include "DlgPatinfo.h"
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
template <typename T> T* child(QWidget* parent, const char* name)
{
    T* widget = parent->findChild<T*>(QLatin1String(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

QLineEdit* edit(QWidget* dialog, const char* name)
{
    return child<QLineEdit>(dialog, name);
}

void click(QWidget* dialog, const char* button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

void fillRequired(DlgPatinfo& dialog, const QString& first, const QString& last, const QDate& birthday)
{
    edit(&dialog, "leFName")->setText(first);
    edit(&dialog, "leLName")->setText(last);
    child<QDateEdit>(&dialog, "deBirthday")->setDate(birthday);
}

bool isViewState(DlgPatinfo& dialog)
{
    return edit(&dialog, "leFName")->isReadOnly() && child<QDateEdit>(&dialog, "deBirthday")->isReadOnly()
        && child<QTextEdit>(&dialog, "teRmrk")->isReadOnly()
        && !child<QGroupBox>(&dialog, "gbSex")->isEnabled()
        && !child<QPushButton>(&dialog, "bnOK")->isEnabled()
        && !child<QPushButton>(&dialog, "bnCancel")->isEnabled()
        && child<QPushButton>(&dialog, "bnModify")->isEnabled()
        && child<QTabWidget>(&dialog, "tabWidget")->isTabEnabled(1);
}

int currentTab(DlgPatinfo& dialog)
{
    return child<QTabWidget>(&dialog, "tabWidget")->currentIndex();
}

int patientCount()
{
    return count(QStringLiteral("SELECT COUNT(*) FROM user"));
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

    void newDialogStartsEditableWithRecordTabLocked()
    {
        DlgPatinfo dialog(nullptr);
        QCOMPARE(dialog.size(), QSize(800, 600));
        QCOMPARE(dialog.minimumSize(), QSize(800, 600));
        QCOMPARE(dialog.maximumSize(), QSize(800, 600));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        QVERIFY(!edit(&dialog, "leFName")->isReadOnly());
        QVERIFY(!child<QDateEdit>(&dialog, "deBirthday")->isReadOnly());
        QVERIFY(child<QGroupBox>(&dialog, "gbSex")->isEnabled());
        QVERIFY(child<QRadioButton>(&dialog, "rbMale")->isChecked());
        QVERIFY(child<QPushButton>(&dialog, "bnOK")->isEnabled());
        QVERIFY(!child<QPushButton>(&dialog, "bnModify")->isEnabled());
        QVERIFY(!child<QTabWidget>(&dialog, "tabWidget")->isTabEnabled(1));
        QCOMPARE(currentTab(dialog), 0);
        QCOMPARE(dialog.patientRowID(), 0ULL);

        auto* list = child<QTableWidget>(&dialog, "list");
        QCOMPARE(list->columnCount(), 4);
        QCOMPARE(list->horizontalHeaderItem(1)->text(), QStringLiteral("File"));
        QCOMPARE(list->columnWidth(0), 48);
        QCOMPARE(list->columnWidth(1), 200);
        QCOMPARE(list->columnWidth(2), 135);
        QCOMPARE(list->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    void newPatientWithRequiredFieldsLeavesOptionalColumnsNull()
    {
        DlgPatinfo dialog(nullptr);
        fillRequired(dialog, QStringLiteral("Ann"), QStringLiteral("Lee"), QDate(2001, 5, 17));
        click(&dialog, "bnOK");
        QTRY_VERIFY(dialog.patientRowID() != 0);

        const qlonglong id = qlonglong(dialog.patientRowID());
        QCOMPARE(id, qlonglong(count(QStringLiteral("SELECT MAX(rowid) FROM user"))));
        const QSqlRecord stored = row(QStringLiteral("SELECT * FROM user WHERE rowid=?"), { id });
        QCOMPARE(stored.value("fnam").toString(), QStringLiteral("Ann"));
        QCOMPARE(stored.value("lnam").toString(), QStringLiteral("Lee"));
        QCOMPARE(stored.value("sex").toInt(), 0);
        QCOMPARE(stored.value("bday").toString(), QStringLiteral("2001/05/17"));
        for (const char* column : { "ctry", "area", "strt", "pcod", "rmrk" })
            QVERIFY2(stored.value(QLatin1String(column)).isNull(), column);

        // Saved: shown read-only on the Information tab, the Record tab now open.
        QTRY_VERIFY(isViewState(dialog));
        QCOMPARE(currentTab(dialog), 0);
        QTRY_COMPARE(edit(&dialog, "leFName")->text(), QStringLiteral("Ann"));
    }

    void femaleAndAllOptionalFieldsAreStoredAndLoadedBack()
    {
        qlonglong id = 0;
        {
            DlgPatinfo dialog(nullptr);
            fillRequired(dialog, QStringLiteral("Eve"), QStringLiteral("Nor"), QDate(1975, 12, 1));
            child<QRadioButton>(&dialog, "rbFemale")->setChecked(true);
            edit(&dialog, "leStreet")->setText(QStringLiteral("Elm Road 4"));
            edit(&dialog, "lePostCode")->setText(QStringLiteral("1234"));
            edit(&dialog, "leArea")->setText(QStringLiteral("Ayr"));
            edit(&dialog, "leCountry")->setText(QStringLiteral("Scotland"));
            child<QTextEdit>(&dialog, "teRmrk")
                ->setPlainText(QStringLiteral("<b>allergic</b>, 2 lines\nsecond"));
            click(&dialog, "bnOK");
            QTRY_VERIFY(dialog.patientRowID() != 0);
            id = qlonglong(dialog.patientRowID());
        }
        const QSqlRecord stored = row(QStringLiteral("SELECT * FROM user WHERE rowid=?"), { id });
        QCOMPARE(stored.value("sex").toInt(), 1);
        QCOMPARE(stored.value("strt").toString(), QStringLiteral("Elm Road 4"));
        QCOMPARE(stored.value("ctry").toString(), QStringLiteral("Scotland"));
        QCOMPARE(stored.value("rmrk").toString(), QStringLiteral("<b>allergic</b>, 2 lines\nsecond"));

        DlgPatinfo dialog(nullptr);
        dialog.setRowID(quint64(id));
        // The view state comes at once; the values follow when the database answers.
        QVERIFY(isViewState(dialog));
        QCOMPARE(currentTab(dialog), 1);
        QTRY_VERIFY(child<QRadioButton>(&dialog, "rbFemale")->isChecked());
        QCOMPARE(edit(&dialog, "leLName")->text(), QStringLiteral("Nor"));
        QCOMPARE(child<QDateEdit>(&dialog, "deBirthday")->date(), QDate(1975, 12, 1));
        QCOMPARE(edit(&dialog, "lePostCode")->text(), QStringLiteral("1234"));
        QCOMPARE(edit(&dialog, "leArea")->text(), QStringLiteral("Ayr"));
        QCOMPARE(child<QTextEdit>(&dialog, "teRmrk")->toPlainText(),
            QStringLiteral("<b>allergic</b>, 2 lines\nsecond"));
    }

    void updateWithEmptiedStreetKeepsTheStoredStreet()
    {
        const qlonglong id = insertPatient(QStringLiteral("Tom"), QStringLiteral("Ash"));
        run(QStringLiteral("UPDATE user SET strt='Main St 1', area='Old Town' WHERE rowid=?"), { id });

        DlgPatinfo dialog(nullptr);
        dialog.setRowID(quint64(id));
        QTRY_COMPARE(edit(&dialog, "leStreet")->text(), QStringLiteral("Main St 1"));
        click(&dialog, "bnModify");
        QVERIFY(!edit(&dialog, "leStreet")->isReadOnly());
        QVERIFY(child<QPushButton>(&dialog, "bnOK")->isEnabled());
        edit(&dialog, "leStreet")->clear();
        edit(&dialog, "leArea")->setText(QStringLiteral("New Town"));
        child<QRadioButton>(&dialog, "rbFemale")->setChecked(true);
        click(&dialog, "bnOK");

        QTRY_COMPARE(row(QStringLiteral("SELECT area FROM user WHERE rowid=?"), { id }).value(0).toString(),
            QStringLiteral("New Town"));
        const QSqlRecord stored = row(QStringLiteral("SELECT * FROM user WHERE rowid=?"), { id });
        QCOMPARE(stored.value("strt").toString(), QStringLiteral("Main St 1"));
        QCOMPARE(stored.value("sex").toInt(), 1);
        // The reload shows the street that is still stored, read-only, on the Information tab.
        QTRY_COMPARE(edit(&dialog, "leStreet")->text(), QStringLiteral("Main St 1"));
        QVERIFY(isViewState(dialog));
        QCOMPARE(currentTab(dialog), 0);
        QCOMPARE(dialog.patientRowID(), quint64(id));
    }

    void missingRequiredFieldWarnsAndFocusesTheFirstOne()
    {
        MsgBoxRecorder boxes;
        const int before = patientCount();
        DlgPatinfo dialog(nullptr);

        click(&dialog, "bnOK");
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.at(0).kind, MsgBox::Kind::Warning);
        QCOMPARE(boxes.boxes.at(0).text,
            QStringLiteral("A required field is empty. Please fill it in and try again."));
        QCOMPARE(dialog.focusWidget(), edit(&dialog, "leFName"));

        edit(&dialog, "leFName")->setText(QStringLiteral("Only"));
        click(&dialog, "bnOK");
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(dialog.focusWidget(), edit(&dialog, "leLName"));

        // A name of spaces counts as given.
        edit(&dialog, "leLName")->setText(QStringLiteral(" "));
        click(&dialog, "bnOK");
        QTRY_VERIFY(dialog.patientRowID() != 0);
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(patientCount(), before + 1);
    }

    void cancelClosesANewPatientWithoutSaving()
    {
        const int before = patientCount();
        DlgPatinfo dialog(nullptr);
        dialog.show();
        fillRequired(dialog, QStringLiteral("Not"), QStringLiteral("Saved"), QDate(2000, 1, 1));
        click(&dialog, "bnCancel");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(patientCount(), before);
    }

    void cancelWhileEditingRestoresTheStoredPatient()
    {
        const qlonglong id = insertPatient(QStringLiteral("Kim"), QStringLiteral("Orr"));
        DlgPatinfo dialog(nullptr);
        dialog.show();
        dialog.setRowID(quint64(id));
        QTRY_COMPARE(edit(&dialog, "leFName")->text(), QStringLiteral("Kim"));
        click(&dialog, "bnModify");
        edit(&dialog, "leFName")->setText(QStringLiteral("Changed"));
        click(&dialog, "bnCancel");

        QVERIFY(dialog.isVisible());
        QTRY_COMPARE(edit(&dialog, "leFName")->text(), QStringLiteral("Kim"));
        QVERIFY(isViewState(dialog));
        QCOMPARE(currentTab(dialog), 0);
        QCOMPARE(row(QStringLiteral("SELECT fnam FROM user WHERE rowid=?"), { id }).value(0).toString(),
            QStringLiteral("Kim"));
    }

    void unreadableStoredBirthdayKeepsTheShownDate()
    {
        const qlonglong id
            = insertPatient(QStringLiteral("Odd"), QStringLiteral("Date"), 0, QStringLiteral("17.05.2001"));
        DlgPatinfo dialog(nullptr);
        const QDate before = child<QDateEdit>(&dialog, "deBirthday")->date();
        dialog.setRowID(quint64(id));
        QTRY_COMPARE(edit(&dialog, "leFName")->text(), QStringLiteral("Odd"));
        QCOMPARE(child<QDateEdit>(&dialog, "deBirthday")->date(), before);
    }

    void failedSaveWarnsAndKeepsTheEntries()
    {
        MsgBoxRecorder boxes;
        DlgPatinfo dialog(nullptr);
        fillRequired(dialog, QStringLiteral("Lost"), QStringLiteral("Table"), QDate(1999, 9, 9));
        run(QStringLiteral("ALTER TABLE user RENAME TO user_away"));
        click(&dialog, "bnOK");
        QTRY_COMPARE(boxes.boxes.size(), 1);
        run(QStringLiteral("ALTER TABLE user_away RENAME TO user"));

        QCOMPARE(boxes.boxes.at(0).text,
            QStringLiteral("The patient data could not be saved. Please check the entries and try again."));
        QCOMPARE(dialog.patientRowID(), 0ULL);
        QCOMPARE(edit(&dialog, "leFName")->text(), QStringLiteral("Lost"));
        QVERIFY(!edit(&dialog, "leFName")->isReadOnly());
        QVERIFY(child<QPushButton>(&dialog, "bnOK")->isEnabled());
    }

    void savingFromTheManagerRebuildsItsList()
    {
        FrmPatmgr manager(nullptr);
        auto* patients = child<QTableWidget>(&manager, "list");
        const auto listed = [patients](const QString& name) {
            for (int r = 0; r < patients->rowCount(); ++r)
                for (int c = 0; c < patients->columnCount(); ++c) {
                    const QTableWidgetItem* item = patients->item(r, c);
                    if (item && item->text().contains(name))
                        return true;
                }
            return false;
        };
        DlgPatinfo dialog(&manager);
        fillRequired(dialog, QStringLiteral("Zed"), QStringLiteral("Quill"), QDate(1990, 2, 3));
        click(&dialog, "bnOK");
        QTRY_VERIFY(dialog.patientRowID() != 0);
        QTRY_VERIFY(listed(QStringLiteral("Quill")));
    }
};

KARVEX_TEST_MAIN(TestPatinfo)
#include "TestPatinfo.moc"
