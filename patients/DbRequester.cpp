#include "DbRequester.h"

DbRequester::DbRequester(const QString& statement, const QVariantList& values, bool isBatch)
    : sql(statement)
    , binds(values)
    , batch(isBatch)
{ }

DbRequester::~DbRequester() = default;
