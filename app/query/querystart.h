// The query module's entries for start-up and the main window: the builder itself, the
// start from a picture-set file on the command line, and printing a picture set without
// windows ("glimmora --print-set FILE.qry").
#pragma once

#include <QString>

class QTextStream;

namespace glim {
class frmQuery;
class frmPicPasswordqry;
}  // namespace glim

namespace glim::query {

// Lets the viewer's "Change Picture Set" open the builder. Start-up calls it once.
void install();

// Shows the builder (created on first use): "Query Images For Viewing" and its slide-show
// twin (which then sets SlideShowOnOpen itself).
frmQuery* showQueryBuilder();

// Start-up's password step of a query-file start: sets QueryPasswordPending and shows the
// viewing-password dialog without blocking; the dialog clears the flag when it closes, which
// is what the caller waits for.
frmPicPasswordqry* showPicturePasswordPrompt();

// Start-up's last step of a query-file start: loads the builder, which loads the file named
// by the trimmed command line (AppState::CommandLine) and runs it; a file that cannot be
// loaded leaves the builder open with the load message shown and QueryFileStart cleared.
frmQuery* startFromQueryFile();

// Loads the query file as the builder does, builds its statement and filters and opens the
// set on the catalogue of the normal start (setting "Database"), as the viewer does. Writes
// the statement, the theme filter and the file-type filter (one a line, empty when there is
// none), then every matching Pathname in the viewer's order. Returns 0 on success; non-zero
// with the message on `err`: 1 the file cannot be loaded, 2 the catalogue cannot be opened,
// 3 the catalogue refused the statement or a filter.
int printSet(const QString& file, QTextStream& out, QTextStream& err);
// The same with errors on standard error.
int printSet(const QString& file, QTextStream& out);

}  // namespace glim::query
