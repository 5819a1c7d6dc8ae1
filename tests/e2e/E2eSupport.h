#pragma once

// What the whole-program tests share: the stand-ins at the hardware boundary (camera list,
// camera stream, camera keys, free disk space), a look into the windows as the operator sees
// them, and the checks a user would make afterwards with other tools (plain SQL on
// system.db, FFmpeg on the captures, poppler on the report).

#include <QApplication>
#include <QByteArray>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantList>
#include <QWidget>

#include <functional>

class QGroupBox;
class QTableWidget;

namespace E2e {

// The camera's key interface as the key link finds it.
constexpr unsigned short kKeyVendor = 0x3F1C;
constexpr unsigned short kKeyProduct = 0x5501;
constexpr const char* kKeyPath = "/dev/hidraw0";
constexpr const char* kCameraNode = "/dev/video0";

// One supported camera at /dev/video0 whose stream is the given lavfi graph, its key
// interface at /dev/hidraw0 (release 0x0102), and `freeBytes` free on the capture disk.
void plugCamera(const QByteArray& lavfiGraph, qint64 freeBytes = 64LL * 1024 * 1024 * 1024);
void unplugCamera();
// How often the program has asked for the free space of the capture disk (its disk watch
// asks once a second), so a test can let the watch tick without a fixed sleep.
int diskChecks();
// The camera key with this number (1 or 2) pressed once.
void pressCameraKey(int key);
// How many camera key reports the program has read so far (it logs each one), so a test
// can wait for a key that is meant to do nothing.
int cameraKeysRead();

// The first visible top-level window of that class, or null.
template <class T> T* visibleWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (auto* found = qobject_cast<T*>(window); found && found->isVisible())
            return found;
    }
    return nullptr;
}

template <class T> T* child(QWidget* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

// A left click in the middle of a widget, delivered through its window as the window
// system would deliver it. Returns only after whatever the click started (a modal dialog's
// own event loop included) has ended.
void click(QWidget* widget);
// A click on the check box in a group box's title.
void clickTitleCheckBox(QGroupBox* box);

// Runs `inside` once the modal dialog that `start` opens is up (inside that dialog's own
// event loop), then closes the dialog if it is still open, so that a failed check never
// leaves the test waiting in the dialog's loop. Returns when `start` returns.
bool waitForModal(const std::function<bool(QWidget*)>& isTheDialog);
template <class Dialog>
void withModal(const std::function<void()>& start, const std::function<void(Dialog*)>& inside)
{
    QTimer::singleShot(0, [inside] {
        const auto isDialog = [](QWidget* w) { return qobject_cast<Dialog*>(w) != nullptr; };
        if (!waitForModal(isDialog))
            return;
        QPointer<Dialog> dialog(qobject_cast<Dialog*>(QApplication::activeModalWidget()));
        inside(dialog);
        if (dialog && dialog->isVisible())
            dialog->reject();
    });
    start();
}

// The text a table shows in a cell, whether the cell holds an item or a label.
QString cellText(QTableWidget* table, int row, int column);

// A second connection on "./system.db", independent of the program's own service.
QSqlDatabase checkDb();
QSqlQuery sql(const QString& statement, const QVariantList& binds = {});
// The first column of the first row, or an invalid value.
QVariant sqlValue(const QString& statement, const QVariantList& binds = {});

// What FFmpeg makes of a file.
struct Media {
    bool opened = false;
    QString codec;
    int width = 0;
    int height = 0;
    int decodedFrames = 0;
};
// Opens the file with libavformat and decodes up to maxFrames frames of its video stream.
Media probe(const QString& path, int maxFrames = 1000);

// Runs a command-line tool to its end; its standard output, or empty text when it failed.
QString runTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

} // namespace E2e
