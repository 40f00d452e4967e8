#include "query_helpers.h"

namespace glim::query::test {

QStringList themeNames() {
  QStringList names;
  for (int k = 1; k <= kThemeCount; ++k) names << QStringLiteral("Theme%1").arg(k);
  return names;
}

QDate fixedToday() {
  return QDate(2024, 3, 7);
}

QueryCriteria initial() {
  return initialCriteria(themeNames(), fixedToday());
}

}  // namespace glim::query::test
