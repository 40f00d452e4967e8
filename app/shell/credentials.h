// The credential store: the login flag "LOG" and the stored user name "UN" and password "PW",
// kept in the settings store under an application name of their own. The password is kept
// only as a salted hash of its trimmed, lower-cased text, so the store never holds it.
#pragma once

#include <QString>

namespace glim::credentials {

// Application name, and section name, of the store.
inline const QString kCredentialKey = QStringLiteral("GlimmoraLogin");
inline const QString kNone = QStringLiteral("None");

inline constexpr int kMinPasswordLength = 8;
inline constexpr int kMinUserNameLength = 3;

// "LOG", default False. A missing or unreadable store reads as the lock off.
bool useLogin();
bool writeLoginFlag(bool on);

// Reads "UN" and "PW" into AppState's StoredUserName and StoredPassword (the hash) and sets
// its CredentialKey. A store met for the first time gets "None" for both.
void loadCredentials();

// Writes the trimmed user name and the hash of the trimmed, lower-cased password. False when
// the store cannot be written or the hash cannot be made; nothing is then changed.
bool storeCredentials(const QString& userName, const QString& password);

// The salted hash of a password as the store keeps it; empty when it cannot be made.
QString hashPassword(const QString& password);
// True when the typed password, trimmed and lower-cased, matches a stored hash. A stored
// "None" (or anything that is not a hash) matches nothing.
bool passwordMatches(const QString& storedHash, const QString& typed);
// Case and surrounding blanks are ignored on both sides.
bool userNameMatches(const QString& stored, const QString& typed);

// True when a user name and a password hash are stored, so a login can succeed.
bool haveValidCredentials();

}  // namespace glim::credentials
