#include "DlgVidCtrl.h"

#include "AppSettings.h"
#include "Language.h"
#include "V4l2ControlEditor.h"
#include "V4l2Controls.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
struct ClassName {
    quint32 controlClass;
    const char* objectName;
    const char* text;
};

// Group titles of our own (and translatable) for the classes a camera can have; other classes
// use the driver's name.
const ClassName kClassNames[] = {
    { V4L2_CTRL_CLASS_USER, "gbUser", QT_TRANSLATE_NOOP("DlgVidCtrl", "User Controls") },
    { V4L2_CTRL_CLASS_CAMERA, "gbCamera", QT_TRANSLATE_NOOP("DlgVidCtrl", "Camera Controls") },
    { V4L2_CTRL_CLASS_CODEC, "gbCodec", QT_TRANSLATE_NOOP("DlgVidCtrl", "Codec Controls") },
    { V4L2_CTRL_CLASS_JPEG, "gbJpeg", QT_TRANSLATE_NOOP("DlgVidCtrl", "JPEG Compression Controls") },
    { V4L2_CTRL_CLASS_IMAGE_SOURCE, "gbImgSrc", QT_TRANSLATE_NOOP("DlgVidCtrl", "Image Source Controls") },
    { V4L2_CTRL_CLASS_IMAGE_PROC, "gbImgProc", QT_TRANSLATE_NOOP("DlgVidCtrl", "Image Processing Controls") },
    { V4L2_CTRL_CLASS_FLASH, "gbFlash", QT_TRANSLATE_NOOP("DlgVidCtrl", "Flash Controls") },
    { V4L2_CTRL_CLASS_DETECT, "gbDetect", QT_TRANSLATE_NOOP("DlgVidCtrl", "Detection Controls") },
};
} // namespace

bool DlgVidCtrl::openFor(
    QWidget* window, const QString& deviceKey, const QString& caption, const QString& description)
{
    // On Linux the device key is the node path (node paths carry no ":" to replace).
    if (deviceKey.isEmpty())
        return false;
    std::unique_ptr<V4l2Controls> device = V4l2Controls::open(deviceKey);
    if (!device)
        return false;
    const QList<V4l2Control> controls = device->list();
    if (controls.isEmpty())
        return false;
    DlgVidCtrl dialog(window, std::move(device), controls, caption);
    dialog.keepValuesFor(description);
    dialog.exec();
    return true;
}

DlgVidCtrl::DlgVidCtrl(QWidget* parent, std::unique_ptr<V4l2Controls> device,
    const QList<V4l2Control>& controls, const QString& caption)
    : QDialog(parent)
    , m_device(std::move(device))
    , m_controls(controls)
{
    setObjectName(QStringLiteral("DlgVidCtrl"));
    setFont(QFont(QStringLiteral("Arial")));
    setWindowTitle(tr("Video Control"));

    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(scroll);
    auto* groups = new QVBoxLayout(content);
    groups->setContentsMargins(0, 0, 0, 0);

    // One label width across all groups keeps the editors of every group in one column.
    int labelWidth = 0;
    for (int i = 0; i < m_controls.size(); ++i) {
        const V4l2Control& control = m_controls.at(i);
        QGroupBox* group = groupFor(control.controlClass(), groups);
        auto* grid = static_cast<QGridLayout*>(group->layout());
        auto* editor = new V4l2ControlEditor(control, group);
        const int row = grid->rowCount();
        grid->addWidget(editor->label(), row, 0);
        grid->addWidget(editor->editor(), row, 1);
        labelWidth = qMax(labelWidth, editor->label()->sizeHint().width());
        connect(editor, &V4l2ControlEditor::changed, this, [this, i](qint32 value) { write(i, value); });
        m_editors << editor;
    }
    for (V4l2ControlEditor* editor : qAsConst(m_editors))
        editor->label()->setMinimumWidth(labelWidth);
    // Equal spin boxes let every slider end at the same place whatever its range.
    const QList<QSpinBox*> spins = content->findChildren<QSpinBox*>();
    int spinWidth = 0;
    for (QSpinBox* spin : spins)
        spinWidth = qMax(spinWidth, spin->sizeHint().width());
    for (QSpinBox* spin : spins)
        spin->setFixedWidth(spinWidth);
    groups->addStretch(1);
    scroll->setWidget(content);
    layout->addWidget(scroll, 1);

    auto* buttons = new QHBoxLayout;
    auto* defaults = new QPushButton(tr("Defaults"), this);
    defaults->setObjectName(QStringLiteral("bnDeft"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("bnClose"));
    buttons->addWidget(defaults);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(defaults, &QPushButton::clicked, this, &DlgVidCtrl::onDefaults);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    // Show everything without scrolling unless the screen is too small for it.
    const QSize wanted = content->sizeHint();
    const QScreen* screen = parent ? parent->screen() : QApplication::primaryScreen();
    const int maxHeight = screen ? screen->availableGeometry().height() * 4 / 5 : wanted.height();
    scroll->setMinimumWidth(wanted.width() + scroll->verticalScrollBar()->sizeHint().width());
    scroll->setMinimumHeight(qMin(wanted.height(), maxHeight - 60));

    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Language::instance()->translate(this);
    // The camera's own title names the dialog, as for the camera's entry in the menu.
    if (!caption.isEmpty())
        setWindowTitle(caption);
}

DlgVidCtrl::~DlgVidCtrl() = default;

QGroupBox* DlgVidCtrl::groupFor(quint32 controlClass, QVBoxLayout* groups)
{
    for (const auto& entry : qAsConst(m_groups)) {
        if (entry.first == controlClass)
            return entry.second;
    }
    auto* group = new QGroupBox(groups->parentWidget());
    QString title;
    for (const ClassName& name : kClassNames) {
        if (name.controlClass == controlClass) {
            group->setObjectName(QLatin1String(name.objectName));
            title = tr(name.text);
        }
    }
    if (title.isEmpty())
        title = m_device->className(controlClass);
    if (title.isEmpty())
        title = tr("Controls 0x%1").arg(controlClass, 8, 16, QLatin1Char('0'));
    group->setTitle(title);
    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(12);
    groups->addWidget(group);
    m_groups << qMakePair(controlClass, group);
    return group;
}

void DlgVidCtrl::write(int index, qint32 value)
{
    const V4l2Control& control = m_controls.at(index);
    // Only what the camera took is kept; a button only acts and has nothing to keep.
    if (m_device->write(control, value) && control.hasValue() && !m_keptUnder.isEmpty())
        AppSettings().setCameraControl(m_keptUnder, control.id, value);
    rereadAll();
}

void DlgVidCtrl::onDefaults(bool)
{
    for (const V4l2Control& control : qAsConst(m_controls)) {
        if (control.hasValue() && !control.isReadOnly())
            m_device->write(control, control.defaultValue);
    }
    if (!m_keptUnder.isEmpty())
        AppSettings().forgetCameraControls(m_keptUnder);
    rereadAll();
}

void DlgVidCtrl::rereadAll()
{
    for (int i = 0; i < m_controls.size(); ++i) {
        // A control the device no longer answers for (camera unplugged) is greyed.
        if (!m_device->reread(m_controls[i]))
            m_controls[i].flags |= V4L2_CTRL_FLAG_DISABLED;
        m_editors.at(i)->show(m_controls.at(i));
    }
}
