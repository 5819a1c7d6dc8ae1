#pragma once

#include <QString>

class QSqlDatabase;

// SQLite's LIKE folds letter case for ASCII only, so "özdemir" would not find "Özdemir". This
// LIKE keeps SQLite's wildcards ("%" any run of characters, "_" one character) and compares
// with Unicode case folding.
class UnicodeLike
{
public:
    static bool matches(const QString& pattern, const QString& text);
    // Replaces LIKE on the database's SQLite connection; false when it is no SQLite connection.
    static bool install(const QSqlDatabase& database);
};
