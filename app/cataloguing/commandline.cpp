#include "cataloguing/commandline.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <cstdio>

#include "base/appstate.h"
#include "base/keys.h"
#include "catalogue/database.h"
#include "cataloguing/pictureadder.h"
#include "cataloguing/pictureentry.h"
#include "cataloguing/treewalk.h"

namespace glim::cataloguing {

namespace {

enum Exit { kOk = 0, kCatalogueFailed = 1, kUsage = 2 };

const QString kUsageText = QStringLiteral(
    "Usage: glimmora --add-folder DIR [--types jpg,gif,png,pic] [--theme N]\n"
    "       glimmora --scan ROOT [--pattern '*.jpg']");

struct Options {
  QString command;
  QString target;
  QStringList types{"jpg", "gif", "pic", "png"};  // the add screen's initial boxes
  int theme = 0;
  QString pattern = QStringLiteral("*.jpg");
  QString error;
};

// The messages use "\r" between lines as the screens do; a terminal wants "\n".
QString forTerminal(QString text) {
  return text.replace(u'\r', u'\n');
}

bool takeValue(const QStringList& args, qsizetype& i, QString& value, Options& options) {
  if (i + 1 >= args.size()) {
    options.error = args[i] + QStringLiteral(" needs a value.");
    return false;
  }
  value = args[++i];
  return true;
}

Options parse(const QStringList& args) {
  Options options;
  if (args.isEmpty()) {
    options.error = kUsageText;
    return options;
  }
  options.command = args.first();
  const bool adding = options.command == QStringLiteral("--add-folder");
  QString value;
  for (qsizetype i = 1; i < args.size() && options.error.isEmpty(); ++i) {
    const QString& arg = args[i];
    if (adding && arg == QStringLiteral("--types")) {
      if (!takeValue(args, i, value, options)) break;
      options.types = value.toLower().split(u',', Qt::SkipEmptyParts);
      for (QString& type : options.types) type = type.trimmed();
      for (const QString& type : std::as_const(options.types))
        if (!pictureTypes().contains(type))
          options.error = QStringLiteral("Unknown picture type \"%1\"; the types are %2.")
                              .arg(type, pictureTypes().join(u','));
    } else if (adding && arg == QStringLiteral("--theme")) {
      if (!takeValue(args, i, value, options)) break;
      bool ok = false;
      options.theme = value.toInt(&ok);
      if (!ok || options.theme < 0 || options.theme > 15)
        options.error = QStringLiteral("The theme is a number from 0 (none) to 15.");
    } else if (!adding && arg == QStringLiteral("--pattern")) {
      if (!takeValue(args, i, value, options)) break;
      options.pattern = value;
    } else if (options.target.isEmpty() && !arg.startsWith(QStringLiteral("--"))) {
      options.target = arg;
    } else {
      options.error = QStringLiteral("Unexpected argument \"%1\".\n").arg(arg) + kUsageText;
    }
  }
  if (options.error.isEmpty() && options.target.isEmpty())
    options.error = options.command + QStringLiteral(" needs a folder.\n") + kUsageText;
  if (options.error.isEmpty() && !QFileInfo(options.target).isDir())
    options.error = QStringLiteral("Folder not found: ") + options.target;
  return options;
}

QString catalogueFile() {
  const QString path = appState().DatabasePath;
  return path.isEmpty() ? keys::database() : path;
}

// After a run that stored pictures, the set-up progress says so, as the add screen does.
void recordPicturesAdded(const AddResult& result) {
  if (result.added <= 0 || keys::formsRunStat() >= 2) return;
  keys::writeInt(keys::kFormsRunStat, 2);
  appState().FormsRunStat = 2;
}

int addPaths(const QStringList& paths, int theme, QTextStream& out, QTextStream& err) {
  auto db = catalogue::Database::open(catalogueFile());
  if (!db.isOpen()) {
    err << forTerminal(catalogue::describeError(db.lastErrorKind(), catalogueFile())) << Qt::endl;
    return kCatalogueFailed;
  }
  PictureAdder adder(db);
  adder.setNextId(PictureAdder::nextIdFromCatalogue(db));
  if (theme >= 0) adder.setTheme(theme);
  const AddResult result = adder.add(paths);
  recordPicturesAdded(result);
  if (result.failed()) err << forTerminal(catalogueErrorMessage(result)) << Qt::endl;
  out << forTerminal(countsMessage(result)) << Qt::endl;
  return result.failed() ? kCatalogueFailed : kOk;
}

int addFolder(const Options& options, QTextStream& out, QTextStream& err) {
  const QString folder = withSeparator(QDir(options.target).absolutePath());
  QStringList paths;
  for (const QString& name : folderPictures(folder, typePattern(options.types)))
    paths << folder + name;
  return addPaths(paths, options.theme, out, err);
}

int scanTree(const Options& options, QTextStream& out, QTextStream& err) {
  const QString root = QDir(options.target).absolutePath();
  std::atomic_bool stop{false};
  QStringList found;
  WalkRequest request{volumesUnder(root), options.pattern, true, true};
  walkTree(request, stop, [&found](WalkProgress& p) { found += p.found; });
  out << "Find File(s): " << found.size() << " items found matching \"" << options.pattern << "\""
      << Qt::endl;
  return addPaths(found, -1, out, err);
}

}  // namespace

int runCommandLine(const QStringList& args, QTextStream& out, QTextStream& err) {
  const Options options = parse(args);
  if (!options.error.isEmpty()) {
    err << options.error << Qt::endl;
    return kUsage;
  }
  if (options.command == QStringLiteral("--add-folder")) return addFolder(options, out, err);
  if (options.command == QStringLiteral("--scan")) return scanTree(options, out, err);
  err << kUsageText << Qt::endl;
  return kUsage;
}

int runCommandLine(const QStringList& args) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  return runCommandLine(args, out, err);
}

}  // namespace glim::cataloguing
