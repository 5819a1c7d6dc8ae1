#include "MsgBox.h"

#include "Language.h"

namespace {
MsgBox::Handler& handler()
{
    static MsgBox::Handler h;
    return h;
}
} // namespace

void MsgBox::setHandler(Handler h)
{
    handler() = std::move(h);
}

QMessageBox::StandardButton MsgBox::show(
    Kind kind, QWidget* parent, const QString& title, const QString& text)
{
    if (handler())
        return handler()(kind, parent, title, text);
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    // Texts may carry file paths or patient data: never read them as markup.
    box.setTextFormat(Qt::PlainText);
    switch (kind) {
    case Kind::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Kind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Kind::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
    }
    const int answer = box.exec();
    return answer == -1 ? QMessageBox::NoButton : QMessageBox::StandardButton(answer);
}

void MsgBox::information(QWidget* parent, const QString& textKey)
{
    show(Kind::Information, parent, Language::systemText("hint"), Language::systemText(textKey));
}

void MsgBox::warning(QWidget* parent, const QString& textKey)
{
    warningText(parent, Language::systemText(textKey));
}

void MsgBox::warningText(QWidget* parent, const QString& text)
{
    show(Kind::Warning, parent, Language::systemText("hint"), text);
}

bool MsgBox::ask(QWidget* parent, const QString& textKey)
{
    return askText(parent, Language::systemText(textKey));
}

bool MsgBox::askText(QWidget* parent, const QString& text)
{
    return show(Kind::Question, parent, Language::systemText("ask"), text) == QMessageBox::Yes;
}
