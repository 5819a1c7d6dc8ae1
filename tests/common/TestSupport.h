#pragma once

#include "MsgBox.h"
#include "Resources.h"

#include <QApplication>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

// Every test process runs in a temporary working folder of its own, so settings.ini,
// system.db, language/ and captures never touch the developer's files.
class TestWorkDir
{
public:
    TestWorkDir();
    ~TestWorkDir();

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

namespace TestSupport {
// Copies the shipped language files into "language/" of the working folder.
void copyShippedLanguages();
// Writes a UTF-8 text file (folders created), returns its absolute path.
QString writeFile(const QString& relativePath, const QByteArray& content);
} // namespace TestSupport

// Answers the program's message boxes instead of showing them, and records them.
class MsgBoxRecorder
{
public:
    struct Box {
        MsgBox::Kind kind;
        QString title;
        QString text;
        QWidget* parent;
    };
    explicit MsgBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Yes);
    ~MsgBoxRecorder();

    QList<Box> boxes;
    QMessageBox::StandardButton answer;
    // Called (if set) when a box is "shown", before it is answered.
    std::function<void(const Box&)> onShow;
};

#define KARVEX_TEST_MAIN(TestObject)                                                                         \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        QApplication app(argc, argv);                                                                        \
        karvexInitResources();                                                                               \
        TestWorkDir workDir;                                                                                 \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
