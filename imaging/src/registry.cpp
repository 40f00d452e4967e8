#include "registry.h"

#include <dlfcn.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

#include "rastrel3.h"

namespace rastrel::impl {

namespace {

QString quoted(const QString& text) {
  QString s = text;
  s.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
  return u'"' + s + u'"';
}

// Reads a quoted text starting at pos (on the opening quote); returns the position after the
// closing quote, or -1 when the text is not closed.
int unquote(const QString& line, int pos, QString* out) {
  out->clear();
  for (int i = pos + 1; i < line.size(); ++i) {
    const QChar c = line.at(i);
    if (c == u'\\' && i + 1 < line.size()) {
      *out += line.at(++i);
    } else if (c == u'"') {
      return i + 1;
    } else {
      *out += c;
    }
  }
  return -1;
}

struct ClassEntry {
  QString className;
  Guid clsid;
  QString progId;
  QString description;
};

const ClassEntry kPages[] = {
    {QStringLiteral("GenProps"), CLSID_GenProps, QStringLiteral("GenProps.GenProps.1"),
     QStringLiteral("GenProps Class")},
    {QStringLiteral("MiscPpg"), CLSID_MiscPpg, QStringLiteral("MiscPpg.MiscPpg.1"),
     QStringLiteral("MiscPpg Class")},
    {QStringLiteral("PICViewPpg"), CLSID_PICViewPpg, QStringLiteral("PICViewPpg.PICViewPpg.1"),
     QStringLiteral("PICViewPpg Class")},
    {QStringLiteral("SavePpg"), CLSID_SavePpg, QStringLiteral("SavePpg.SavePpg.1"),
     QStringLiteral("SavePpg Class")},
    {QStringLiteral("ViewPpg"), CLSID_ViewPpg, QStringLiteral("ViewPpg.ViewPpg.1"),
     QStringLiteral("ViewPpg Class")},
    {QStringLiteral("DrawPpg"), CLSID_DrawPpg, QStringLiteral("DrawPpg.DrawPpg.1"),
     QStringLiteral("DrawPpg Class")},
};

// The file is the user's classes root: keys start at "CLSID\\{...}", ProgIDs and "TypeLib".
const QString kClasses;

// The in-process server entries every class has: name, ProgID, server and threading model.
void addServerClass(RegistryKeys& keys, const QString& progId, const QString& versionIndependent,
                    const Guid& clsid, const QString& description, const QString& library) {
  const QString clsidKey = kClasses + QStringLiteral("CLSID\\") + clsid.toString();
  keys[kClasses + progId][QString()] = description;
  keys[kClasses + progId + QStringLiteral("\\CLSID")][QString()] = clsid.toString();
  keys[clsidKey][QString()] = description;
  keys[clsidKey + QStringLiteral("\\ProgID")][QString()] = progId;
  keys[clsidKey + QStringLiteral("\\InprocServer32")][QString()] = library;
  keys[clsidKey + QStringLiteral("\\InprocServer32")][QStringLiteral("ThreadingModel")] =
      QStringLiteral("Apartment");
  if (!versionIndependent.isEmpty()) {
    keys[kClasses + versionIndependent][QString()] = description;
    keys[kClasses + versionIndependent + QStringLiteral("\\CLSID")][QString()] = clsid.toString();
    keys[kClasses + versionIndependent + QStringLiteral("\\CurVer")][QString()] = progId;
    keys[clsidKey + QStringLiteral("\\VersionIndependentProgID")][QString()] = versionIndependent;
  }
}

}  // namespace

QString ClassRegistry::path() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + u'/' + kClassRegistryFile;
}

