#include "base/typedkey.h"

#include <QKeyEvent>

namespace glim {

std::optional<QChar> typedCharacter(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) return std::nullopt;
  const QString text = event.text();
  if (text.isEmpty() || !text.at(0).isPrint()) return std::nullopt;
  return text.at(0);
}

}  // namespace glim
