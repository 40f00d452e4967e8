// Picture protection rules without windows: the password alphabet, the protected file's name,
// and the part of a password that opens a picture.
#pragma once

#include <QString>
#include <optional>

class QLineEdit;

namespace glim::viewer::protection {

// Letters, digits and codes 192 ... 255: the characters a picture password may hold.
bool isPasswordChar(QChar c);
// Pasted text obeys the same alphabet as typed text: a paste with any other character is refused.
void keepPasswordAlphabet(QLineEdit* box);

// The protected file's path: the path up to and including its last dot, then "pic"
// ("photo.jpeg" -> "photo.pic"). Nothing for a path shorter than 5 characters or a file name
// without a dot, which would leave a bare "pic".
std::optional<QString> protectedPath(const QString& path);

// Whether the extension box names a protected picture ("pic" in any of its three spellings).
bool isProtectedExtension(const QString& extension);

// What the loader hands the control: the first 8 characters of the trimmed password box.
QString loadingPassword(const QString& box);

}  // namespace glim::viewer::protection
