#include "BlankDateEdit.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QKeyEvent>

namespace {
const QDate blankDate(1800, 1, 1);
}

BlankDateEdit::BlankDateEdit(QDateEdit* edit)
    : QObject(edit)
    , m_edit(edit)
{
    m_edit->setMinimumDate(blankDate);
    m_edit->setSpecialValueText(QStringLiteral(" "));
    m_edit->setDate(blankDate);
    m_edit->installEventFilter(this);
    if (QCalendarWidget* calendar = m_edit->calendarWidget())
        calendar->installEventFilter(this);
}

bool BlankDateEdit::isBlank() const
{
    return m_edit->date() == blankDate;
}

void BlankDateEdit::setDate(const QDate& date)
{
    m_edit->setDate(date.isValid() && date > blankDate ? date : blankDate);
}

bool BlankDateEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (!isBlank() || m_edit->isReadOnly())
        return false;
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        // The blank text takes no typing: start a date whose year the digits then replace.
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!typed.isEmpty() && typed.at(0).isDigit()) {
            m_edit->setDate(QDate(QDate::currentDate().year(), 1, 1));
            m_edit->setCurrentSection(QDateTimeEdit::YearSection);
            m_edit->setSelectedSection(QDateTimeEdit::YearSection);
        }
    } else if (watched != m_edit && event->type() == QEvent::Show) {
        const QDate today = QDate::currentDate();
        static_cast<QCalendarWidget*>(watched)->setCurrentPage(today.year(), today.month());
    }
    return false;
}
