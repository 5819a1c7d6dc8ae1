#include "AppSettings.h"
#include "Language.h"
#include "LanguageMenu.h"
#include "TestSupport.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>

namespace {
int folderCount = 0;

// Every test works in a fresh folder of its own: the language folder, settings.ini and the
// INI reader's per-file cache then never carry over from another test.
class FreshFolder
{
public:
    FreshFolder()
        : m_previous(QDir::currentPath())
    {
        const QString name = QStringLiteral("case%1").arg(++folderCount);
        QDir().mkpath(name);
        QDir::setCurrent(name);
    }
    ~FreshFolder() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};

Language* loadFile(const QByteArray& content)
{
    Language* language = Language::instance();
    language->load(TestSupport::writeFile(QStringLiteral("language/test.ini"), content));
    return language;
}

QString storedPath()
{
    return AppSettings().value(QStringLiteral("Language/path"), QStringLiteral("<absent>"));
}

QString absolute(const QString& relative)
{
    return QFileInfo(relative).absoluteFilePath();
}

QStringList comboItems(const QComboBox& combo)
{
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << combo.itemText(i);
    return items;
}

template <typename T>
auto setCaption(T* widget, const QString& text, int) -> decltype(widget->setText(text), void())
{
    widget->setText(text);
}

template <typename T> void setCaption(T* widget, const QString& text, long)
{
    if constexpr (std::is_base_of_v<QGroupBox, T>)
        widget->setTitle(text);
}

template <typename T> T* make(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    if (!text.isNull())
        setCaption(widget, text, 0);
    return widget;
}
} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void eachWidgetKindTakesItsTextByObjectName()
    {
        FreshFolder folder;
        loadFile("[DlgT]\nDlgT=Title\nmMenu=Menu\nmaOne=One\nlbL=Label\ngbG=Group\nleL=Edit\n"
                 "tabW=Tabs\ntpB=Page B\nbnP=Push\nrbR=Radio\ncbxC=Check\n"
                 "[DlgInner]\nlbL=Inner label\n");
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("DlgT"));
        auto* menu = make<QMenu>(&dialog, "mMenu");
        QAction* one = menu->addAction(QStringLiteral("one"));
        one->setObjectName(QStringLiteral("maOne"));
        QAction* two = menu->addAction(QStringLiteral("two"));
        two->setObjectName(QStringLiteral("maTwo"));
        auto* label = make<QLabel>(&dialog, "lbL", QStringLiteral("label"));
        auto* group = make<QGroupBox>(&dialog, "gbG", QStringLiteral("group"));
        auto* edit = make<QLineEdit>(group, "leL", QStringLiteral("typed"));
        auto* tabs = make<QTabWidget>(&dialog, "tabW");
        tabs->addTab(make<QWidget>(nullptr, "tpA"), QStringLiteral("A"));
        tabs->addTab(make<QWidget>(nullptr, "tpB"), QStringLiteral("B"));
        auto* push = make<QPushButton>(&dialog, "bnP", QStringLiteral("push"));
        auto* radio = make<QRadioButton>(&dialog, "rbR", QStringLiteral("radio"));
        auto* check = make<QCheckBox>(&dialog, "cbxC", QStringLiteral("check"));
        auto* unnamed = new QLabel(QStringLiteral("unnamed"), &dialog);
        QDialog inner(&dialog);
        inner.setObjectName(QStringLiteral("DlgInner"));
        auto* innerLabel = make<QLabel>(&inner, "lbL", QStringLiteral("inner"));

        Language::instance()->translate(&dialog);

        QCOMPARE(dialog.windowTitle(), QStringLiteral("Title"));
        QCOMPARE(menu->title(), QStringLiteral("Menu"));
        QCOMPARE(one->text(), QStringLiteral("One"));
        QCOMPARE(two->text(), QStringLiteral("two"));
        QCOMPARE(label->text(), QStringLiteral("Label"));
        QCOMPARE(group->title(), QStringLiteral("Group"));
        QCOMPARE(edit->text(), QStringLiteral("Edit"));
        QCOMPARE(tabs->tabText(0), QStringLiteral("A"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Page B"));
        QCOMPARE(push->text(), QStringLiteral("Push"));
        QCOMPARE(radio->text(), QStringLiteral("Radio"));
        QCOMPARE(check->text(), QStringLiteral("check"));
        QCOMPARE(unnamed->text(), QStringLiteral("unnamed"));
        QCOMPARE(innerLabel->text(), QStringLiteral("Inner label"));
    }

    void widgetsOutsideAnyWindowAndMissingKeysStayAsBuilt()
    {
        FreshFolder folder;
        loadFile("[DlgT]\nlbL=Label\nmMenu=\nmaOne=One\n");
        QWidget plain;
        auto* loose = make<QLabel>(&plain, "lbL", QStringLiteral("loose"));
        Language::instance()->translate(&plain);
        QCOMPARE(loose->text(), QStringLiteral("loose"));

        QDialog dialog;
        dialog.setObjectName(QStringLiteral("DlgT"));
        dialog.setWindowTitle(QStringLiteral("built-in"));
        auto* menu = make<QMenu>(&dialog, "mMenu");
        menu->setTitle(QStringLiteral("menu"));
        QAction* one = menu->addAction(QStringLiteral("one"));
        one->setObjectName(QStringLiteral("maOne"));
        Language::instance()->translate(&dialog);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("built-in"));
        QCOMPARE(menu->title(), QStringLiteral("menu"));
        QCOMPARE(one->text(), QStringLiteral("one")); // the menu has no entry of its own
    }

    void unnamedMenuEntriesAreNotLookedUp()
    {
        FreshFolder folder;
        // "DlgM/" would name the top-level key "DlgM" of the file.
        loadFile("DlgM=Wrong\n[DlgM]\nmMenu=Menu\nmSub=Sub\n");
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("DlgM"));
        auto* menu = make<QMenu>(&dialog, "mMenu");
        auto* sub = make<QMenu>(menu, "mSub");
        menu->addMenu(sub);
        QAction* separator = menu->addSeparator();
        Language::instance()->translate(&dialog);
        QCOMPARE(sub->menuAction()->text(), QStringLiteral("Sub"));
        QCOMPARE(separator->text(), QString());
    }

    void tableHeadersNeedTheTablesOwnKey()
    {
        FreshFolder folder;
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("DlgT"));
        auto* table = make<QTableWidget>(&dialog, "list");
        table->setColumnCount(3);
        table->setRowCount(2);
        table->setHorizontalHeaderLabels({ QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") });
        table->setVerticalHeaderItem(1, new QTableWidgetItem(QStringLiteral("r2")));

        loadFile("[DlgT]\nlist_col1=First\nlist_row2=Second\n");
        Language::instance()->translate(&dialog);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("a"));

        Language::instance()->load(TestSupport::writeFile(QStringLiteral("language/table.ini"),
            "[DlgT]\nlist=Table\nlist_col1=First\nlist_col3=Third\nlist_row2=Second\n"));
        Language::instance()->translate(&dialog);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("First"));
        QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("b"));
        QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("Third"));
        // Row 1 has no header item; the row after it is still reached.
        QCOMPARE(table->verticalHeaderItem(1)->text(), QStringLiteral("Second"));
    }

    void comboItemsSplitAtSlashesKeepingEmptyPartsAndTheIndex()
    {
        FreshFolder folder;
        loadFile("[DlgT]\ncbBtn1=A//B\n");
        QDialog dialog;
        dialog.setObjectName(QStringLiteral("DlgT"));
        auto* combo = make<QComboBox>(&dialog, "cbBtn1");
        combo->addItems({ QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z") });
        combo->setCurrentIndex(2);
        Language::instance()->translate(&dialog);
        QCOMPARE(comboItems(*combo), (QStringList { QStringLiteral("A"), QString(), QStringLiteral("B") }));
        QCOMPARE(combo->currentIndex(), 2);
    }

    void lookupsFollowOneReferenceAndJoinCommaLists()
    {
        FreshFolder folder;
        Language* language = loadFile("[System]\nhint=Notice\nlist=one, two,three\nquoted=\"one, two\"\n"
                                      "[DlgT]\nlbTitle=@System/hint\nlbGone=@System/nothing\n"
                                      "lbTwice=@DlgT/lbTitle\nlbBare=@\nlbList=@System/list\n");
        const auto lookup = [language](const char* section, const char* key) {
            return language->text(QLatin1String(section), QLatin1String(key));
        };
        QCOMPARE(lookup("DlgT", "lbTitle"), QStringLiteral("Notice"));
        QCOMPARE(lookup("DlgT", "lbTwice"), QStringLiteral("@System/hint"));
        QCOMPARE(lookup("DlgT", "lbBare"), QString());
        QCOMPARE(lookup("System", "list"), QStringLiteral("one,two,three"));
        QCOMPARE(lookup("System", "quoted"), QStringLiteral("one, two"));
        QCOMPARE(lookup("DlgT", "lbList"), QStringLiteral("one,two,three"));
        QCOMPARE(lookup("System", "missing"), QString());

        QDialog dialog;
        dialog.setObjectName(QStringLiteral("DlgT"));
        auto* gone = make<QLabel>(&dialog, "lbGone", QStringLiteral("kept"));
        auto* title = make<QLabel>(&dialog, "lbTitle");
        language->translate(&dialog);
        QCOMPARE(gone->text(), QStringLiteral("kept"));
        QCOMPARE(title->text(), QStringLiteral("Notice"));
    }

    void languagesListsNamedRegularIniFilesAndFlagsTheStoredOne()
    {
        FreshFolder folder;
        TestSupport::writeFile(QStringLiteral("language/b.ini"), "[System]\nname=Bravo\n");
        TestSupport::writeFile(QStringLiteral("language/A.INI"), "[System]\nname=Älpha\n");
        TestSupport::writeFile(QStringLiteral("language/c.ini"), "[System]\nhint=no name\n");
        TestSupport::writeFile(QStringLiteral("language/d.ini"), "[System]\nname=\n");
        TestSupport::writeFile(QStringLiteral("language/e.txt"), "[System]\nname=Echo\n");
        QVERIFY(QFile::link(QStringLiteral("b.ini"), QStringLiteral("language/link.ini")));
        QDir().mkpath(QStringLiteral("language/dir.ini"));

        AppSettings().setValue(QStringLiteral("Language/path"), QString());
        const QString a = absolute(QStringLiteral("language/A.INI"));
        const QString b = absolute(QStringLiteral("language/b.ini"));
        QCOMPARE(Language::languages(),
            (QStringList { QStringLiteral("0Älpha/") + a, QStringLiteral("0Bravo/") + b }));

        Language::instance()->load(b);
        QCOMPARE(Language::languages(),
            (QStringList { QStringLiteral("0Älpha/") + a, QStringLiteral("1Bravo/") + b }));

        QMainWindow window;
        QMenu menu;
        QActionGroup group(&window);
        LanguageMenu::build(&menu, &group);
        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Älpha"));
        QVERIFY(actions.at(0)->isCheckable() && !actions.at(0)->isChecked());
        QCOMPARE(actions.at(1)->data().toString(), b);
        QVERIFY(actions.at(1)->isChecked());
        QVERIFY(group.isExclusive());
        QCOMPARE(group.actions(), actions);
    }

    void missingFileFallsBackToEnUsAndRemembersThePathAsked()
    {
        FreshFolder folder;
        TestSupport::writeFile(QStringLiteral("language/en-US.ini"), "[System]\nhint=Fallback\n");
        const QString gone = absolute(QStringLiteral("language/removed.ini"));
        Language::instance()->load(gone);
        QCOMPARE(Language::instance()->text(QStringLiteral("System"), QStringLiteral("hint")),
            QStringLiteral("Fallback"));
        QCOMPARE(storedPath(), gone);

        Language::instance()->load(QString());
        QCOMPARE(Language::instance()->text(QStringLiteral("System"), QStringLiteral("hint")),
            QStringLiteral("Fallback"));
        QCOMPARE(storedPath(), QString());

        QFile::remove(QStringLiteral("language/en-US.ini"));
        Language::instance()->load(gone);
        QCOMPARE(Language::instance()->text(QStringLiteral("System"), QStringLiteral("hint")), QString());
    }

    void loadDefaultTakesTheFirstFileOfTheLocalesUiLanguages()
    {
        FreshFolder folder;
        const QLocale english(QLocale::English, QLocale::AnyCountry);
        Language* language = loadFile("[System]\nhint=before\n");
        AppSettings().setValue(QStringLiteral("Language/path"), QString());
        language->loadDefault(english); // no lang_*.ini: nothing changes
        QCOMPARE(storedPath(), QString());
        QCOMPARE(language->text(QStringLiteral("System"), QStringLiteral("hint")), QStringLiteral("before"));

        TestSupport::writeFile(QStringLiteral("language/lang_en-US.ini"), "[System]\nhint=US\n");
        language->loadDefault(english);
        QCOMPARE(storedPath(), absolute(QStringLiteral("language/lang_en-US.ini")));
        QCOMPARE(language->text(QStringLiteral("System"), QStringLiteral("hint")), QStringLiteral("US"));

        TestSupport::writeFile(QStringLiteral("language/lang_en.ini"), "[System]\nhint=plain\n");
        language->loadDefault(english);
        QCOMPARE(storedPath(), absolute(QStringLiteral("language/lang_en.ini")));
    }

    void menuEntryLoadsItsFileAndRetranslatesWindowAndOpenerChain()
    {
        FreshFolder folder;
        const QString file = TestSupport::writeFile(QStringLiteral("language/menu.ini"),
            "[FrmX]\nFrmX=Window\n[DlgOpener]\nlbO=Opener\n[DlgOuter]\nDlgOuter=Outer\n");
        QDialog outer;
        outer.setObjectName(QStringLiteral("DlgOuter"));
        QDialog opener(&outer);
        opener.setObjectName(QStringLiteral("DlgOpener"));
        auto* label = make<QLabel>(&opener, "lbO", QStringLiteral("o"));
        QMainWindow window;
        window.setObjectName(QStringLiteral("FrmX"));

        QAction empty;
        QVERIFY(!LanguageMenu::load(&empty));
        QAction entry;
        entry.setData(file);
        QVERIFY(LanguageMenu::load(&entry));
        QCOMPARE(storedPath(), file);
        LanguageMenu::retranslateChain(&window, &opener);
        QCOMPARE(window.windowTitle(), QStringLiteral("Window"));
        QCOMPARE(label->text(), QStringLiteral("Opener"));
        QCOMPARE(outer.windowTitle(), QStringLiteral("Outer"));
    }

    void shippedLanguagesAreCompleteAndListedOnce()
    {
        FreshFolder folder;
        TestSupport::copyShippedLanguages();
        const QStringList entries = Language::languages();
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.at(0).contains(QStringLiteral("Deutsch/")));
        QVERIFY(entries.at(1).contains(QStringLiteral("English/")));

        Language::instance()->loadDefault(QLocale(QLocale::English, QLocale::AnyCountry));
        QVERIFY(storedPath().endsWith(QStringLiteral("/language/lang_en-US.ini")));

        QSettings english(QStringLiteral("language/en-US.ini"), QSettings::IniFormat);
        QSettings german(QStringLiteral("language/lang_de-DE.ini"), QSettings::IniFormat);
        english.setIniCodec("UTF-8");
        german.setIniCodec("UTF-8");
        QCOMPARE(german.allKeys(), english.allKeys());
        for (QSettings* file : { &english, &german }) {
            const QStringList keys = file->allKeys();
            for (const QString& key : keys) // an unquoted comma would split a text
                QVERIFY2(file->value(key).type() == QVariant::String, qPrintable(key));
            for (const char* key : { "name", "hint", "ask", "msg_exit", "dir_err", "grab_eror", "disk_full",
                     "disk_mins", "sel_none", "sel_4_max", "del_sure", "add_eror", "inp_null", "not_found",
                     "db_eror", "vWBalance", "vSnapshot", "vFreeze" })
                QVERIFY2(
                    !file->value(QStringLiteral("System/") + QLatin1String(key)).toString().isEmpty(), key);
            QVERIFY(
                file->value(QStringLiteral("System/not_found")).toString().contains(QStringLiteral("%1")));
            QVERIFY(!file->value(QStringLiteral("FrmCamera/mcName")).toString().isEmpty());
            QCOMPARE(
                file->value(QStringLiteral("DlgBtnMgr/cbBtn1")).toString().split(QLatin1Char('/')).size(), 5);
        }
        QCOMPARE(german.value(QStringLiteral("System/msg_exit")).toString(),
            QStringLiteral("Möchten Sie Karvex beenden?"));
    }
};

KARVEX_TEST_MAIN(TestLanguage)
#include "TestLanguage.moc"
