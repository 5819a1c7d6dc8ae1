#pragma once

#include <QDate>
#include <QObject>

class QDateEdit;

// Gives a date edit an empty state: a date edit always holds some date, so a required date
// would otherwise be "entered" without the operator ever touching it. The blank state is the
// edit's minimum date, shown as an empty field. Typing a digit or opening the calendar in
// the blank state starts from today's page rather than from the minimum.
class BlankDateEdit : public QObject
{
    Q_OBJECT
public:
    explicit BlankDateEdit(QDateEdit* edit);

    bool isBlank() const;
    // An invalid date makes the edit blank.
    void setDate(const QDate& date);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDateEdit* m_edit;
};
