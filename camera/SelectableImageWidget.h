#pragma once

#include <QGroupBox>
#include <QString>

class QLabel;

// One captured picture in the camera window's side panel. The group box's title check box
// is the operator's selection mark for the report.
class SelectableImageWidget : public QGroupBox
{
    Q_OBJECT
public:
    explicit SelectableImageWidget(QWidget* parent = nullptr);
    ~SelectableImageWidget() override;

    // Shows the picture file (an unreadable file shows none).
    void setImage(const QString& path);

private:
    QLabel* m_picture = nullptr;
};
