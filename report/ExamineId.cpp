#include "ExamineId.h"

#include "AppSettings.h"
#include "ReportClock.h"

namespace {
const QString dayFormat = QStringLiteral("yyyyMMdd");
} // namespace

QString ExamineId::next()
{
    // The last ID handed out is kept in settings.ini: a restart must not hand the same ID to
    // a second report of the day.
    const QString day = ReportClock::today().toString(dayFormat);
    const QString last = AppSettings().lastExamId();
    int number = 1;
    if (last.size() == day.size() + 5 && last.startsWith(day))
        number = last.mid(day.size()).toInt() + 1;
    QString id = day + QString::asprintf("%05d", number);
    AppSettings().setLastExamId(id);
    return id;
}
