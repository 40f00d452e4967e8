// The viewer's editing commands: the "Image" menu with one-level undo, save as is (menu,
// context menu and hot key s) and save as (hot key a and "Con&vert to File Format").
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "editing/editcommands.h"
#include "editing/edithost.h"
#include "editing/frmColorDepth.h"
#include "editing/frmSavePic.h"
#include "editing/previewdialog.h"
#include "rastrel/rastrel.h"
#include "viewer/editinggroup.h"
#include "viewer/frmDBScreenTest.h"

namespace glim::viewer {

namespace {

RastrelControl* controlOf(PhotoDisplay* photo) {
  return photo ? qobject_cast<RastrelControl*>(photo->widget()) : nullptr;
}

}  // namespace

class EditingGroup : public ViewerExtension, public EditHost {
 public:
  void attach(frmDBScreenTest& viewer) override {
    viewer_ = &viewer;
    // The viewer's "Image" menu, which a show in normal view disables with the others.
    QMenu* image = viewer.menuToolbar();
    add(image, QStringLiteral("&Flip"), editing::EditCommand::Flip);
    add(image, QStringLiteral("&Mirror"), editing::EditCommand::Mirror);
    add(image, QStringLiteral("&Negative"), editing::EditCommand::Negative);
    add(image, QStringLiteral("&Sharpen"), editing::EditCommand::Sharpen);
    add(image, QStringLiteral("S&often"), editing::EditCommand::Soften);
    add(image, QStringLiteral("&Auto-contrast"), editing::EditCommand::Autocontrast);
    image->addSeparator();
    add(image, QStringLiteral("Rotate 90\u00b0 &Left"), editing::EditCommand::Rotate90Left);
    add(image, QStringLiteral("Rotate 90\u00b0 &Right"), editing::EditCommand::Rotate90Right);
    add(image, QStringLiteral("Rotate 45\u00b0 L&eft"), editing::EditCommand::Rotate45Left);
    add(image, QStringLiteral("Rotate 45\u00b0 Righ&t"), editing::EditCommand::Rotate45Right);
    add(image, QStringLiteral("&Crop To Selection"), editing::EditCommand::Crop);
    add(image, QStringLiteral("Resi&ze..."), editing::EditCommand::Resize);
    image->addSeparator();
    add(image, QStringLiteral("&Brightness && Contrast..."), editing::EditCommand::Brightness);
    image->addAction(QStringLiteral("Adjust R&GB..."), [this] { mnuAdjustRGB_Click(); });
    image->addAction(QStringLiteral("Gamma..."), [this] { mnuGamma_Click(); });
    image->addAction(QStringLiteral("Color &Depth..."), [this] { mnuColorDepth_Click(); });
    image->addSeparator();
    mnuUndoAlter = image->addAction(editing::kNoUndoCaption, [this] { mnuUndoAlter_Click(); });
    mnuUndoAlter->setEnabled(false);
    image->addSeparator();
    image->addAction(QStringLiteral("Save Image As &Is"), [this] { mnuSaveImageAsIs_Click(); });
    image->addAction(QStringLiteral("Sa&ve Image As..."), [this] { mnuSaveImageAs_Click(); });
    viewer.menuFile()->addAction(QStringLiteral("Con&vert to File Format"),
                                 [this] { mnuSaveImageAs_Click(); });
    viewer.RClickMenu()
        ->addAction(QStringLiteral("Save Image As Is"), [this] { mnuSaveImageAsIs_Click(); })
        ->setObjectName(QStringLiteral("RClickSaveImageAsIs"));
  }

  bool hotKey(frmDBScreenTest&, int code) override {
    if (code == 's')
      mnuSaveImageAsIs_Click();
    else if (code == 'a')
      mnuSaveImageAs_Click();
    else
      return false;
    return true;
  }

  void leavingPicture(frmDBScreenTest&) override {
    leaving_ = true;
    editing::promptSaveChanges(*this);
    leaving_ = false;
  }

  // ---- EditHost ----
  RastrelControl* photo1() override { return controlOf(viewer_->Photo1()); }
  RastrelControl* photo2() override { return controlOf(viewer_->Photo2()); }
  bool altered() const override { return viewer_->chkAltered()->isChecked(); }
  void setAltered(bool a) override { viewer_->chkAltered()->setChecked(a); }
  void setUndoCommand(const QString& caption, bool enabled) override {
    if (!mnuUndoAlter) return;
    mnuUndoAlter->setText(caption);
    mnuUndoAlter->setEnabled(enabled);
  }
  QString recordPath() const override { return viewer_->txtImagePath()->text(); }
  QString recordStatus() const override { return viewer_->txtStatus()->text(); }
  // While the row is being left the data control writes it back itself.
  void refreshPictureInfo() override {
    viewer_->UpdatePictureInfo(leaving_ ? QStringLiteral("Validate") : QStringLiteral("Save"));
  }
  bool showsStandIn() const override { return viewer_->showsStandIn(); }
  bool namesAnotherPicture(const QString& path) override { return viewer_->namesAnotherRow(path); }
  // A picture whose size changed is laid out as a move lays a picture out, never larger than
  // the picture area.
  void sizeControlToPicture() override { viewer_->placeShownPicture(); }
  void centreControl() override { viewer_->CenterPicture(); }
  void layoutAfterUndo() override {
    viewer_->PhotoSize();
    viewer_->CenterPicture();
    viewer_->LayoutViewer();
    viewer_->update();
  }

 private:
  void add(QMenu* menu, const QString& caption, editing::EditCommand command) {
    menu->addAction(caption, [this, command] {
      if (photo1()) editing::runEditCommand(*this, command);
    });
  }
  template <class Dialog>
  void showDialog() {
    if (!photo1()) return;
    Dialog dialog(*this, viewer_);
    dialog.exec();
  }
  void mnuAdjustRGB_Click() { showDialog<frmRGB>(); }
  void mnuGamma_Click() { showDialog<frmGamma>(); }
  void mnuColorDepth_Click() { showDialog<frmColorDepth>(); }
  void mnuSaveImageAs_Click() { showDialog<frmSavePic>(); }
  void mnuSaveImageAsIs_Click() {
    if (photo1()) editing::saveAsIs(*this);
  }
  void mnuUndoAlter_Click() {
    if (photo1()) editing::undoEdit(*this);
  }

  frmDBScreenTest* viewer_ = nullptr;
  QAction* mnuUndoAlter = nullptr;
  bool leaving_ = false;
};

std::unique_ptr<ViewerExtension> makeEditingGroup() {
  return std::make_unique<EditingGroup>();
}

}  // namespace glim::viewer
