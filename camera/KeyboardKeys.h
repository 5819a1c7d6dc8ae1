#pragma once

#include <QKeySequence>
#include <QList>

class QKeyEvent;
class QWidget;

// The keyboard keys (foot switches mostly present themselves as keyboards sending one key)
// the operator assigned to the camera window's commands, numbered like the camera keys'
// (Snapshot, Record, Freeze, Zoom In, Zoom Out). Kept in settings.ini beside the camera
// keys: "BtnMgr/key1" holds the key by its portable name (empty: none), "BtnMgr/key1cmd"
// its command; likewise for key 2.
// The check sees the compiler's own loop counter (__i0) in the copy of the m_keys array.
class KeyboardKeys // NOLINT(bugprone-reserved-identifier)
{
public:
    static constexpr int kCount = 2;
    struct Assignment {
        QKeySequence key;
        int command = 0;
    };

    static KeyboardKeys load();
    void save() const;
    Assignment at(int index) const { return m_keys[index]; }
    void set(int index, const Assignment& assignment) { m_keys[index] = assignment; }
    // The command assigned to the key, -1 when the key is not assigned.
    int commandFor(const QKeySequence& key) const;

    // The key of a key event with its modifiers, as assigned and looked up.
    static QKeySequence keyOf(const QKeyEvent* event);
    // Whether the key is a modifier alone, which cannot be assigned.
    static bool isModifier(int key);
    // Keys the camera window uses itself: F12, Esc, Space, its actions' shortcuts and the
    // Alt+letter of each menu in its menu bar.
    static QList<QKeySequence> reservedIn(const QWidget* window);

private:
    Assignment m_keys[kCount];
};
