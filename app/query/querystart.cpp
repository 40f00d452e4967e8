#include "query/querystart.h"

#include <QTextStream>

#include "base/appstate.h"
#include "base/forms.h"
#include "base/settings.h"
#include "catalogue/database.h"
#include "query/frmPicPasswordqry.h"
#include "query/frmQuery.h"
#include "query/pictureset.h"
#include "query/queryfile.h"

#include "viewer/extension.h"
#include "viewer/frmDBScreenTest.h"

namespace glim::query {

void install() {
  viewer::setQueryBuilderOpener([] { showQueryBuilder(); });
  frmQuery::setViewerOpener([] {
    auto* viewer = forms::get<frmDBScreenTest>();
    viewer->show();
    viewer->raise();
    return true;
  });
}

frmQuery* showQueryBuilder() {
  frmQuery* form = forms::get<frmQuery>();
  form->show();
  form->raise();
  form->activateWindow();
  return form;
}

frmPicPasswordqry* showPicturePasswordPrompt() {
  appState().QueryPasswordPending = true;
  auto* dialog = forms::get<frmPicPasswordqry>();
  dialog->show();
  dialog->raise();
  return dialog;
}

frmQuery* startFromQueryFile() {
  return showQueryBuilder();
}

namespace {

// Messages use "\r" between lines as the windows do; a terminal wants "\n".
QString forTerminal(QString text) {
  return text.replace(u'\r', u'\n');
}

}  // namespace

int printSet(const QString& file, QTextStream& out, QTextStream& err) {
  const QStringList names = themeNamesFromSettings();
  const LoadedQuery loaded =
      loadQueryFile(file, initialCriteria(names, QDate::currentDate()), names);
  if (!loaded.ok) {
    err << loaded.reason << Qt::endl;
    return 1;
  }
  QueryCriteria c = loaded.criteria;
  const QueryTexts texts = runQueryTexts(c);
  out << texts.sql << '\n' << texts.filter1 << '\n' << texts.filter2 << '\n';

  const QString databasePath =
      settings::read(settings::kSettings, QStringLiteral("Database"),
                     appState().ProgramFolder + QStringLiteral("all1.mdb"));
  catalogue::Database db = catalogue::Database::open(databasePath);
  if (!db.isOpen()) {
    out.flush();
    err << forTerminal(catalogue::describeError(db.lastErrorKind(), databasePath)) << Qt::endl;
    return 2;
  }
  PictureSet set = openPictureSet(db, texts);
  if (!set.records) {
    out.flush();
    // A statement the catalogue refuses names its own fault; damage met while reading is
    // the file's.
    const catalogue::DbError kind = db.lastErrorKind();
    err << (kind == catalogue::DbError::Statement
                ? set.error
                : forTerminal(catalogue::describeError(kind, databasePath)))
        << Qt::endl;
    return 3;
  }
  for (const QString& path : pathnames(*set.records)) out << path << '\n';
  out.flush();
  return 0;
}

int printSet(const QString& file, QTextStream& out) {
  QTextStream err(stderr);
  return printSet(file, out, err);
}

int printSet(const QStringList& arguments) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  if (arguments.size() != 1) {
    err << QStringLiteral("Usage: glimmora --print-set FILE.qry") << Qt::endl;
    return 1;
  }
  return printSet(arguments.first(), out, err);
}

}  // namespace glim::query
