#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestWorkDir::TestWorkDir()
    : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
}

TestWorkDir::~TestWorkDir()
{
    QDir::setCurrent(m_previous);
}

namespace TestSupport {

void copyShippedLanguages()
{
    const QDir source(QStringLiteral(KARVEX_SOURCE_DIR "/language"));
    QDir().mkpath(QStringLiteral("language"));
    const QFileInfoList files = source.entryInfoList(QDir::Files);
    for (const QFileInfo& file : files) {
        const QString target = QStringLiteral("language/") + file.fileName();
        QFile::remove(target);
        if (file.isSymLink())
            QFile::link(file.symLinkTarget(), target);
        else
            QFile::copy(file.absoluteFilePath(), target);
    }
}

QString writeFile(const QString& relativePath, const QByteArray& content)
{
    const QFileInfo info(relativePath);
    QDir().mkpath(info.absolutePath());
    QFile file(relativePath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
    return info.absoluteFilePath();
}

} // namespace TestSupport

MsgBoxRecorder::MsgBoxRecorder(QMessageBox::StandardButton answer)
    : answer(answer)
{
    MsgBox::setHandler([this](MsgBox::Kind kind, QWidget* parent, const QString& title, const QString& text) {
        const Box box { kind, title, text, parent };
        boxes << box;
        if (onShow)
            onShow(box);
        return kind == MsgBox::Kind::Question ? this->answer : QMessageBox::Ok;
    });
}

MsgBoxRecorder::~MsgBoxRecorder()
{
    MsgBox::setHandler(nullptr);
}
