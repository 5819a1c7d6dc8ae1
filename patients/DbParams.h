#pragma once

#include <QString>

// Connection parameters handed to Database::open.
struct DbParams {
    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    QString name;
};
