// The viewer: shows a picture set one picture at a time. The set is a recordset over tbl1 (the
// configured record source, or the query builder's result) bound to the data control dtaTest;
// a row of bound boxes mirrors the current picture's row, and Photo1 shows its file. The
// viewer pages with the position bar, menus and hot keys, records a picture's measurements
// the first time it shows it, flags missing and damaged files, zooms, switches to full screen,
// and keeps ratings and themes.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <memory>
#include <vector>

#include "catalogue/datacontrol.h"
#include "viewer/armedbuttons.h"
#include "viewer/extension.h"
#include "viewer/layout.h"
#include "viewer/navigation.h"
#include "viewer/photo.h"
#include "viewer/ratings.h"

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QScrollBar;
class QTabWidget;

namespace glim {

class frmDBScreenTest : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the form, then runs its initialisation and load steps (the form shows itself).
  frmDBScreenTest();
  ~frmDBScreenTest() override;

  // ---- Public operations used by other windows and by the viewer's command groups.
  // Joins a command group to an open viewer (the form's own groups join while it is built).
  void addExtension(std::unique_ptr<viewer::ViewerExtension> extension);
  // Starts a slide show with the stored defaults (the main window's slide-show commands).
  void StartShowDefaults_Click();
  bool slideShowRunning() const { return Timer1.isActive(); }
  // Shows the current record's picture (run after every move).
  void ShowPic();
  // Loads a picture into Photo1; false when it failed (the row then records the error).
  bool SetPic(const QString& path);
  // Copies Photo1's measurements into the row; reasons "ShowPic", "Validate", "Save",
  // "Unload".
  void UpdatePictureInfo(const QString& reason);
  // The information labels and caption (only while the information frames are shown).
  void refreshInfoLabels();
  void CenterPicture();
  void PhotoSize();
  // Places the control for the picture it shows now, as a move would: the picture at its own
  // pixel size, centred when it fits the area and cut to the area when not; a stock picture
  // at the size it is shown with.
  void placeShownPicture();
  void LayoutViewer();
  void ZoomPicture(double factor);
  void Unzoom();
  void FScreen_Click();
  bool isFullScreen() const { return fullScreen_; }
  // Moves the position bar as the navigation commands do.
  void navigate(viewer::NavCommand command);
  // Focus to the first rating box when it is visible, else to the form.
  void focusFirstRating();
  // Writes the bound boxes into the current row.
  bool updateRecord();
  // True when another catalogue row than the current one names `path`: a file operation must
  // not put the current picture there (the row could not follow, and that picture would go).
  bool namesAnotherRow(const QString& path);
  // True while Photo1 shows a stock picture in place of the row's missing or damaged file.
  bool showsStandIn() const;
  // Counts the colours of a picture shown for the first time into the row, if that count is
  // still to be made (it is made once the picture is on screen).
  void finishPendingMeasures();

  // ---- Controls (named as the rest of the program knows them).
  catalogue::DataControl& dtaTest() { return dtaTest_; }
  viewer::PhotoDisplay* Photo1() const { return Photo1_.get(); }
  viewer::PhotoDisplay* Photo2() const { return Photo2_.get(); }
  QLineEdit* txtImagePath() const { return txtImagePath_; }
  QLineEdit* txtExtension() const { return txtExtension_; }
  QLineEdit* txtStatus() const { return txtStatus_; }
  QCheckBox* chkNewFile() const { return chkNewFile_; }
  QLineEdit* txtFileErrorNumber() const { return txtFileErrorNumber_; }
  QLineEdit* txtWidth() const { return txtWidth_; }
  QLineEdit* txtHeight() const { return txtHeight_; }
  QLineEdit* txtRatio() const { return txtRatio_; }
  QLineEdit* txtBits() const { return txtBits_; }
  QLineEdit* txtFileSize() const { return txtFileSize_; }
  QLineEdit* txtColors() const { return txtColors_; }
  QCheckBox* chkBannerSize() const { return chkBannerSize_; }
  QLineEdit* txtFileLastViewedDate() const { return txtFileLastViewedDate_; }
  QLineEdit* txtDeleteStatus() const { return txtDeleteStatus_; }
  QLineEdit* txtIDNumber() const { return txtIDNumber_; }
  QCheckBox* chkSafeguard() const { return chkSafeguard_; }
  QLineEdit* txtTheme(int slot) const { return txtTheme_.at(size_t(slot)); }
  QLineEdit* txtRating(int i) const { return txtRating_.at(size_t(i)); }
  QLineEdit* txtOverallRating() const { return txtOverallRating_; }
  QScrollBar* HScroll1(int i) const { return HScroll1_.at(size_t(i)); }
  QScrollBar* HScroll2() const { return HScroll2_; }
  QLabel* lblRating(int i) const { return lblRating_.at(size_t(i)); }
  QCheckBox* chkAltered() const { return chkAltered_; }
  QLineEdit* txtPicPassword() const { return txtPicPassword_; }
  QScrollBar* HScrollPictureMove() const { return HScrollPictureMove_; }
  QTabWidget* SSTab1() const { return SSTab1_; }
  QPushButton* Command2(int i) const { return Command2_.at(size_t(i)); }
  QGroupBox* fraGeneralPicRatings() const { return fraGeneralPicRatings_; }
  QGroupBox* fraThemes() const { return fraThemes_; }
  QGroupBox* fraPicSecurity() const { return fraPicSecurity_; }
  QGroupBox* fraPictureOptions() const { return fraPictureOptions_; }
  QGroupBox* fraPicInfo() const { return fraPicInfo_; }
  QLabel* lblFileNameNoPath() const { return lblFileNameNoPath_; }
  QLabel* lblFileFormat() const { return lblFileFormat_; }
  QLabel* lblWidth() const { return lblWidth_; }
  QLabel* lblHeight() const { return lblHeight_; }
  QLabel* lblFileSize() const { return lblFileSize_; }
  QFrame* ShapeBackground() const { return ShapeBackground_; }
  QTimer& slideTimer() { return Timer1; }
  viewer::ArmedButtons& armedButtons() { return armed_; }

