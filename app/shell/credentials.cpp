#include "shell/credentials.h"

#include <sodium.h>

#include <QFileInfo>

#include "base/appstate.h"
#include "base/settings.h"
#include "base/textnum.h"

namespace glim::credentials {

namespace {

const QString kUserName = QStringLiteral("UN");
const QString kPassword = QStringLiteral("PW");
const QString kLog = QStringLiteral("LOG");

QString read(const QString& key, const QString& fallback) {
  return settings::get(kCredentialKey, kCredentialKey, key, fallback);
}
bool write(const QString& key, const QString& value) {
  // The store holds the password's hash: no one but its owner may read it.
  return settings::restrictToOwner(kCredentialKey) &&
         settings::set(kCredentialKey, kCredentialKey, key, value);
}

QByteArray normalised(const QString& password) {
  return password.trimmed().toLower().toUtf8();
}

bool sodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

bool isHash(const QString& stored) {
  return stored.startsWith(QStringLiteral(crypto_pwhash_STRPREFIX));
}

}  // namespace

bool useLogin() {
  return textnum::toFlag(read(kLog, QStringLiteral("False")), false);
}

bool writeLoginFlag(bool on) {
  return write(kLog, textnum::flagText(on));
}

void loadCredentials() {
  AppState& state = appState();
  state.CredentialKey = kCredentialKey;
  // A store written before it was kept private is made so now.
  if (QFileInfo::exists(settings::fileFor(kCredentialKey)))
    settings::restrictToOwner(kCredentialKey);
  if (!settings::contains(kCredentialKey, kCredentialKey, kUserName)) write(kUserName, kNone);
  if (!settings::contains(kCredentialKey, kCredentialKey, kPassword)) write(kPassword, kNone);
  state.StoredUserName = read(kUserName, kNone);
  state.StoredPassword = read(kPassword, kNone);
}

QString hashPassword(const QString& password) {
  if (!sodiumReady()) return {};
  const QByteArray text = normalised(password);
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, text.constData(), static_cast<unsigned long long>(text.size()),
                        crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    return {};
  return QString::fromLatin1(out);
}

bool passwordMatches(const QString& storedHash, const QString& typed) {
  if (!sodiumReady() || !isHash(storedHash)) return false;
  const QByteArray hash = storedHash.toLatin1();
  const QByteArray text = normalised(typed);
  return crypto_pwhash_str_verify(hash.constData(), text.constData(),
                                  static_cast<unsigned long long>(text.size())) == 0;
}

bool userNameMatches(const QString& stored, const QString& typed) {
  return stored.trimmed().toLower() == typed.trimmed().toLower();
}

bool storeCredentials(const QString& userName, const QString& password) {
  const QString hash = hashPassword(password);
  if (hash.isEmpty()) return false;
  const QString oldName = read(kUserName, kNone);
  if (!write(kUserName, userName.trimmed())) return false;
  if (!write(kPassword, hash)) {
    write(kUserName, oldName);
    return false;
  }
  return read(kPassword, QString()) == hash;
}

bool haveValidCredentials() {
  const QString name = read(kUserName, kNone).trimmed();
  return textnum::length(name) >= kMinUserNameLength && isHash(read(kPassword, kNone));
}

}  // namespace glim::credentials
