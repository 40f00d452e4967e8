// Shared by the query tests: criteria set up by small lambdas, and theme names.
#pragma once

#include <QMetaType>
#include <QStringList>
#include <functional>

#include "query/querycriteria.h"

namespace glim::query::test {

using Setup = std::function<void(QueryCriteria&)>;

// "Theme1" .. "Theme15".
QStringList themeNames();
// The builder's initial criteria on a fixed day.
QueryCriteria initial();
QDate fixedToday();

}  // namespace glim::query::test

Q_DECLARE_METATYPE(glim::query::test::Setup)
