// The per-user settings store: (application, section, key) -> text, kept as one INI file per
// application name in the user's configuration folder. Values are kept exactly as written.
#pragma once

#include <QString>

namespace glim::settings {

// Application name of the program's own settings.
inline const QString kApp = QStringLiteral("Glimmora");
inline const QString kSettings = QStringLiteral("Settings");
inline const QString kRatings = QStringLiteral("Ratings");
inline const QString kClassifications = QStringLiteral("Classifications");

// $XDG_CONFIG_HOME/glimmora (else ~/.config/glimmora), read afresh on every call so that a test
// can point it at a temporary folder.
QString folder();
QString fileFor(const QString& app);

// Why an application's store cannot be read: it exists (or its folder cannot be searched)
// but cannot be opened. Empty when it can be read or does not exist yet. Such a store is
// never written: set() and remove() refuse, so the user's settings are not replaced.
QString unreadableReason(const QString& app);

// Makes the store readable and writable by its owner only, creating it so when it does not
// exist yet (the credential store). Later writes keep the mode.
bool restrictToOwner(const QString& app);

// A missing key yields the default the caller passes.
QString get(const QString& app, const QString& section, const QString& key,
            const QString& defaultValue = QString());
// Creates or overwrites the key; false when the store cannot be written.
bool set(const QString& app, const QString& section, const QString& key, const QString& value);
bool contains(const QString& app, const QString& section, const QString& key);
bool remove(const QString& app, const QString& section, const QString& key);

// Shorthands for the program's own application name.
inline QString read(const QString& section, const QString& key,
                    const QString& defaultValue = QString()) {
  return get(kApp, section, key, defaultValue);
}
inline bool write(const QString& section, const QString& key, const QString& value) {
  return set(kApp, section, key, value);
}

}  // namespace glim::settings
