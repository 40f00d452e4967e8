// Registers the picture-set file type (*.qry, "Glimmora Picture Set") with the desktop: a
// shared-mime-info package and a desktop entry that starts the program with the opened file's
// path, both under the user's data folder ($XDG_DATA_HOME, else ~/.local/share).
#pragma once

#include <QString>

namespace glim::association {

inline const QString kMimeType = QStringLiteral("application/x-glimmora-picture-set");
inline const QString kDescription = QStringLiteral("Glimmora Picture Set");

QString dataFolder();
QString mimePackagePath();   // <data>/mime/packages/glimmora-picture-set.xml
QString desktopEntryPath();  // <data>/applications/glimmora.desktop

// The desktop entry's command: the program's path (quoted only when it needs quoting) and %f.
QString execLine(const QString& programPath);

// Writes both files and the default-application entry, then refreshes the desktop's caches
// when the tools are installed. Every failure is ignored: the registration goes on with the
// next file, and start-up with its next step. Returns whether both files were written.
bool registerPictureSetType(const QString& programPath, const QString& programFolder);

}  // namespace glim::association
