#include "viewer/protection.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "base/textnum.h"

namespace glim::viewer::protection {

bool isPasswordChar(QChar c) {
  const char16_t u = c.unicode();
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
         (u >= 192 && u <= 255);
}

void keepPasswordAlphabet(QLineEdit* box) {
  static const QRegularExpression alphabet(QStringLiteral("[0-9A-Za-z\\x{00C0}-\\x{00FF}]*"));
  box->setValidator(new QRegularExpressionValidator(alphabet, box));
}

std::optional<QString> protectedPath(const QString& path) {
  const QString trimmed = textnum::trim(path);
  if (textnum::length(trimmed) < 5) return std::nullopt;
  const qsizetype dot = trimmed.lastIndexOf(u'.');
  if (dot < 0 || dot < trimmed.lastIndexOf(u'/')) return std::nullopt;
  return trimmed.left(dot + 1) + QStringLiteral("pic");
}

bool isProtectedExtension(const QString& extension) {
  const QString e = textnum::trim(extension);
  return e == QStringLiteral("pic") || e == QStringLiteral("PIC") || e == QStringLiteral("Pic");
}

QString loadingPassword(const QString& box) {
  return textnum::left(textnum::trim(box), 8);
}

}  // namespace glim::viewer::protection
