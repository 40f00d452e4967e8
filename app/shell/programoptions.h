// The program's own command-line conventions, answered before any window, folder or catalogue
// is touched: --help, --version and unknown options. Anything else starts the program: a
// picture-set file's path (the whole argument text), or a windowless command.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QTextStream;

namespace glim::programoptions {

inline constexpr int kUsageExit = 2;

enum class Request {
  Start,       // no option: the windows, with a picture-set file when the text names one
  Windowless,  // --add-folder, --scan or --print-set
  Help,
  Version,
  Unknown,  // an option of no meaning here
};

// `arguments` are those after the program's name. Only the first can be an option: a
// picture-set path with blanks arrives in pieces, and a later piece may begin with "-".
Request classify(const QStringList& arguments);

QString helpText();
QString versionText();

// Writes the answer to --help and --version on `out`, to an unknown option on `err`, and
// returns the exit code; nothing when the program is to start.
std::optional<int> answer(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The same on standard output and standard error.
std::optional<int> answer(const QStringList& arguments);

}  // namespace glim::programoptions