bool ClassRegistry::load() {
  keys_.clear();
  QFile file(path());
  if (!file.exists()) return true;
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
  QTextStream in(&file);
  QString key;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      key = line.mid(1, line.size() - 2);
      keys_[key];
      continue;
    }
    if (key.isEmpty() || line.isEmpty() || line.startsWith(u';')) continue;
    QString name, value;
    int pos = 0;
    if (line.startsWith(u'@')) {
      pos = 1;
    } else if (line.startsWith(u'"')) {
      pos = unquote(line, 0, &name);
      if (pos < 0) continue;
    } else {
      continue;
    }
    if (pos >= line.size() || line.at(pos) != u'=' || pos + 1 >= line.size() ||
        line.at(pos + 1) != u'"' || unquote(line, pos + 1, &value) < 0)
      continue;
    keys_[key][name] = value;
  }
  return true;
}

bool ClassRegistry::save() const {
  QDir().mkpath(QFileInfo(path()).path());
  QSaveFile file(path());
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  out << "; Per-user class registry\n";
  for (auto it = keys_.constBegin(); it != keys_.constEnd(); ++it) {
    out << "\n[" << it.key() << "]\n";
    for (auto v = it->constBegin(); v != it->constEnd(); ++v)
      out << (v.key().isEmpty() ? QStringLiteral("@") : quoted(v.key())) << '=' << quoted(*v)
          << '\n';
  }
  out.flush();
  return file.commit();
}

void ClassRegistry::removeTree(const QString& key) {
  const QString below = key + u'\\';
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it.key() == key || it.key().startsWith(below))
      it = keys_.erase(it);
    else
      ++it;
  }
}

RegistryKeys registrationEntries(const QString& library) {
  RegistryKeys keys;
  addServerClass(keys, kControlProgId, kControlVersionIndependentProgId, CLSID_Rastrel,
                 QStringLiteral("Rastrel Class"), library);
  const QString control = kClasses + QStringLiteral("CLSID\\") + CLSID_Rastrel.toString();
  keys[control + QStringLiteral("\\Control")][QString()] = QString();
  keys[control + QStringLiteral("\\Programmable")][QString()] = QString();
  keys[control + QStringLiteral("\\Insertable")][QString()] = QString();
  keys[control + QStringLiteral("\\ToolboxBitmap32")][QString()] =
      library + QStringLiteral(", 201");
  keys[control + QStringLiteral("\\MiscStatus")][QString()] = QStringLiteral("0");
  keys[control + QStringLiteral("\\MiscStatus\\1")][QString()] = QStringLiteral("197009");
  keys[control + QStringLiteral("\\TypeLib")][QString()] = LIBID_RASTREL3Lib.toString();
  keys[control + QStringLiteral("\\Version")][QString()] = QStringLiteral("1.0");
  keys[control + QStringLiteral("\\Verb\\0")][QString()] = QStringLiteral("&Properties,0,2");

  const QString typeLib = kClasses + QStringLiteral("TypeLib\\") + LIBID_RASTREL3Lib.toString() +
                          QStringLiteral("\\1.0");
  keys[typeLib][QString()] = QStringLiteral("RASTREL3Lib");
  keys[typeLib + QStringLiteral("\\0\\linux")][QString()] = library;
  keys[typeLib + QStringLiteral("\\FLAGS")][QString()] = QStringLiteral("0");
  keys[typeLib + QStringLiteral("\\HELPDIR")][QString()] = QFileInfo(library).path();

  for (const ClassEntry& page : kPages)
    addServerClass(keys, page.progId, QString(), page.clsid, page.description, library);
  return keys;
}

QStringList registrationRoots() {
  QStringList roots = {kClasses + kControlProgId, kClasses + kControlVersionIndependentProgId,
                       kClasses + QStringLiteral("CLSID\\") + CLSID_Rastrel.toString(),
                       kClasses + QStringLiteral("TypeLib\\") + LIBID_RASTREL3Lib.toString()};
  for (const ClassEntry& page : kPages) {
    roots << kClasses + page.progId << kClasses + QStringLiteral("CLSID\\") + page.clsid.toString();
  }
  return roots;
}

QString libraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&libraryPath), &info) && info.dli_fname)
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
  return QStringLiteral("librastrel3.so");
}

}  // namespace rastrel::impl
