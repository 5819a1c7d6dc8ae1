#pragma once

#include <QLabel>

// A label that draws its picture in colour also while disabled. Picture boxes in the side
// panel are unchecked group boxes, which disable their children; a plain label would grey
// out the picture the operator has to choose by.
class PictureLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
