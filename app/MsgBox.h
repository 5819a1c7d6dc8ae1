#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The program's standard message boxes. Titles and texts come from section "System" of
// the language file: "hint" titles information and warning boxes, "ask" titles questions.
class MsgBox
{
public:
    enum class Kind { Information, Warning, Question };

    // Test seam: when set, boxes are not shown; the handler answers them instead.
    using Handler = std::function<QMessageBox::StandardButton(
        Kind kind, QWidget* parent, const QString& title, const QString& text)>;
    static void setHandler(Handler handler);

    static void information(QWidget* parent, const QString& textKey);
    static void warning(QWidget* parent, const QString& textKey);
    // A warning whose text was already formed (for example with a path substituted).
    static void warningText(QWidget* parent, const QString& text);
    // Yes/No question with No as the default button (Return never confirms by accident);
    // true when the answer is Yes.
    static bool ask(QWidget* parent, const QString& textKey);
    // The same question with a text that was already formed (naming what is at stake).
    static bool askText(QWidget* parent, const QString& text);

    static QMessageBox::StandardButton show(
        Kind kind, QWidget* parent, const QString& title, const QString& text);
};
