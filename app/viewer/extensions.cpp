#include "viewer/extension.h"

#include "viewer/editinggroup.h"
#include "viewer/fileops_group.h"
#include "viewer/protection_group.h"
#include "viewer/slideshow_group.h"

namespace glim::viewer {

namespace {
std::function<void()>& openerSlot() {
  static std::function<void()> open;
  return open;
}
}  // namespace

std::vector<std::unique_ptr<ViewerExtension>> makeViewerExtensions() {
  // Each command group of the viewer adds its maker here as it is built:
  // list.push_back(std::make_unique<...>());
  std::vector<std::unique_ptr<ViewerExtension>> list;
  list.push_back(std::make_unique<FileOperations>());
  list.push_back(std::make_unique<SlideShowGroup>());
  list.push_back(std::make_unique<ProtectionGroup>());
  list.push_back(makeEditingGroup());
  return list;
}

void setQueryBuilderOpener(std::function<void()> open) {
  openerSlot() = std::move(open);
}
const std::function<void()>& queryBuilderOpener() {
  return openerSlot();
}

}  // namespace glim::viewer
