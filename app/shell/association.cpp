#include "shell/association.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>
#include <QTextStream>
#include <algorithm>

#include "shell/installation.h"

namespace glim::association {

namespace {

const QString kDesktopName = QStringLiteral("glimmora.desktop");

bool writeText(const QString& path, const QString& text) {
  if (!QDir().mkpath(QFileInfo(path).path())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(text.toUtf8());
  return file.commit();
}

QString mimePackage() {
  return QStringLiteral(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
             "  <mime-type type=\"%1\">\n"
             "    <comment>%2</comment>\n"
             "    <sub-class-of type=\"text/plain\"/>\n"
             "    <generic-icon name=\"image-x-generic\"/>\n"
             "    <glob pattern=\"*.qry\"/>\n"
             "  </mime-type>\n"
             "</mime-info>\n")
      .arg(kMimeType, kDescription);
}

QString desktopEntry(const QString& programPath, const QString& programFolder) {
  QString folder = programFolder;
  if (!folder.endsWith(u'/')) folder += u'/';
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=Glimmora\n"
             "GenericName=Picture Catalogue\n"
             "Comment=%1\n"
             "Exec=%2\n"
             "Icon=%3Eye.png\n"
             "MimeType=%4;\n"
             "Terminal=false\n"
             "Categories=Graphics;Viewer;\n")
      .arg(kDescription, execLine(programPath), folder, kMimeType);
}

// Makes the program the default for the type in the user's mimeapps.list beside the entry,
// keeping whatever else the file holds.
bool writeDefaultApplication() {
  const QString path = dataFolder() + QStringLiteral("/applications/mimeapps.list");
  QStringList lines;
  QFile in(path);
  if (in.open(QIODevice::ReadOnly | QIODevice::Text))
    lines = QString::fromUtf8(in.readAll()).split(u'\n');
  in.close();
  while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  const QString entry = kMimeType + u'=' + kDesktopName;
  const QString header = QStringLiteral("[Default Applications]");
  lines.removeIf([](const QString& l) { return l.startsWith(kMimeType + u'='); });
  const qsizetype at = lines.indexOf(header);
  if (at < 0)
    lines << header << entry;
  else
    lines.insert(at + 1, entry);
  return writeText(path, lines.join(u'\n') + u'\n');
}

void runIfPresent(const QString& tool, const QStringList& args) {
  const QString program = QStandardPaths::findExecutable(tool);
  if (program.isEmpty()) return;
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, args);
  if (process.waitForStarted()) process.waitForFinished(20000);
}

}  // namespace

QString dataFolder() {
  return installation::userDataFolder();
}

QString mimePackagePath() {
  return dataFolder() + QStringLiteral("/mime/packages/glimmora-picture-set.xml");
}

QString desktopEntryPath() {
  return dataFolder() + QStringLiteral("/applications/") + kDesktopName;
}

QString execLine(const QString& programPath) {
  // Desktop-entry quoting: a path with blanks or reserved characters goes in double quotes,
  // with ", `, $ and \ escaped inside them.
  static const QString reserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
  const bool needsQuotes = std::any_of(programPath.begin(), programPath.end(),
                                       [](QChar c) { return reserved.contains(c); });
  QString program = programPath;
  if (needsQuotes) {
    QString quoted;
    for (QChar c : programPath) {
      if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
      quoted += c;
    }
    // The desktop file itself escapes backslashes once more.
    program = u'"' + quoted.replace(u'\\', QStringLiteral("\\\\")) + u'"';
  }
  return program + QStringLiteral(" %f");
}

bool registerPictureSetType(const QString& programPath, const QString& programFolder) {
  const bool mime = writeText(mimePackagePath(), mimePackage());
  const bool desktop = writeText(desktopEntryPath(), desktopEntry(programPath, programFolder));
  if (desktop) writeDefaultApplication();
  if (mime) runIfPresent(QStringLiteral("update-mime-database"), {dataFolder() + "/mime"});
  if (desktop)
    runIfPresent(QStringLiteral("update-desktop-database"), {dataFolder() + "/applications"});
  return mime && desktop;
}

}  // namespace glim::association
