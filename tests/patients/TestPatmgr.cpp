#include "DbWait.h"
#include "DlgPatinfo.h"
#include "FrmPatmgr.h"
#include "Language.h"
#include "TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

namespace {

const QByteArray english = "[System]\nname=English\nhint=Hint\nask=Question\n"
                           "sel_none=Select a patient first.\ndel_sure=Delete this patient?\n";

qulonglong addPatient(
    const QString& first, const QString& last, const QString& birthday, const QVariant& remark = QVariant())
{
    return dbRun("INSERT INTO user (fnam,lnam,bday,rmrk) VALUES (?,?,?,?)", { first, last, birthday, remark })
        .lastInsertId.toULongLong();
}

void addRecord(qulonglong patient, const QString& file, const QString& stamp)
{
    dbRun("INSERT INTO recd (uid,fil,dtm) VALUES (?,?,?)", { patient, file, stamp });
}

// Clicks the box itself: a check box without text reacts to its indicator only.
void tick(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
}

template <typename T> T* part(QWidget& window, const char* name)
{
    return window.findChild<T*>(QLatin1String(name));
}

QStringList column(QTableWidget* list, int col)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts << (list->item(row, col) ? list->item(row, col)->text() : QStringLiteral("<none>"));
    return texts;
}

} // namespace

class TestPatmgr : public QObject
{
    Q_OBJECT

    QString englishPath;

private slots:
    void initTestCase()
    {
        englishPath = TestSupport::writeFile("language/en-US.ini", english);
        Language::instance()->load(englishPath);
        QVERIFY(Database::instance());
    }

    void init()
    {
        QVERIFY(dbRun("DELETE FROM recd").ok);
        QVERIFY(dbRun("DELETE FROM user").ok);
    }

