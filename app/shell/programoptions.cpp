#include "shell/programoptions.h"

#include <QTextStream>
#include <cstdio>

#include "shell/startup.h"

namespace glim::programoptions {

Request classify(const QStringList& arguments) {
  if (arguments.isEmpty()) return Request::Start;
  const QString& first = arguments.first();
  if (first == QStringLiteral("--help") || first == QStringLiteral("-h")) return Request::Help;
  if (first == QStringLiteral("--version")) return Request::Version;
  if (Startup::isWindowlessOption(first)) return Request::Windowless;
  // A picture-set file is named by its full path, which never begins with "-".
  if (first.startsWith(u'-')) return Request::Unknown;
  return Request::Start;
}

QString helpText() {
  return QStringLiteral(
      "Usage: glimmora [PICTURE-SET-FILE]\n"
      "       glimmora --add-folder DIR [--types jpg,gif,png,pic] [--theme N]\n"
      "       glimmora --scan ROOT [--pattern '*.jpg']\n"
      "       glimmora --print-set PICTURE-SET-FILE\n"
      "       glimmora --help | --version\n"
      "\n"
      "Glimmora keeps a catalogue of your picture files, picks picture sets from it and shows\n"
      "them one by one or as a slide show.\n"
      "\n"
      "Without arguments Glimmora opens its main window. With the full path of a picture-set\n"
      "file (.qry) it opens that set in the query builder.\n"
      "\n"
      "Commands that run without a window, on the catalogue of a normal start:\n"
      "  --add-folder DIR     add the pictures in DIR of the given types (default\n"
      "                       jpg,gif,pic,png), with theme N (1 to 15; 0 none)\n"
      "  --scan ROOT          add every picture under ROOT whose name matches the pattern\n"
      "  --print-set FILE     print the set's statement, its two filters and its pictures\n"
      "  -h, --help           show this help and end\n"
      "  --version            show the version and end\n"
      "\n"
      "Exit status: 0 success; 1 another copy is running, or a command failed; 2 a command\n"
      "line that is not understood; 73 the program folder cannot be used. --print-set ends\n"
      "with 2 when the catalogue cannot be opened and 3 when it refuses the set.\n"
      "\n"
      "See glimmora(1) for the files Glimmora keeps.\n");
}

QString versionText() {
  return QStringLiteral("Glimmora " GLIMMORA_VERSION "\n");
}

std::optional<int> answer(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  switch (classify(arguments)) {
    case Request::Help:
      out << helpText();
      return 0;
    case Request::Version:
      out << versionText();
      return 0;
    case Request::Unknown:
      err << QStringLiteral("glimmora: unknown option '%1'\n").arg(arguments.first())
          << QStringLiteral("Try 'glimmora --help' for more information.\n");
      return kUsageExit;
    case Request::Start:
    case Request::Windowless:
      break;
  }
  return std::nullopt;
}

std::optional<int> answer(const QStringList& arguments) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  return answer(arguments, out, err);
}

}  // namespace glim::programoptions
