#include "AppSettings.h"
#include "Language.h"
#include "LanguageMenu.h"
#include "MsgBox.h"
#include "SystemTexts.h"
#include "TestSupport.h"

#include <QtWidgets>

class TestLanguage : public QObject
{
    Q_OBJECT
    QString m_base = QDir::currentPath();

    template <typename T, typename... Args> static T* make(const char* name, Args... args)
    {
        auto* widget = new T(args...);
        widget->setObjectName(QLatin1String(name));
        return widget;
    }
    static QString text(const char* s, const char* k) { return Language::instance()->text(s, k); }
    static QString storedPath() { return AppSettings().value("Language/path", "<absent>"); }
    static QString absolute(const QString& relative) { return QFileInfo(relative).absoluteFilePath(); }
    static QString write(const char* f, const QByteArray& t) { return TestSupport::writeFile(f, t); }

private slots:
    // A fresh folder per test: language/, settings.ini and the INI reader's cache never carry over.
    void init()
    {
        QDir(m_base).mkpath(QTest::currentTestFunction());
        QDir::setCurrent(m_base + '/' + QTest::currentTestFunction());
    }

    void translateAppliesEachWidgetKindsRule_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dialog title from its own section") << QStringLiteral("title") << "Title";
        QTest::newRow("tab with key") << QStringLiteral("tab 1") << "Page B";
        QTest::newRow("separator untouched by the top-level key") << QStringLiteral("entry 3") << "";
        QTest::newRow("widget of an inner dialog") << QStringLiteral("inner") << "Inner";
        QTest::newRow("reference") << QStringLiteral("lbRef") << "Notice";
        QTest::newRow("reference to nothing keeps the text") << QStringLiteral("lbGone") << "kept";
        QTest::newRow("table column 1") << QStringLiteral("column 0") << "First";
        QTest::newRow("combo box keeps its choice") << QStringLiteral("current item") << "2";
        QTest::newRow("reference followed one level") << QStringLiteral("lbTwice") << "@System/hint";
        QTest::newRow("quoted list") << QStringLiteral("quoted") << "one, two";
    }
    void translateAppliesEachWidgetKindsRule()
    {
        QFETCH(QString, what);
        QFETCH(QString, expected);
        // The top-level "DlgT" key must not reach unnamed menu entries (separators, submenus).
        Language::instance()->load(write("language/t.ini",
            "DlgT=Wrong\n[System]\nhint=Notice\nlist=one, two,three\nquoted=\"one, "
            "two\"\n[DlgT]\nDlgT=Title\n"
            "mMenu=Menu\nmaOne=One\nmSub=Sub\nlbL=Label\ntabW=Tabs\ntpB=Page B\n"
            "cbxC=Check\ncbB=A//B\nlbRef=@System/hint\nlbGone=@System/nothing\n"
            "lbTwice=@DlgT/lbRef\nlbList=@System/list\nlist=Table\nlist_col1=First\nlist_col3=Third\n"
            "list_row3=Row\n[DlgIn]\nlbL=Inner\n"));
        QDialog dialog;
        dialog.setObjectName("DlgT");
        auto* menu = make<QMenu>("mMenu", &dialog);
        menu->addAction("one")->setObjectName("maOne");
        menu->addAction("two")->setObjectName("maTwo");
        menu->addMenu(make<QMenu>("mSub", menu));
        menu->addSeparator();
        auto* tabs = make<QTabWidget>("tabW", &dialog);
        tabs->addTab(make<QWidget>("tpA"), "A");
        tabs->addTab(make<QWidget>("tpB"), "B");
        auto* combo = make<QComboBox>("cbB", &dialog);
        combo->addItems({ "x", "y", "z" });
        combo->setCurrentIndex(2);
        auto* table = make<QTableWidget>("list", 3, 3, &dialog);
        table->setHorizontalHeaderLabels({ "a", "b", "c" });
        table->setVerticalHeaderItem(2, new QTableWidgetItem("r3")); // rows 1 and 2 have none
        const QMap<QString, QWidget*> widgets { { "lbL", make<QLabel>("lbL", "label", &dialog) },
            { "cbxC", make<QCheckBox>("cbxC", "check", &dialog) },
            { "inner", make<QLabel>("lbL", "inner", make<QDialog>("DlgIn", &dialog)) },
            { "lbRef", make<QLabel>("lbRef", &dialog) },
            { "lbGone", make<QLabel>("lbGone", "kept", &dialog) } };

        Language::instance()->translate(&dialog);

        QMap<QString, QString> seen { { "title", dialog.windowTitle() }, { "menu", menu->title() },
            { "row 2", table->verticalHeaderItem(2)->text() },
            { "current item", QString::number(combo->currentIndex()) },
            { "lbTwice", text("DlgT", "lbTwice") }, { "lbList", text("DlgT", "lbList") },
            { "quoted", text("System", "quoted") } };
        for (int i = 0; i < 2; ++i)
            seen.insert(QStringLiteral("tab %1").arg(i), tabs->tabText(i));
        for (int i = 0; i < menu->actions().size(); ++i)
            seen.insert(QStringLiteral("entry %1").arg(i), menu->actions().at(i)->text());
        for (auto widget = widgets.begin(); widget != widgets.end(); ++widget)
            seen.insert(widget.key(), widget.value()->property("text").toString());
        for (int i = 0; i < 3; ++i) {
            seen.insert(QStringLiteral("column %1").arg(i), table->horizontalHeaderItem(i)->text());
            seen.insert(QStringLiteral("item %1").arg(i), combo->itemText(i));
        }
        QVERIFY2(seen.contains(what), qPrintable(what));
        QCOMPARE(seen.value(what), expected);
    }

    void languagesListsNamedRegularIniFilesAndTheMenuChecksTheStoredOne()
    {
        const QString b = write("language/b.ini", "[System]\nname=Bravo\n");
        const QString a = write("language/A.INI", "[System]\nname=Älpha\n");
        write("language/c.ini", "[System]\nhint=no name\n");
        write("language/e.txt", "[System]\nname=Echo\n");
        QVERIFY(QFile::link("b.ini", "language/link.ini"));
        AppSettings().setValue("Language/path", QString());
        QCOMPARE(Language::languages(), (QStringList { "0Älpha/" + a, "0Bravo/" + b }));

        Language::instance()->load(b);
        QCOMPARE(Language::languages(), (QStringList { "0Älpha/" + a, "1Bravo/" + b }));
        QMenu menu;
        QActionGroup group(&menu);
        LanguageMenu::build(&menu, &group);
        const QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.at(0)->text(), "Älpha");
        QVERIFY(actions.at(0)->isCheckable());
        QVERIFY(!actions.at(0)->isChecked());
        QVERIFY(actions.at(1)->isChecked());
        QVERIFY(group.isExclusive());
        QCOMPARE(actions.at(1)->data().toString(), b);
    }

    void loadDefaultTakesTheLocalesFirstFileAndMissingFilesFallBackToEnUs()
    {
        const QLocale english(QLocale::English, QLocale::AnyCountry);
        Language::instance()->load(write("language/t.ini", "[System]\nhint=before\n"));
        AppSettings().setValue("Language/path", QString());
        Language::instance()->loadDefault(english); // no lang_*.ini: nothing changes
        QCOMPARE(storedPath(), QString());
        QCOMPARE(text("System", "hint"), "before");

        write("language/lang_en-US.ini", "[System]\nhint=US\n");
        Language::instance()->loadDefault(english);
        QCOMPARE(text("System", "hint"), "US");
        write("language/lang_en.ini", "[System]\nhint=plain\n");
        Language::instance()->loadDefault(english);
        QCOMPARE(storedPath(), absolute("language/lang_en.ini"));

        write("language/en-US.ini", "[System]\nhint=Fallback\n");
        const QString gone = absolute("language/removed.ini");
        Language::instance()->load(gone);
        QCOMPARE(text("System", "hint"), "Fallback");
        QCOMPARE(storedPath(), gone);
    }

    void firstStartInGermanShowsTheModeChoiceInGerman()
    {
        TestSupport::copyShippedLanguages();
        AppSettings().setValue("Language/path", QString());
        Language::instance()->loadAtStart(QLocale("de_DE"));
        QCOMPARE(text("DlgType", "lbCAM"), "Kamera");
    }

    void storedChoiceWinsOverTheUsersLanguage()
    {
        TestSupport::copyShippedLanguages();
        const QString english = absolute("language/lang_en-US.ini");
        AppSettings().setValue("Language/path", english);
        Language::instance()->loadAtStart(QLocale("de_DE"));
        QCOMPARE(text("DlgType", "lbCAM"), "Camera");
    }

    void menuEntryLoadsItsFileAndRetranslatesWindowAndOpenerChain()
    {
        const QString file = write("language/menu.ini",
            "[FrmX]\nFrmX=Window\n[DlgOpener]\nlbO=Opener\n[DlgOuter]\nDlgOuter=Outer\n");
        QDialog outer;
        outer.setObjectName("DlgOuter");
        auto* opener = make<QDialog>("DlgOpener", &outer);
        auto* label = make<QLabel>("lbO", opener);
        QMainWindow window;
        window.setObjectName("FrmX");
        QAction entry;
        QVERIFY(!LanguageMenu::load(&entry));
        entry.setData(file);
        QVERIFY(LanguageMenu::load(&entry));
        QCOMPARE(storedPath(), file);
        LanguageMenu::retranslateChain(&window, opener);
        QCOMPARE(window.windowTitle(), "Window");
        QCOMPARE(label->text(), "Opener");
        QCOMPARE(outer.windowTitle(), "Outer");
    }

    void shippedLanguagesHaveTheSameKeys()
    {
        // A key missing from one language shows an empty message box in that language.
        const auto keys = [](const QString& file) {
            QSettings ini(QStringLiteral(KARVEX_SOURCE_DIR "/language/") + file, QSettings::IniFormat);
            ini.setIniCodec("UTF-8");
            return ini.allKeys();
        };
        const QStringList english = keys(QStringLiteral("lang_en-US.ini"));
        for (const char* key : { "hint", "ask", "msg_exit", "not_found", "db_eror", "inp_null" })
            QVERIFY(english.contains(QStringLiteral("System/") + QLatin1String(key)));
        QCOMPARE(keys(QStringLiteral("lang_de-DE.ini")), english);
    }

    void builtInMessagesMatchTheShippedEnglishFile()
    {
        QSettings ini(QStringLiteral(KARVEX_SOURCE_DIR "/language/lang_en-US.ini"), QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        ini.beginGroup("System");
        const QStringList keys = ini.childKeys();
        for (const QString& key : keys) {
            if (key != "name")
                QCOMPARE(SystemTexts::english(key), ini.value(key).toString());
        }
    }

    // Started from a launcher in another folder: no language/ at all.
    void questionWithoutLanguageFolderHasATitle()
    {
        Language::instance()->load(QString());
        MsgBoxRecorder boxes(QMessageBox::No);
        MsgBox::ask(nullptr, "msg_exit");
        QCOMPARE(boxes.boxes.value(0).title, QStringLiteral("Please Confirm"));
    }

    static QString yesButtonText()
    {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text();
    }

    void germanLanguageGivesQtsOwnTextsInGerman()
    {
        if (!QFile::exists(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
            QSKIP("Qt's own translations (package qttranslations5-l10n) are not installed");
        TestSupport::copyShippedLanguages();
        Language::instance()->load(absolute("language/lang_de-DE.ini"));
        QCOMPARE(yesButtonText(), QStringLiteral("&Ja"));
    }
};

KARVEX_TEST_MAIN(TestLanguage)
#include "TestLanguage.moc"
