// Key filters of text boxes judge the characters a key press types. Editing keys (Backspace,
// Delete, arrows, Tab, Enter) and shortcuts (Ctrl+A, Ctrl+C, Ctrl+V, Ctrl+X, ...) type none, so
// they reach the box and work as in any text box.
#pragma once

#include <QChar>
#include <optional>

class QKeyEvent;

namespace glim {

// The printable character the key press types, if any.
std::optional<QChar> typedCharacter(const QKeyEvent& event);

}  // namespace glim
