#include "DbResponser.h"

bool DbResponser::next()
{
    ++cursor;
    return cursor < rows.size();
}

QVariant DbResponser::value(int column) const
{
    if (cursor < 0 || cursor >= rows.size())
        return QVariant();
    const QVector<QVariant>& row = rows.at(cursor);
    if (column < 0 || column >= row.size())
        return QVariant();
    return row.at(column);
}

QVariant DbResponser::value(const QString& name) const
{
    const auto it = columns.constFind(name);
    return it == columns.constEnd() ? QVariant() : value(it.value());
}
