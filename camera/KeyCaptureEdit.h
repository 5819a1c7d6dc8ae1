#pragma once

#include <QKeySequence>
#include <QLineEdit>

// A field that takes the next key pressed in it (with its modifiers) instead of text, and
// shows the key it holds by name.
class KeyCaptureEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit KeyCaptureEdit(QWidget* parent = nullptr);

    QKeySequence key() const { return m_key; }
    void setKey(const QKeySequence& key);

signals:
    // A key was pressed in the field; the owner decides whether it becomes the key held.
    void keyPressed(const QKeySequence& key);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QKeySequence m_key;
};
