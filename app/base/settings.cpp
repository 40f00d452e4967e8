#include "base/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>

namespace glim::settings {

namespace {

// QSettings' own INI format turns values with commas into lists and quotes others; this format
// keeps every value as the exact text written, escaping only backslashes and line breaks.
QString escape(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    if (c == u'\\')
      out += QStringLiteral("\\\\");
    else if (c == u'\n')
      out += QStringLiteral("\\n");
    else if (c == u'\r')
      out += QStringLiteral("\\r");
    else
      out += c;
  }
  return out;
}

QString unescape(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    QChar c = text[i];
    if (c == u'\\' && i + 1 < text.size()) {
      QChar n = text[++i];
      out += n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
    } else {
      out += c;
    }
  }
  return out;
}

bool readText(QIODevice& device, QSettings::SettingsMap& map) {
  QTextStream in(&device);
  in.setEncoding(QStringConverter::Utf8);
  QString section;
  while (!in.atEnd()) {
    const QString line = in.readLine();
    if (line.startsWith(u'[') && line.endsWith(u']')) {
      section = line.mid(1, line.size() - 2);
      continue;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0 || section.isEmpty()) continue;
    map.insert(section + u'/' + line.left(eq), unescape(line.mid(eq + 1)));
  }
  return true;
}

bool writeText(QIODevice& device, const QSettings::SettingsMap& map) {
  QTextStream out(&device);
  out.setEncoding(QStringConverter::Utf8);
  QString section;
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    const qsizetype slash = it.key().indexOf(u'/');
    if (slash <= 0) continue;
    const QString sec = it.key().left(slash);
    if (sec != section) {
      if (!section.isEmpty()) out << '\n';
      section = sec;
      out << '[' << section << "]\n";
    }
    out << it.key().mid(slash + 1) << '=' << escape(it.value().toString()) << '\n';
  }
  return out.status() == QTextStream::Ok;
}

QSettings::Format textFormat() {
  static const QSettings::Format format =
      QSettings::registerFormat(QStringLiteral("ini"), readText, writeText);
  return format;
}

QString path(const QString& section, const QString& key) {
  return section + u'/' + key;
}

}  // namespace

QString folder() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QStringLiteral("/glimmora");
}

QString fileFor(const QString& app) {
  return folder() + u'/' + app + QStringLiteral(".ini");
}

QString unreadableReason(const QString& app) {
  const QByteArray native = QFile::encodeName(fileFor(app));
  struct stat info {};
  if (::stat(native.constData(), &info) != 0)
    return errno == ENOENT || errno == ENOTDIR ? QString()
                                               : QString::fromLocal8Bit(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return QString::fromLocal8Bit(std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) return QStringLiteral("not a plain file");
  const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  ::close(fd);
  return {};
}

bool restrictToOwner(const QString& app) {
  QDir().mkpath(folder());
  const QByteArray native = QFile::encodeName(fileFor(app));
  const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  const bool ok = ::fchmod(fd, 0600) == 0;
  ::close(fd);
  return ok;
}

QString get(const QString& app, const QString& section, const QString& key,
            const QString& defaultValue) {
  QSettings store(fileFor(app), textFormat());
  const QVariant value = store.value(path(section, key));
  return value.isValid() ? value.toString() : defaultValue;
}

bool set(const QString& app, const QString& section, const QString& key, const QString& value) {
  if (!unreadableReason(app).isEmpty()) return false;
  QDir().mkpath(folder());
  QSettings store(fileFor(app), textFormat());
  store.setValue(path(section, key), value);
  store.sync();
  return store.status() == QSettings::NoError;
}

bool contains(const QString& app, const QString& section, const QString& key) {
  QSettings store(fileFor(app), textFormat());
  return store.contains(path(section, key));
}

bool remove(const QString& app, const QString& section, const QString& key) {
  if (!unreadableReason(app).isEmpty()) return false;
  QSettings store(fileFor(app), textFormat());
  store.remove(path(section, key));
  store.sync();
  return store.status() == QSettings::NoError;
}

}  // namespace glim::settings
