#include "V4l2ControlEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

V4l2ControlEditor::V4l2ControlEditor(const V4l2Control& control, QWidget* parent)
    : QObject(parent)
{
    m_label = new QLabel(parent);
    switch (control.type) {
    case V4L2_CTRL_TYPE_BOOLEAN: {
        auto* box = new QCheckBox(parent);
        connect(box, &QCheckBox::toggled, this, [this](bool on) { emit changed(on ? 1 : 0); });
        m_label->setText(control.name);
        m_editor = box;
        m_valueWidgets << box;
        break;
    }
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
        m_label->setText(control.name);
        m_editor = makeMenu(control, parent);
        break;
    case V4L2_CTRL_TYPE_BUTTON: {
        // The button says what it does; a second copy of the name beside it would only repeat it.
        auto* button = new QPushButton(control.name, parent);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(button, &QPushButton::clicked, this, [this] { emit changed(0); });
        m_editor = button;
        break;
    }
    default:
        m_label->setText(control.name);
        m_editor = makeInteger(control, parent);
        break;
    }
    show(control);
}

QWidget* V4l2ControlEditor::makeInteger(const V4l2Control& control, QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* slider = new QSlider(Qt::Horizontal, holder);
    auto* spin = new QSpinBox(holder);
    slider->setMinimumWidth(220);
    slider->setRange(control.minimum, control.maximum);
    slider->setSingleStep(control.step);
    slider->setPageStep(qMax(control.step, (control.maximum - control.minimum) / 10));
    spin->setRange(control.minimum, control.maximum);
    spin->setSingleStep(control.step);
    // Typing "120" must not write 1 and 12 on the way.
    spin->setKeyboardTracking(false);
    spin->setAlignment(Qt::AlignRight);
    layout->addWidget(slider, 1);
    layout->addWidget(spin);

    // The spin box is the single source of writes; the slider only moves it.
    connect(slider, &QSlider::valueChanged, spin, &QSpinBox::setValue);
    connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this, [this, slider](int value) {
        const QSignalBlocker blocker(slider);
        slider->setValue(value);
        emit changed(value);
    });
    m_valueWidgets << slider << spin;
    return holder;
}

QWidget* V4l2ControlEditor::makeMenu(const V4l2Control& control, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (const auto& item : control.menu)
        combo->addItem(item.second, item.first);
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, combo](int row) {
        if (row >= 0)
            emit changed(combo->itemData(row).toInt());
    });
    m_valueWidgets << combo;
    return combo;
}

void V4l2ControlEditor::show(const V4l2Control& control)
{
    const bool editable = control.isEditable() && !(control.flags & V4L2_CTRL_FLAG_DISABLED);
    m_label->setEnabled(editable);
    m_editor->setEnabled(editable);

    for (QWidget* widget : qAsConst(m_valueWidgets)) {
        const QSignalBlocker blocker(widget);
        if (auto* slider = qobject_cast<QSlider*>(widget))
            slider->setValue(control.value);
        else if (auto* spin = qobject_cast<QSpinBox*>(widget))
            spin->setValue(control.value);
        else if (auto* box = qobject_cast<QCheckBox*>(widget))
            box->setChecked(control.value != 0);
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            combo->setCurrentIndex(combo->findData(control.value));
    }
}
