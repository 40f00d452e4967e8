// Shared pieces of the shell tests: reading the catalogue and tidying up the windows a test
// opened, so that each test starts with none.
#pragma once

#include <QString>
#include <QVariant>

namespace glim::test {

// The number of rows of tbl1, or -1 when the catalogue cannot be opened.
int tbl1Count(const QString& catalogue);
// A field of the first tbl1 row.
QVariant tbl1Field(const QString& catalogue, const QString& field);
// Closes and deletes every tracked window without ending the test's event loop.
void closeAllWindows();
// Makes shutdown paths record their end instead of leaving the event loop.
int& endedWith();
void catchProcessEnd();

}  // namespace glim::test