  // Menus and menu items.
  QMenu* menuFile() const { return File_; }
  QMenu* menuView() const { return View_; }
  QMenu* menuOptions() const { return mnuOptions_; }
  QMenu* menuSlideShow() const { return SlideShow_; }
  QMenu* menuToolbar() const { return Toolbar_; }
  QMenu* menuHelp() const { return Help_; }
  QMenu* RClickMenu() const { return RClickMenu_; }
  QAction* FScreen() const { return FScreen_; }
  QAction* mnuToggleImageInformation() const { return mnuToggleImageInformation_; }
  QAction* ChangeQuery() const { return ChangeQuery_; }
  QAction* zoomAction(int index) const { return zoomActions_.at(size_t(index)); }

  // ---- Form-level state.
  int LastPosition = 0;
  bool Zoomed = false;
  bool LoadFailed = false;
  bool Selecting = false;
  bool FreshLoad = false;
  bool InHotKey = false;
  int ScreenHeightPixels = 0;
  int CurrentThemeButton() const { return themes_.current(); }
  const viewer::NormalViewState& savedNormalView() const { return savedNormal_; }

  // ---- Handlers.
  // The hot keys; true when the key was used (it then goes no further).
  bool Form_KeyPress(int keyAscii);
  bool Form_KeyDown(int keyCode);
  bool hotkeys1(int keyAscii);
  void HScrollPictureMove_Change();
  void SSTab1_Click();
  void Command2_Click(int index);
  void highlightMainTheme();
  void mnuToggleImageInformation_Click();
  void mnuFilesInSet_Click();
  void mnuRefreshImage_Click();
  void FileCloseWindow_Click();
  void FileCloseProgram_Click();
  void ChangeQuery_Click();
  void Photo1_MouseDown(Qt::MouseButton button, QPoint at);
  void Photo1_MouseMove(Qt::MouseButtons buttons, QPoint at);
  void Photo1_MouseUp(Qt::MouseButton button, QPoint at);
  void SysInfo1_DisplayChanged();
  void dtaTest_Validate(catalogue::DataAction action, bool* save);
  // The question a move asks about unsaved edits, asked while the user is still there.
  void offerToSaveEdits();
  void dtaTest_Reposition();

  // Opens QuerySQL with the two filters as the picture set; falls back to the whole table.
  void OpenQueryResult();
  // Sizes the position bar to the current set.
  void sizePositionBar();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void buildControls();
  void buildLeftPanel(QWidget* panel);
  void buildRecordFields(QWidget* host);
  void buildRatings();
  void buildThemes();
  void buildMenus();
  void bindControls();
  void orderContextMenu();
  void fitPanelButtons();
  void connectHandlers();
  void Form_Initialize();
  void Form_Load();
  void Form_Unload();
  void Form_Resize();
  void updateFormStatus(bool loaded);
  void openConfiguredSource();
  void reportCatalogueDamage();
  void fallBackToWholeTable();
  void startSlideShowOnOpen();
  void showStockPicture(const QString& fileName, int width, int height);
  // Tells Photo1 which pictures come next: the neighbours of the current row, the way of the
  // last move first, and the first row from the last (a repeating slide show starts over).
  void readAheadNeighbours();
  void previewBeforeLoad(const QString& path, bool sizeFromHeader);
  QString pathAt(int position) const;
  void clearPicture();
  bool isUnreadableError(int error) const;
  void applyPalette();
  void setThemeButtonRed(int index, bool red);
  void syncThemeButtons();
  void moveThemeButtonsTo(int tab);
  void ratingTextChanged(QLineEdit* box, QScrollBar* bar);
  void ratingLeft(QLineEdit* box);
  void ratingBarChanged(QLineEdit* box, QScrollBar* bar);
  void closeViewer();
  void leaveFullScreenForClose();
  bool isHotKeyFocus() const;
  bool filterRatingKey(QObject* box, QEvent* event);
  void relayoutForNewSize();
  bool isRatingBox(const QObject* object) const;
  void setGeometryOf(QWidget* widget, const viewer::Geometry& geometry);
  viewer::PictureArea area() const { return viewer::areaFromState(); }
  qint16 storedSize(QLineEdit* box) const;
  void moveRecordFor(const viewer::RecordMove& move);

