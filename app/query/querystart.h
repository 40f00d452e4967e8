// The query module's entries for start-up and the main window: the builder itself and the
// start from a picture-set file on the command line (printing a set is in printset.h).
#pragma once

#include <QString>

#include "query/printset.h"

namespace glim {
class frmQuery;
class frmPicPasswordqry;
}  // namespace glim

namespace glim::query {

// Lets the viewer's "Change Picture Set" open the builder and hands the builder the viewer it
// shows a picture set in. Start-up calls it once.
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

}  // namespace glim::query
