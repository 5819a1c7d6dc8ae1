#include "FileChooser.h"

namespace {
FileChooser::Handler& handler()
{
    static FileChooser::Handler h;
    return h;
}
} // namespace

void FileChooser::setHandler(Handler h)
{
    handler() = std::move(h);
}

QString FileChooser::folder(
    QWidget* parent, const QString& caption, const QString& startDir, QFileDialog::Options options)
{
    if (handler())
        return handler()(Request { Kind::Folder, parent, caption, startDir, QString(), options });
    return QFileDialog::getExistingDirectory(parent, caption, startDir, options);
}

QString FileChooser::openFile(
    QWidget* parent, const QString& caption, const QString& startDir, const QString& filter)
{
    if (handler())
        return handler()(Request { Kind::OpenFile, parent, caption, startDir, filter, {} });
    return QFileDialog::getOpenFileName(parent, caption, startDir, filter);
}
