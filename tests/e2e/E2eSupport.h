#pragma once

// What the whole-program tests share: stand-ins at the hardware boundary only (camera list
// and stream, camera keys, free disk space), a look into the windows as the operator sees
// them, and the checks a user would make afterwards with other tools. The program's windows
// come along, since every one of these tests drives them.

#include "AppSettings.h"
#include "DlgExport.h"
#include "DlgPatinfo.h"
#include "DlgType.h"
#include "FrmCamera.h"
#include "FrmPatmgr.h"
#include "SelectableImageWidget.h"
#include "TestSupport.h"

#include <QtSql>
#include <QtTest>
#include <QtWidgets>

#include <functional>

namespace E2e {

constexpr const char* kCameraNode = "/dev/video0";

// One supported camera at /dev/video0 streaming the lavfi graph, its key interface plugged
// in, and plenty of free space on the capture disk.
void plugCamera(const QByteArray& lavfiGraph);
// Camera key 1 or 2 pressed once.
void pressCameraKey(int key);
// Counts the pictures the camera window's view presents (one window at a time), so a test
// can wait for the live picture to move on instead of sleeping.
void watchPictures(FrmCamera* camera);
bool waitForPictures(int count);

template <class T> T* visibleWindow()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    }
    return nullptr;
}

template <class T> T* child(QWidget* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

// A left click in the middle of the widget, delivered through its window. Returns once
// whatever it started has ended (a modal dialog's own event loop included).
void click(QWidget* widget);

// Runs `inside` in the modal dialog that `start` opens, then closes the dialog if it is
// still open, so a failed check never leaves the test stuck in the dialog's loop.
template <class Dialog>
void withModal(const std::function<void()>& start, const std::function<void(Dialog*)>& inside)
{
    QTimer::singleShot(0, [inside] {
        QPointer<Dialog> dialog;
        const auto up = [&] { return dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()); };
        if (QTest::qWaitFor(up, 15000))
            inside(dialog);
        if (dialog && dialog->isVisible())
            dialog->reject();
    });
    start();
}

// Plain SQL on "./system.db" through a connection of the test's own, opened once the
// program's own database has made its tables.
QSqlDatabase checkDb();
QSqlQuery sql(const QString& statement, const QVariantList& binds = {});
QVariant sqlValue(const QString& statement, const QVariantList& binds = {});

// What ffprobe makes of a file's video with every frame decoded, as "codec,width,height,frames"
// (e.g. "h264,1280,720,61"); empty when it cannot read it.
QString probe(const QString& path);
// The number of frames in a probe's answer.
inline int framesOf(const QString& probed)
{
    return probed.section(QLatin1Char(','), 3).toInt();
}

// Runs a command-line tool; its standard output, or empty text when it failed.
QString runTool(const QString& program, const QStringList& arguments);

} // namespace E2e
