// One earlier start of the database service in the folder given first, running the statement
// given after it; exits 0 once that statement has succeeded.
#include "Database.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Database* db = QDir::setCurrent(app.arguments().value(1)) ? Database::instance() : nullptr;
    if (!db)
        return 2;
    db->exec(app.arguments().value(2), {}, &app, [&app](bool ok, DbResponser*) { app.exit(ok ? 0 : 1); });
    return app.exec();
}
