#pragma once

#include <QFileDialog>
#include <QString>

#include <functional>

class QWidget;

// The toolkit's folder and file choosers, reached through one place so that tests can
// answer them without a native dialog. Without a handler the real choosers run.
class FileChooser
{
public:
    enum class Kind { Folder, OpenFile };
    struct Request {
        Kind kind;
        QWidget* parent;
        QString caption;
        QString startDir;
        QString filter;
        QFileDialog::Options options;
    };
    // Returns the chosen path, or empty text when the operator cancelled.
    using Handler = std::function<QString(const Request&)>;

    static void setHandler(Handler handler);

    static QString folder(
        QWidget* parent, const QString& caption, const QString& startDir, QFileDialog::Options options);
    static QString openFile(
        QWidget* parent, const QString& caption, const QString& startDir, const QString& filter);
};
