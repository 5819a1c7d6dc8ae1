#include "UnicodeLike.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <QVector>

#include <sqlite3.h>

namespace {

// Backtracking over the last "%": linear for the finder's "%text%" patterns.
bool matchFolded(const QVector<uint>& pattern, const QVector<uint>& text)
{
    int p = 0;
    int t = 0;
    int starP = -1;
    int starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '%') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

QString argumentText(sqlite3_value* value)
{
    return QString::fromUtf8(
        reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

// like(pattern, text), as SQLite calls it for "text LIKE pattern".
void sqlLike(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL || sqlite3_value_type(values[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int(
        context, UnicodeLike::matches(argumentText(values[0]), argumentText(values[1])) ? 1 : 0);
}

} // namespace

bool UnicodeLike::matches(const QString& pattern, const QString& text)
{
    return matchFolded(pattern.toCaseFolded().toUcs4(), text.toCaseFolded().toUcs4());
}

bool UnicodeLike::install(const QSqlDatabase& database)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.data());
    return connection
        && sqlite3_create_function(
               connection, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &sqlLike, nullptr, nullptr)
        == SQLITE_OK;
}
