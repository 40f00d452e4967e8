// Shared by the query tests: criteria set up by small lambdas, and theme names.
#pragma once

#include <QMetaType>
#include <QStringList>
#include <functional>

#include "query/querycriteria.h"

namespace glim::test {
class TestEnv;
}

namespace glim::query::test {

using Setup = std::function<void(QueryCriteria&)>;

// "Theme1" .. "Theme15".
QStringList themeNames();
// The builder's initial criteria on a fixed day.
QueryCriteria initial();
QDate fixedToday();

// Four real pictures in the catalogue: b.jpg (rating 1), a.jpg (3), c.png (5) and d.bmp (5),
// all with theme 4, b.jpg first so that the whole table starts with a picture the set below
// leaves out. Returns their folder, with a trailing "/".
QString fillCatalogueWithFourPictures(const glim::test::TestEnv& env);
// A query file "my sets/good ones.qry" (overall rating above 2, theme 4 anywhere, JPG and
// PNG) that matches a.jpg and c.png only. Returns its path.
QString writeGoodOnesSet(const glim::test::TestEnv& env);

}  // namespace glim::query::test

Q_DECLARE_METATYPE(glim::query::test::Setup)
