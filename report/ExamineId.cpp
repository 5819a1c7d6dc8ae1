#include "ExamineId.h"

#include "ReportClock.h"

QString ExamineId::next()
{
    static QDate day;
    static int counter = 0; // 0: no report opened yet in this run

    const QDate today = ReportClock::today();
    if (counter == 0) {
        day = today;
        counter = 1;
    }
    int number;
    if (today == day) {
        number = counter++;
    } else {
        day = today;
        number = 1;
        counter = 2;
    }
    return today.toString(QStringLiteral("yyyyMMdd")) + QString::asprintf("%05d", number);
}
