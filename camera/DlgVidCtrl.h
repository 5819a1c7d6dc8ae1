#pragma once

#include "V4l2Control.h"

#include <QDialog>
#include <QList>

#include <memory>

class V4l2ControlEditor;
class V4l2Controls;
class QGroupBox;
class QVBoxLayout;

// Video Control: the current camera's own controls (brightness, exposure, ...), written to
// the device as the operator changes them. The values set are kept for the camera (the
// driver forgets them on a replug), and Defaults forgets them again.
class DlgVidCtrl : public QDialog
{
    Q_OBJECT
public:
    // Shows the controls of the device at deviceKey modally over window, titled caption.
    // Does nothing (false) without a device key, when the node cannot be opened or when it
    // offers no controls. The values set are kept under the camera's description (none
    // without one).
    static bool openFor(QWidget* window, const QString& deviceKey, const QString& caption,
        const QString& description = QString());

    DlgVidCtrl(QWidget* parent, std::unique_ptr<V4l2Controls> device, const QList<V4l2Control>& controls,
        const QString& caption);
    ~DlgVidCtrl() override;

    // Keeps the values the operator sets from now on under the camera's description.
    void keepValuesFor(const QString& description) { m_keptUnder = description; }

private slots:
    void onDefaults(bool);

private:
    QGroupBox* groupFor(quint32 controlClass, QVBoxLayout* groups);
    void write(int index, qint32 value);
    // Writing one control can change others (an automatic mode greys its manual value), so
    // everything is read back and shown as the device now has it.
    void rereadAll();

    std::unique_ptr<V4l2Controls> m_device;
    QList<V4l2Control> m_controls;
    QList<V4l2ControlEditor*> m_editors;
    QList<QPair<quint32, QGroupBox*>> m_groups;
    QString m_keptUnder;
};
