// The viewer's editing commands as one of its command groups.
#pragma once

#include <memory>

#include "viewer/extension.h"

namespace glim::viewer {

std::unique_ptr<ViewerExtension> makeEditingGroup();

}  // namespace glim::viewer
