// One earlier start of the database service in the folder given first, running the statement
// given after it; exits 0 once that statement has succeeded.
#include "Database.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!QDir::setCurrent(app.arguments().value(1)) || !Database::instance())
        return 2;
    Database::instance()->exec(
        app.arguments().value(2), {}, &app, [&app](bool ok, DbResponser*) { app.exit(ok ? 0 : 1); });
    return app.exec();
}