    void openAndDeleteWithoutSelectionWarnAndFocusTheList()
    {
        MsgBoxRecorder boxes;
        FrmPatmgr w(nullptr);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* list = part<QTableWidget>(w, "list");
        QCOMPARE(list->rowCount(), 0);

        QTest::mouseClick(part<QPushButton>(w, "bnOpen"), Qt::LeftButton);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].kind, MsgBox::Kind::Warning);
        QCOMPARE(boxes.boxes[0].title, QStringLiteral("Hint"));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Select a patient first."));
        QTRY_VERIFY(list->hasFocus());

        // With patients listed, a focused list has a current row but no highlighted one:
        // Delete must not take the current row for a choice.
        addPatient("Ann", "Archer", "1980/02/03");
        part<QAction>(w, "mfRefr")->trigger();
        QTRY_COMPARE(list->rowCount(), 1);
        list->setFocus();
        list->setCurrentCell(0, 0, QItemSelectionModel::NoUpdate);
        part<QPushButton>(w, "bnDelete")->setFocus();
        QTest::mouseClick(part<QPushButton>(w, "bnDelete"), Qt::LeftButton);
        QCOMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes[1].text, QStringLiteral("Select a patient first."));
        QTRY_VERIFY(list->hasFocus());
        QCOMPARE(dbRun("SELECT count(*) FROM user").rows[0][0].toInt(), 1);
    }

    void eachPatientListedOnceWithLastAddedRecordDate()
    {
        const qulonglong ann = addPatient("Ann", "Archer", "1980/02/03", "allergic to latex");
        const qulonglong bob = addPatient("Bob", "Baker", "1975/06/07");
        // Added last but dated earliest: the list shows the record added last.
        addRecord(ann, "a1.bmp", "2024/03/05 10:00:00");
        addRecord(ann, "a2.bmp", "2024/03/09 11:00:00");
        addRecord(ann, "a3.bmp", "2023/12/31 23:59:59");

        FrmPatmgr w(nullptr);
        auto* list = part<QTableWidget>(w, "list");
        QTRY_COMPARE(list->rowCount(), 2);
        QCOMPARE(column(list, 0), QStringList({ "Ann", "Bob" }));
        QCOMPARE(column(list, 1), QStringList({ "Archer", "Baker" }));
        QCOMPARE(column(list, 2), QStringList({ "1980/02/03", "1975/06/07" }));
        QCOMPARE(column(list, 3), QStringList({ "allergic to latex", "" }));
        QCOMPARE(column(list, 4), QStringList({ "2023/12/31 23:59:59", "" }));
        QCOMPARE(list->item(0, 0)->data(Qt::UserRole).toULongLong(), ann);
        QCOMPARE(list->item(1, 0)->data(Qt::UserRole).toULongLong(), bob);

        for (int col : { 0, 1, 2, 4 })
            QCOMPARE(list->item(0, col)->textAlignment(), int(Qt::AlignCenter));
        QCOMPARE(list->item(0, 3)->textAlignment(), int(Qt::AlignLeft | Qt::AlignVCenter));
        QVERIFY(!(list->item(0, 0)->flags() & Qt::ItemIsEditable));
    }

    void listFitsTheWindowWithoutSidewaysScrolling()
    {
        // Enough patients for a vertical scroll bar, which takes its width from the columns.
        QVERIFY(dbRun("INSERT INTO user (fnam,lnam,bday) WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                      "SELECT i+1 FROM n WHERE i<60) SELECT 'P'||i,'Q','1980/01/01' FROM n")
                    .ok);
        FrmPatmgr w(nullptr);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* list = part<QTableWidget>(w, "list");
        QTRY_COMPARE(list->rowCount(), 60);
        QCOMPARE(w.size(), QSize(800, 600));
        auto* header = list->horizontalHeader();
        for (int col = 0; col < 4; ++col)
            QCOMPARE(header->sectionSize(col), 130);
        // The examination date takes the rest of the width instead of hiding behind a scroll bar,
        // also when the window is made narrower, until it is down to its minimum width.
        QTRY_VERIFY(list->verticalScrollBar()->isVisible());
        QCOMPARE(header->length(), list->viewport()->width());
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        w.resize(760, 600);
        QTRY_COMPARE(header->length(), list->viewport()->width());
        QVERIFY(header->sectionSize(4) < 130);
        QVERIFY(!list->horizontalScrollBar()->isVisible());
    }

    void finderMatchesAnyCaseWithWildcardsAndCombinesWithAnd()
    {
        addPatient("Anna", "Smith", "1970/01/01");
        addPatient("ANNETTE", "Jones", "1971/01/01");
        addPatient("Bob", "Annan", "1972/01/01");
        addPatient("joanna", "Smithers", "1973/01/01", "VIP patient");
        addPatient("Carl", "Jones", "1974/01/01", "vip");
        FrmPatmgr w(nullptr);
        w.show();
        auto* list = part<QTableWidget>(w, "list");
        auto* first = part<QLineEdit>(w, "leFN");
        auto* last = part<QLineEdit>(w, "leLN");
        auto* remark = part<QLineEdit>(w, "leRK");
        QTRY_COMPARE(list->rowCount(), 5);

        QTest::keyClicks(first, "aN");
        QTRY_COMPARE(column(list, 0), QStringList({ "Anna", "ANNETTE", "joanna" }));
        first->clear();
        QTRY_COMPARE(list->rowCount(), 5);
        QTest::keyClicks(first, "c_rl");
        QTRY_COMPARE(column(list, 0), QStringList({ "Carl" }));
        first->clear();
        QTest::keyClicks(first, "a%e");
        QTRY_COMPARE(column(list, 0), QStringList({ "ANNETTE" }));
        first->clear();

        QTest::keyClicks(first, "an");
        QTest::keyClicks(last, "SMITH");
        QTRY_COMPARE(column(list, 0), QStringList({ "Anna", "joanna" }));
        QTest::keyClicks(remark, "vip");
        QTRY_COMPARE(column(list, 0), QStringList({ "joanna" }));
        first->clear();
        last->clear();
        QTRY_COMPARE(column(list, 0), QStringList({ "joanna", "Carl" }));
        remark->clear();
        QTRY_COMPARE(list->rowCount(), 5);
    }

    void birthdayFilterFollowsItsCheckBox()
    {
        addPatient("Ann", "Archer", "1980/02/03");
        addPatient("Bob", "Baker", "1975/06/07");
        FrmPatmgr w(nullptr);
        w.show();
        auto* list = part<QTableWidget>(w, "list");
        auto* box = part<QCheckBox>(w, "cbBD");
        auto* date = part<QDateEdit>(w, "deBD");
        QTRY_COMPARE(list->rowCount(), 2);
        QVERIFY(!date->isEnabled());
        QCOMPARE(date->date(), QDate(2000, 1, 1));

        date->setDate(QDate(1975, 6, 7)); // not a filter while unticked
        dbRun("SELECT 1"); // delivered after the window's own query
        QCOMPARE(list->rowCount(), 2);
        tick(box);
        QVERIFY(date->isEnabled());
        QTRY_COMPARE(column(list, 0), QStringList({ "Bob" }));
        date->setDate(QDate(1980, 2, 3));
        QTRY_COMPARE(column(list, 0), QStringList({ "Ann" }));
        tick(box);
        QVERIFY(!date->isEnabled());
        QTRY_COMPARE(list->rowCount(), 2);
    }

    void examinationDateFilterKeepsPatientsWithARecordThatDay()
    {
        const qulonglong ann = addPatient("Ann", "Archer", "1980/02/03");
        const qulonglong bob = addPatient("Bob", "Baker", "1975/06/07");
        addPatient("Cid", "Cole", "1990/01/01");
        addRecord(ann, "a1.bmp", "2024/03/01 09:00:00");
        addRecord(ann, "a2.bmp", "2024/03/05 10:00:00");
        addRecord(bob, "b1.bmp", "2024/03/05 08:00:00");

        FrmPatmgr w(nullptr);
        w.show();
        auto* list = part<QTableWidget>(w, "list");
        auto* date = part<QDateEdit>(w, "deDE");
        QTRY_COMPARE(list->rowCount(), 3);
        QCOMPARE(date->date(), QDate(2018, 1, 1));
        QVERIFY(QTest::qWaitForWindowActive(&w));

        tick(part<QCheckBox>(w, "cbDE"));
        QTRY_COMPARE(list->rowCount(), 0);
        date->setDate(QDate(2024, 3, 1));
        QTRY_COMPARE(column(list, 0), QStringList({ "Ann" }));
        QCOMPARE(column(list, 4), QStringList({ "2024/03/05 10:00:00" })); // still the last-added record
        date->setDate(QDate(2024, 3, 5));
        QTRY_COMPARE(column(list, 0), QStringList({ "Ann", "Bob" }));
        tick(part<QCheckBox>(w, "cbDE"));
        QTRY_COMPARE(list->rowCount(), 3);
    }

    void deleteRemovesPatientAndRecordsButKeepsFiles()
    {
        const qulonglong ann = addPatient("Ann", "Archer", "1980/02/03");
        const qulonglong bob = addPatient("Bob", "Baker", "1975/06/07");
        const QString picture = TestSupport::writeFile("Capture/20240305100000000.bmp", "BM");
        addRecord(ann, picture, "2024/03/05 10:00:00");
        addRecord(ann, picture, "2024/03/06 10:00:00");
        addRecord(bob, picture, "2024/03/07 10:00:00");

        MsgBoxRecorder boxes(QMessageBox::No);
        FrmPatmgr w(nullptr);
        w.show();
        auto* list = part<QTableWidget>(w, "list");
        QTRY_COMPARE(list->rowCount(), 2);
        list->selectRow(0);
        QTest::mouseClick(part<QPushButton>(w, "bnDelete"), Qt::LeftButton);
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes[0].kind, MsgBox::Kind::Question);
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Delete this patient?"));
        QCOMPARE(dbRun("SELECT count(*) FROM recd").rows[0][0].toInt(), 3);

        boxes.answer = QMessageBox::Yes;
        QTest::mouseClick(part<QPushButton>(w, "bnDelete"), Qt::LeftButton);
        QTRY_COMPARE(column(list, 0), QStringList({ "Bob" }));
        QCOMPARE(dbRun("SELECT count(*) FROM user WHERE rowid=?", { ann }).rows[0][0].toInt(), 0);
        QCOMPARE(dbRun("SELECT count(*) FROM recd WHERE uid=?", { ann }).rows[0][0].toInt(), 0);
        QCOMPARE(dbRun("SELECT count(*) FROM recd WHERE uid=?", { bob }).rows[0][0].toInt(), 1);
        QVERIFY(QFile::exists(picture));
    }

    void doubleClickOpensThePatientDialogOverTheWindow()
    {
        addPatient("Ann", "Archer", "1980/02/03");
        FrmPatmgr w(nullptr);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* list = part<QTableWidget>(w, "list");
        QTRY_COMPARE(list->rowCount(), 1);

        QString opened;
        QWidget* parent = nullptr;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = dialog->metaObject()->className();
                parent = dialog->parentWidget();
                dialog->reject();
            }
        });
        closer.start(10);
        const QPoint where = list->visualItemRect(list->item(0, 1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
        QTRY_COMPARE(opened, QStringLiteral("DlgPatinfo"));
        QCOMPARE(parent, &w);
    }

    void exitShowsTheOpenerAgain()
    {
        QDialog opener;
        FrmPatmgr w(&opener);
        w.show();
        QVERIFY(!opener.isVisible());
        part<QAction>(w, "mfExit")->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(opener.isVisible());
    }

    void languageMenuSwitchesWindowAndOpener()
    {
        TestSupport::writeFile("language/alpha.ini",
            "[System]\nname=Alpha\n[FrmPatmgr]\nFrmPatmgr=Alpha Manager\nlist=x\n"
            "list_col1=Vorname\nbnNew=Neu\n[DlgType]\nDlgType=Alpha Mode\n");
        QDialog opener;
        opener.setObjectName("DlgType");
        FrmPatmgr w(&opener);
        const QList<QAction*> entries = part<QMenu>(w, "mfLang")->actions();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0]->text(), QStringLiteral("Alpha"));
        QVERIFY(entries[1]->isChecked()); // the English file is the stored choice

        entries[0]->trigger();
        QCOMPARE(w.windowTitle(), QStringLiteral("Alpha Manager"));
        QCOMPARE(part<QTableWidget>(w, "list")->horizontalHeaderItem(0)->text(), QStringLiteral("Vorname"));
        QCOMPARE(part<QPushButton>(w, "bnNew")->text(), QStringLiteral("Neu"));
        QCOMPARE(opener.windowTitle(), QStringLiteral("Alpha Mode"));
        Language::instance()->load(englishPath);
    }
};

KARVEX_TEST_MAIN(TestPatmgr)
#include "TestPatmgr.moc"
