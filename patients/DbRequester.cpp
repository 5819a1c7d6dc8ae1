#include "DbRequester.h"

DbRequester::DbRequester(const QString& sql, const QVariantList& binds, bool batch)
    : sql(sql)
    , binds(binds)
    , batch(batch)
{ }

DbRequester::~DbRequester() = default;
