#include "MsgBox.h"

#include "Language.h"

namespace {
MsgBox::Handler& handler()
{
    static MsgBox::Handler h;
    return h;
}

QString systemText(const char* key)
{
    return Language::instance()->text(QStringLiteral("System"), QLatin1String(key));
}
} // namespace

void MsgBox::setHandler(Handler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton MsgBox::show(Kind kind, QWidget* parent, const QString& title,
                                         const QString& text)
{
    if (handler())
        return handler()(kind, parent, title, text);
    switch (kind) {
    case Kind::Information:
        return QMessageBox::information(parent, title, text, QMessageBox::Ok);
    case Kind::Warning:
        return QMessageBox::warning(parent, title, text, QMessageBox::Ok);
    case Kind::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::NoButton);
    }
    return QMessageBox::NoButton;
}

void MsgBox::information(QWidget* parent, const QString& textKey)
{
    show(Kind::Information, parent, systemText("hint"),
         Language::instance()->text(QStringLiteral("System"), textKey));
}

void MsgBox::warning(QWidget* parent, const QString& textKey)
{
    warningText(parent, Language::instance()->text(QStringLiteral("System"), textKey));
}

void MsgBox::warningText(QWidget* parent, const QString& text)
{
    show(Kind::Warning, parent, systemText("hint"), text);
}

bool MsgBox::ask(QWidget* parent, const QString& textKey)
{
    return show(Kind::Question, parent, systemText("ask"),
                Language::instance()->text(QStringLiteral("System"), textKey))
        == QMessageBox::Yes;
}
