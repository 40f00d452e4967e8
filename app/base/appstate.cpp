#include "base/appstate.h"

namespace glim {

namespace {
AppState& storage() {
  static AppState state;
  return state;
}
}  // namespace

AppState& appState() {
  return storage();
}

void resetAppState() {
  storage() = AppState{};
}

}  // namespace glim
