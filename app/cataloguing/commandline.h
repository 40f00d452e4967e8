// Cataloguing without windows, for scripts:
//   glimmora --add-folder DIR [--types jpg,gif,png,pic] [--theme N]
//   glimmora --scan ROOT [--pattern '*.jpg']
// Both use the settings and catalogue of a normal start and print the counts that the
// screens show.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace glim::cataloguing {

// Runs the command in `args` (the option first). Exit code 0 on success, 1 when the catalogue
// could not be opened or written, 2 for a command line it does not understand.
int runCommandLine(const QStringList& args, QTextStream& out, QTextStream& err);
// The same, writing to the process's standard output and error.
int runCommandLine(const QStringList& args);

}  // namespace glim::cataloguing
