// The per-user class registry: a text file of keys and values in the layout of a registry
// export ("[key\path]" lines followed by "@"="default" and "name"="value" lines), kept at
// $XDG_DATA_HOME/classreg/classes.reg. Registration adds this library's keys and keeps every
// other key in the file; unregistration removes exactly the keys it added.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace rastrel::impl {

using RegistryValues = QMap<QString, QString>;  // value name ("" for the default) -> text
using RegistryKeys = QMap<QString, RegistryValues>;

class ClassRegistry {
 public:
  static QString path();
  // Reads the file; a missing file is an empty registry. False when it cannot be read.
  bool load();
  // Writes the file atomically; false when it cannot be written.
  bool save() const;
  RegistryKeys& keys() { return keys_; }

  // Removes the key and every key below it.
  void removeTree(const QString& key);

 private:
  RegistryKeys keys_;
};

// Every key the control library registers, with its values, for the library file at
// `libraryPath`.
RegistryKeys registrationEntries(const QString& libraryPath);
// The top keys whose trees unregistration removes.
QStringList registrationRoots();
// The path of this library as loaded.
QString libraryPath();

}  // namespace rastrel::impl