  catalogue::DataControl dtaTest_;
  std::unique_ptr<viewer::PhotoDisplay> Photo1_;
  std::unique_ptr<viewer::PhotoDisplay> Photo2_;
  QString photoError_;
  std::vector<std::unique_ptr<viewer::ViewerExtension>> extensions_;
  viewer::ArmedButtons armed_;
  viewer::ThemeHighlight themes_;
  viewer::NormalViewState savedNormal_;
  QSize stockSize_;  // the size the stock picture shown now was given
  QTimer Timer1;

  QWidget* pictureHost_ = nullptr;
  QScrollArea* leftPanel_ = nullptr;
  QWidget* recordFields_ = nullptr;
  QFrame* ShapeBackground_ = nullptr;
  QScrollBar* HScrollPictureMove_ = nullptr;
  QTabWidget* SSTab1_ = nullptr;
  std::array<QFrame*, 8> fra1_{};
  QGroupBox* fraGeneralPicRatings_ = nullptr;
  QGroupBox* fraThemes_ = nullptr;
  QGroupBox* fraPicSecurity_ = nullptr;
  QGroupBox* fraPictureOptions_ = nullptr;
  QGroupBox* fraPicInfo_ = nullptr;

  QLineEdit* txtImagePath_ = nullptr;
  QLineEdit* txtExtension_ = nullptr;
  QLineEdit* txtStatus_ = nullptr;
  QCheckBox* chkNewFile_ = nullptr;
  QLineEdit* txtFileErrorNumber_ = nullptr;
  QLineEdit* txtWidth_ = nullptr;
  QLineEdit* txtHeight_ = nullptr;
  QLineEdit* txtRatio_ = nullptr;
  QLineEdit* txtBits_ = nullptr;
  QLineEdit* txtFileSize_ = nullptr;
  QLineEdit* txtColors_ = nullptr;
  QCheckBox* chkBannerSize_ = nullptr;
  QLineEdit* txtFileLastViewedDate_ = nullptr;
  QLineEdit* txtDeleteStatus_ = nullptr;
  QLineEdit* txtIDNumber_ = nullptr;
  QCheckBox* chkSafeguard_ = nullptr;
  std::array<QLineEdit*, 8> txtTheme_{};
  std::array<QLineEdit*, 10> txtRating_{};
  std::array<QScrollBar*, 10> HScroll1_{};
  std::array<QLabel*, 10> lblRating_{};
  QLineEdit* txtOverallRating_ = nullptr;
  QScrollBar* HScroll2_ = nullptr;
  QCheckBox* chkAltered_ = nullptr;
  QLineEdit* txtPicPassword_ = nullptr;
  std::array<QPushButton*, 16> Command2_{};
  QLabel* lblFileNameNoPath_ = nullptr;
  QLabel* lblFileFormat_ = nullptr;
  QLabel* lblWidth_ = nullptr;
  QLabel* lblHeight_ = nullptr;
  QLabel* lblFileSize_ = nullptr;

  QMenu* File_ = nullptr;
  QMenu* View_ = nullptr;
  QMenu* mnuOptions_ = nullptr;
  QMenu* SlideShow_ = nullptr;
  QMenu* Toolbar_ = nullptr;
  QMenu* Help_ = nullptr;
  QMenu* RClickMenu_ = nullptr;
  QAction* FScreen_ = nullptr;
  QAction* ExitProg_ = nullptr;
  QAction* ChangeQuery_ = nullptr;
  QAction* mnuToggleImageInformation_ = nullptr;
  std::array<QAction*, 12> zoomActions_{};

  bool fullScreen_ = false;
  bool loading_ = true;
  bool suppressShow_ = false;
  // The colour count of a first showing, made after the picture is painted, for this row.
  bool coloursPending_ = false;
  qint64 coloursRow_ = 0;
  int readAheadMiB_ = 512;  // the setting ReadAheadMiB; 0 turns reading ahead off
  int lastStep_ = 1;        // the direction of the last move, read ahead first
  bool closing_ = false;
  bool damageReported_ = false;
  bool barFromBox_ = false;
  QSize laidOutClientSize_;
  QRect normalWindowGeometry_;
};

}  // namespace glim
