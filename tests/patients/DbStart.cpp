// One start of the database service in the folder given first, running the statements
// given after it; prints the number of patients once they have all run.
#include "Database.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1])))
        return 2;
    Database* db = Database::instance();
    if (!db)
        return 3;
    for (int i = 2; i < argc; ++i)
        db->exec(QString::fromUtf8(argv[i]), {}, nullptr, db_result());
    int exitCode = 1;
    db->exec(QStringLiteral("SELECT count(*) FROM user"), {}, &app, [&](bool ok, DbResponser* response) {
        if (ok && response->next()) {
            std::printf("%lld\n", response->value(0).toLongLong());
            exitCode = 0;
        }
        app.quit();
    });
    app.exec();
    return exitCode;
}
