// The viewer's command groups that live beside the form (file operations, slide show, picture
// protection, editing) join it through this interface: each adds its own buttons and menu
// items when the form is built and answers the few calls the form makes into it. A group that
// is not built adds nothing, so the viewer never shows a command that cannot act.
#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace glim {
class frmDBScreenTest;
}

namespace glim::viewer {

class ViewerExtension {
 public:
  virtual ~ViewerExtension() = default;

  // Adds the group's controls and menu items; runs once while the form is built, before the
  // form's load steps.
  virtual void attach(frmDBScreenTest& viewer) = 0;
  // A hot-key character the viewer itself does not handle; true when this group acted.
  virtual bool hotKey(frmDBScreenTest& viewer, int code) { return false; }
  // A key-down the viewer does not handle (Escape during a slide show); true when handled.
  virtual bool keyDown(frmDBScreenTest& viewer, int key) { return false; }
  // After every move, once the new picture is shown.
  virtual void afterMove(frmDBScreenTest& viewer) {}
  // The picture needs a password (error -22): asks the user; true when one was supplied
  // (the viewer then tries once more).
  virtual bool askPicturePassword(frmDBScreenTest& viewer) { return false; }
  // True for the group that runs slide shows.
  virtual bool runsSlideShows() const { return false; }
  // Starts a slide show: with the stored defaults, or after the options dialog. True when
  // this group runs slide shows.
  virtual bool startSlideShow(frmDBScreenTest& viewer, bool withDefaults) { return false; }
  // Before the current row is left: a group that edits pictures offers to save the edits.
  virtual void leavingPicture(frmDBScreenTest& viewer) {}
  // While the viewer closes, before the current row is written back.
  virtual void unloading(frmDBScreenTest& viewer) {}
};

using ViewerExtensionMaker = std::function<std::unique_ptr<ViewerExtension>()>;

// The command groups every viewer gets, in the order they attach. Each group registers its
// maker in extensions.cpp.
std::vector<std::unique_ptr<ViewerExtension>> makeViewerExtensions();

// Windows the viewer opens but that belong to modules built on top of it: the query builder
// registers how it is shown; while none is registered the command is not offered.
void setQueryBuilderOpener(std::function<void()> open);
const std::function<void()>& queryBuilderOpener();

}  // namespace glim::viewer
