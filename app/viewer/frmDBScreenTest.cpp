// The viewer's controls, menus, initialisation, load and unload.
#include "viewer/frmDBScreenTest.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/forms.h"
#include "base/frmPleaseWait.h"
#include "base/help.h"
#include "base/keys.h"
#include "base/settings.h"
#include "base/textnum.h"
#include "viewer/pictureinfo.h"

namespace glim {

using namespace viewer;

namespace {

constexpr int kPanelWidth = 176;

QLineEdit* makeBox(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption = QString()) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(name));
  return frame;
}

QString indexed(const char* name, int index) {
  return QString::fromLatin1(name) + u'_' + QString::number(index);
}

// Rows of the panel are one line of text high, so that on a 900-line screen every frame down
// to the picture information shows without scrolling.
int panelRowHeight(const QWidget* widget) {
  return widget->fontMetrics().height() + 5;
}

// A box just wide enough for `digits` digits and its frame.
int digitsBoxWidth(const QLineEdit* box, int digits) {
  return box->fontMetrics().horizontalAdvance(QString(digits, u'8')) + 14;
}

// Theme and rating captions are the user's own words: a long one is set in a smaller type,
// down to a floor, so that the whole word shows in the narrow panel.
void fitText(QWidget* widget, const QString& text, int room) {
  QFont font = widget->font();
  double size = QApplication::font().pointSizeF();
  if (size <= 0) return;
  constexpr double kSmallest = 6.5;
  font.setPointSizeF(size);
  while (size > kSmallest && QFontMetrics(font).horizontalAdvance(text) > room) {
    size -= 0.5;
    font.setPointSizeF(size);
  }
  if (font != widget->font()) widget->setFont(font);
}

void fitCaption(QPushButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  const int room =
      button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
  fitText(button, button->text(), room);
}

class RatingLabel : public QLabel {
 public:
  using QLabel::QLabel;
  // Gives up width to the box and bar beside it; the type shrinks instead.
  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
  QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    fitText(this, text(), contentsRect().width());
  }
};

// A rating bar is short: its slider carries the rating it stands at.
class RatingBar : public QScrollBar {
 public:
  RatingBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override {
    QScrollBar::paintEvent(event);
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect slider =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(slider, Qt::AlignCenter, QString::number(value()));
  }
};

class ThemeButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QPushButton::resizeEvent(event);
    fitCaption(this);
  }
};

}  // namespace

frmDBScreenTest::frmDBScreenTest() : QMainWindow(nullptr) {
  setObjectName(QStringLiteral("frmDBScreenTest"));
  setWindowTitle(kViewerCaption);
  Timer1.setObjectName(QStringLiteral("Timer1"));
  Timer1.setInterval(500);
  buildControls();
  buildMenus();
  bindControls();
  extensions_ = makeViewerExtensions();
  for (auto& extension : extensions_) extension->attach(*this);
  orderContextMenu();
  fitPanelButtons();
  connectHandlers();
  Form_Initialize();
  Form_Load();
}

frmDBScreenTest::~frmDBScreenTest() {
  // The viewer may be deleted without a close (program shutdown); it is closed all the same.
  if (appState().ViewerOpen && !closing_) Form_Unload();
  qApp->removeEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Controls

void frmDBScreenTest::buildControls() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("formArea"));
  setCentralWidget(central);

  leftPanel_ = new QScrollArea(central);
  leftPanel_->setObjectName(QStringLiteral("leftPanel"));
  leftPanel_->setWidgetResizable(true);
  leftPanel_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  leftPanel_->setFrameShape(QFrame::NoFrame);
  auto* panel = new QWidget;
  buildLeftPanel(panel);
  for (QGroupBox* frame : panel->findChildren<QGroupBox*>()) {
    if (!frame->layout()) continue;
    frame->layout()->setContentsMargins(4, 2, 4, 4);
    frame->layout()->setSpacing(2);
  }
  leftPanel_->setWidget(panel);
  // The panel keeps to its column: labels give up width before the boxes do, and a tall panel
  // scrolls rather than pushing its right edge under the picture.
  leftPanel_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  panel->setFixedWidth(kPanelWidth - 4 - leftPanel_->verticalScrollBar()->sizeHint().width());

  pictureHost_ = central;
  ShapeBackground_ = new QFrame(central);
  ShapeBackground_->setObjectName(QStringLiteral("ShapeBackground"));
  ShapeBackground_->setFrameShape(QFrame::Box);
  ShapeBackground_->setAutoFillBackground(true);

  Photo1_ = createPhoto(central, QStringLiteral("Photo1"), &photoError_);
  Photo2_ = createPhoto(central, QStringLiteral("Photo2"), &photoError_);
  if (Photo1_) {
    Photo1_->widget()->setObjectName(QStringLiteral("Photo1"));
    Photo1_->setAutoSize(AutoSizeMode::ResizePreserveAspect);
    // The memory the pictures read ahead may hold, in MiB; a value that is not a whole
    // number of zero or more keeps the default.
    const auto limit = textnum::toInt32(
        settings::read(settings::kSettings, QStringLiteral("ReadAheadMiB"), QStringLiteral("512")));
    if (limit && *limit >= 0) readAheadMiB_ = *limit;
    Photo1_->setReadAheadLimit(readAheadMiB_);
  }
  if (Photo2_) {
    Photo2_->widget()->setObjectName(QStringLiteral("Photo2"));
    Photo2_->widget()->hide();
  }

  HScrollPictureMove_ = new QScrollBar(Qt::Horizontal, central);
  HScrollPictureMove_->setObjectName(QStringLiteral("HScrollPictureMove"));
  HScrollPictureMove_->setRange(0, 0);
  HScrollPictureMove_->resize(140, 16);

  recordFields_ = new QWidget(central);
  recordFields_->setObjectName(QStringLiteral("recordFields"));
  buildRecordFields(recordFields_);
  recordFields_->hide();
}

void frmDBScreenTest::buildLeftPanel(QWidget* panel) {
  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(4);

  SSTab1_ = new QTabWidget(panel);
  SSTab1_->setObjectName(QStringLiteral("SSTab1"));
  SSTab1_->setUsesScrollButtons(true);
  for (int t = 0; t < kThemeSlots; ++t) {
    auto* frame = new QFrame;
    frame->setObjectName(indexed("fra1", t + 1));
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(1);
    fra1_[size_t(t) + 1] = frame;
    SSTab1_->addTab(frame, t == 0 ? QStringLiteral("Main") : QString::number(t + 1));
  }
  column->addWidget(SSTab1_);
  buildThemes();

  fraGeneralPicRatings_ = makeFrame(panel, "fraGeneralPicRatings", QStringLiteral("Ratings"));
  column->addWidget(fraGeneralPicRatings_);
  buildRatings();

  fraThemes_ = makeFrame(panel, "fraThemes", QStringLiteral("Themes"));
  auto* themeGrid = new QGridLayout(fraThemes_);
  themeGrid->setSpacing(1);
  for (int slot = 1; slot <= kThemeSlots; ++slot) {
    const QString caption =
        slot == 1 ? QStringLiteral("Main Theme") : QStringLiteral("Theme ") + QString::number(slot);
    txtTheme_[size_t(slot)] = makeBox(fraThemes_, "txtTheme");
    txtTheme_[size_t(slot)]->setObjectName(indexed("txtTheme", slot));
    txtTheme_[size_t(slot)]->setFixedSize(digitsBoxWidth(txtTheme_[size_t(slot)], 2),
                                          panelRowHeight(txtTheme_[size_t(slot)]));
    themeGrid->addWidget(new QLabel(caption, fraThemes_), slot - 1, 0);
    themeGrid->addWidget(txtTheme_[size_t(slot)], slot - 1, 1);
  }
  column->addWidget(fraThemes_);

  fraPicSecurity_ = makeFrame(panel, "fraPicSecurity", QStringLiteral("Picture Security"));
  auto* security = new QVBoxLayout(fraPicSecurity_);
  auto* passwordRow = new QHBoxLayout;
  auto* passwordLabel = new QLabel(QStringLiteral("Password:"), fraPicSecurity_);
  txtPicPassword_ = makeBox(fraPicSecurity_, "txtPicPassword");
  txtPicPassword_->setEchoMode(QLineEdit::Password);
  txtPicPassword_->setMinimumWidth(40);
  passwordLabel->setBuddy(txtPicPassword_);
  passwordRow->addWidget(passwordLabel);
  passwordRow->addWidget(txtPicPassword_, 1);
  security->addLayout(passwordRow);
  column->addWidget(fraPicSecurity_);

  fraPictureOptions_ = makeFrame(panel, "fraPictureOptions", QStringLiteral("Picture Options"));
  auto* options = new QGridLayout(fraPictureOptions_);
  txtDeleteStatus_ = makeBox(fraPictureOptions_, "txtDeleteStatus");
  txtIDNumber_ = makeBox(fraPictureOptions_, "txtIDNumber");
  txtIDNumber_->setReadOnly(true);
  txtDeleteStatus_->setPlaceholderText(QStringLiteral("Delete status"));
  txtIDNumber_->setToolTip(QStringLiteral("ID"));
  chkSafeguard_ = makeCheck(fraPictureOptions_, "chkSafeguard", QStringLiteral("Safeguard?"));
  auto* deleteLabel = new QLabel(QStringLiteral("Delete status"), fraPictureOptions_);
  deleteLabel->setObjectName(QStringLiteral("lblDeleteStatus"));
  auto* idLabel = new QLabel(QStringLiteral("ID"), fraPictureOptions_);
  idLabel->setObjectName(QStringLiteral("lblIDNumber"));
  options->addWidget(deleteLabel, 0, 0);
  options->addWidget(txtDeleteStatus_, 0, 1);
  options->addWidget(idLabel, 1, 0);
  options->addWidget(txtIDNumber_, 1, 1);
  options->addWidget(chkSafeguard_, 2, 0, 1, 2);
  column->addWidget(fraPictureOptions_);

  fraPicInfo_ = makeFrame(panel, "fraPicInfo", QStringLiteral("Picture Information"));
  auto* info = new QGridLayout(fraPicInfo_);
  auto addInfo = [&](int row, const QString& caption, QLabel*& label, const char* name) {
    label = new QLabel(fraPicInfo_);
    label->setObjectName(QString::fromLatin1(name));
    if (caption.isEmpty()) {
      info->addWidget(label, row, 0, 1, 2);
    } else {
      info->addWidget(new QLabel(caption, fraPicInfo_), row, 0);
      info->addWidget(label, row, 1);
    }
  };
  addInfo(0, QString(), lblFileNameNoPath_, "lblFileNameNoPath");
  addInfo(1, QStringLiteral("Format"), lblFileFormat_, "lblFileFormat");
  addInfo(2, QStringLiteral("Width"), lblWidth_, "lblWidth");
  addInfo(3, QStringLiteral("Height"), lblHeight_, "lblHeight");
  addInfo(4, QStringLiteral("Size"), lblFileSize_, "lblFileSize");
  // What the picture is comes before what can be done to it, so that a laptop's screen shows
  // it without scrolling; the command frames follow.
  column->insertWidget(column->indexOf(fraPicSecurity_), fraPicInfo_);
  column->addStretch(1);
}

// The mirrors of the row's other fields: kept for the bindings, not shown.
void frmDBScreenTest::buildRecordFields(QWidget* host) {
  txtImagePath_ = makeBox(host, "txtImagePath");
  txtExtension_ = makeBox(host, "txtExtension");
  txtStatus_ = makeBox(host, "txtStatus");
  chkNewFile_ = makeCheck(host, "chkNewFile");
  txtFileErrorNumber_ = makeBox(host, "txtFileErrorNumber");
  txtWidth_ = makeBox(host, "txtWidth");
  txtHeight_ = makeBox(host, "txtHeight");
  txtRatio_ = makeBox(host, "txtRatio");
  txtBits_ = makeBox(host, "txtBits");
  txtFileSize_ = makeBox(host, "txtFileSize");
  txtColors_ = makeBox(host, "txtColors");
  chkBannerSize_ = makeCheck(host, "chkBannerSize");
  txtFileLastViewedDate_ = makeBox(host, "txtFileLastViewedDate");
  chkAltered_ = makeCheck(host, "chkAltered");
}

void frmDBScreenTest::buildRatings() {
  auto* grid = new QGridLayout(fraGeneralPicRatings_);
  grid->setColumnStretch(0, 1);
  grid->setSpacing(1);
  auto addRow = [&](int row, QLabel* label, QLineEdit* box, QScrollBar* bar) {
    // The box beside each bar shows the bar's value; it is wide enough for its digit.
    box->setFixedWidth(digitsBoxWidth(box, 1));
    box->setFixedHeight(panelRowHeight(box));
    bar->setFixedHeight(panelRowHeight(box) - 2);
    box->setAlignment(Qt::AlignCenter);
    box->setMaxLength(1);
    bar->setRange(0, 5);
    bar->setPageStep(1);
    bar->setMinimumWidth(box->fontMetrics().averageCharWidth() * 7);
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row, 1);
    grid->addWidget(bar, row, 2);
    box->installEventFilter(this);
  };
  for (int i = 1; i <= 9; ++i) {
    lblRating_[size_t(i)] = new RatingLabel(fraGeneralPicRatings_);
    lblRating_[size_t(i)]->setObjectName(indexed("lblRating", i));
    txtRating_[size_t(i)] = makeBox(fraGeneralPicRatings_, "txtRating");
    txtRating_[size_t(i)]->setObjectName(indexed("txtRating", i));
    HScroll1_[size_t(i)] = new RatingBar(fraGeneralPicRatings_);
    HScroll1_[size_t(i)]->setObjectName(indexed("HScroll1", i));
    addRow(i - 1, lblRating_[size_t(i)], txtRating_[size_t(i)], HScroll1_[size_t(i)]);
  }
  txtOverallRating_ = makeBox(fraGeneralPicRatings_, "txtOverallRating");
  HScroll2_ = new RatingBar(fraGeneralPicRatings_);
  HScroll2_->setObjectName(QStringLiteral("HScroll2"));
  addRow(9, new RatingLabel(QStringLiteral("Overall"), fraGeneralPicRatings_), txtOverallRating_,
         HScroll2_);
}

void frmDBScreenTest::buildThemes() {
  for (int i = 0; i <= kThemeCount; ++i) {
    auto* button = new ThemeButton(i == 0 ? QStringLiteral("None") : QString(), this);
    button->setObjectName(indexed("Command2", i));
    button->setAutoFillBackground(true);
    button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    button->setFixedHeight(panelRowHeight(button) + 1);
    Command2_[size_t(i)] = button;
    armed_.add(button, [this, i] { Command2_Click(i); });
  }
  // Button 0 stands for "no theme"; it is never shown, only reset with the others.
  Command2_[0]->hide();
  moveThemeButtonsTo(0);
}

void frmDBScreenTest::buildMenus() {
  auto addItem = [this](QMenu* menu, const char* name, const QString& caption, auto handler) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  File_ = menuBar()->addMenu(QStringLiteral("&File"));
  File_->setObjectName(QStringLiteral("File"));
  ChangeQuery_ = addItem(File_, "ChangeQuery", QStringLiteral("&Change Picture Set"),
                         &frmDBScreenTest::ChangeQuery_Click);
  ChangeQuery_->setVisible(bool(queryBuilderOpener()));
  addItem(File_, "FileCloseWindow", QStringLiteral("&Close This Window"),
          &frmDBScreenTest::FileCloseWindow_Click);
  addItem(File_, "FileCloseProgram", QStringLiteral("E&xit Program"),
          &frmDBScreenTest::FileCloseProgram_Click);

  View_ = menuBar()->addMenu(QStringLiteral("&View"));
  View_->setObjectName(QStringLiteral("View"));
  addItem(View_, "mnuRefreshImage", QStringLiteral("&Refresh Image"),
          &frmDBScreenTest::mnuRefreshImage_Click);
  addItem(View_, "mnuFilesInSet", QStringLiteral("Count Files In Set"),
          &frmDBScreenTest::mnuFilesInSet_Click);
  mnuToggleImageInformation_ =
      addItem(View_, "mnuToggleImageInformation", QStringLiteral("Show Image Information"),
              &frmDBScreenTest::mnuToggleImageInformation_Click);
  mnuToggleImageInformation_->setCheckable(true);
  View_->addSeparator();
  const std::array<std::pair<const char*, NavCommand>, 6> moves = {{
      {"mnuMoveFirst", NavCommand::First},
      {"mnuMoveBackSkip10", NavCommand::Back10},
      {"mnuMovePreviousImage", NavCommand::Previous},
      {"mnuMoveNextImage", NavCommand::Next},
      {"mnuMoveForwardSkip10", NavCommand::Forward10},
      {"mnuMoveLast", NavCommand::Last},
  }};
  const std::array<const char*, 6> moveCaptions = {
      "Move To First Image", "Move Back / Skip 10%",    "Move To Previous Image",
      "Move To Next Image",  "Move Forward / Skip 10%", "Move To Last Image"};
  for (size_t n = 0; n < moves.size(); ++n) {
    QAction* action = View_->addAction(QString::fromLatin1(moveCaptions[n]));
    action->setObjectName(QString::fromLatin1(moves[n].first));
    const NavCommand command = moves[n].second;
    connect(action, &QAction::triggered, this, [this, command] { navigate(command); });
  }
  QMenu* zoom = View_->addMenu(QStringLiteral("&Zoom"));
  zoom->setObjectName(QStringLiteral("mnuZoom"));
  for (size_t n = 0; n < kZoomSteps.size(); ++n) {
    const ZoomStep& step = kZoomSteps[n];
    QAction* action = zoom->addAction(QString::fromLatin1(step.caption));
    action->setObjectName(QString::fromLatin1(step.command));
    const double factor = step.factor;
    if (factor == 1.0)
      connect(action, &QAction::triggered, this, &frmDBScreenTest::Unzoom);
    else
      connect(action, &QAction::triggered, this, [this, factor] { ZoomPicture(factor); });
    zoomActions_[n] = action;
  }

  // Menus whose commands come from the viewer's command groups; shown once they hold any.
  mnuOptions_ = menuBar()->addMenu(QStringLiteral("&Options"));
  mnuOptions_->setObjectName(QStringLiteral("mnuOptions"));
  SlideShow_ = menuBar()->addMenu(QStringLiteral("&Slide Show"));
  SlideShow_->setObjectName(QStringLiteral("SlideShow"));
  Toolbar_ = menuBar()->addMenu(QStringLiteral("&Image"));
  Toolbar_->setObjectName(QStringLiteral("Toolbar"));

  Help_ = menuBar()->addMenu(QStringLiteral("&Help"));
  Help_->setObjectName(QStringLiteral("Help"));
  addItem(Help_, "HelpContents", QStringLiteral("Viewer &Help Contents"),
          [] { help::showTopic(appState().HelpFile, 15); });
  addItem(Help_, "HotKeys", QStringLiteral("&Hot Keys"),
          [] { help::showTopic(appState().HelpFile, 21); });
  addItem(Help_, "mnuTutorial", QStringLiteral("&Glimmora Setup Tutorial"), [this] {
    help::showTopic(appState().HelpFile, 2);
    close();
  });
  addItem(Help_, "mnuEasyHelpCont", QStringLiteral("Glimmora Help Contents"),
          [] { help::showContents(appState().HelpFile); });
  addItem(Help_, "OnlineHelp", QStringLiteral("&Online help and FAQ's"),
          [] { help::showPage(appState().HelpFile, QStringLiteral("online")); });

  RClickMenu_ = new QMenu(this);
  RClickMenu_->setObjectName(QStringLiteral("RClickMenu"));
  FScreen_ = addItem(RClickMenu_, "FScreen", QStringLiteral("Full Screen"),
                     &frmDBScreenTest::FScreen_Click);
  ExitProg_ = addItem(RClickMenu_, "ExitProg", QStringLiteral("E&xit Program"),
                      &frmDBScreenTest::FileCloseProgram_Click);
}

// The panel is narrower than the style's smallest push button: the command groups' buttons
// may shrink down to their captions.
void frmDBScreenTest::fitPanelButtons() {
  for (QPushButton* button : leftPanel_->widget()->findChildren<QPushButton*>()) {
    if (button->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored) continue;
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin);
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 2 * margin +
                            6);
  }
}

// The command groups add their context-menu items as they attach, in their own order: the
// slide-show items lead, the full-screen switch and the exit end the menu.
void frmDBScreenTest::orderContextMenu() {
  const QList<QAction*> items = RClickMenu_->actions();
  QAction* first = items.isEmpty() ? nullptr : items.first();
  for (const char* name : {"PauseSlides", "mnuStopSlideShow"}) {
    for (QAction* item : items) {
      if (item->objectName() != QLatin1String(name) || item == first) continue;
      RClickMenu_->removeAction(item);
      RClickMenu_->insertAction(first, item);
    }
  }
  for (QAction* last : {FScreen_, ExitProg_}) RClickMenu_->removeAction(last);
  RClickMenu_->addSeparator();
  RClickMenu_->addAction(FScreen_);
  RClickMenu_->addAction(ExitProg_);
}

void frmDBScreenTest::bindControls() {
  const std::array<std::pair<QLineEdit*, const char*>, 14> boxes = {{
      {txtImagePath_, "Pathname"},
      {txtExtension_, "Extension"},
      {txtStatus_, "Status"},
      {txtFileErrorNumber_, "FileERROR"},
      {txtWidth_, "Width"},
      {txtHeight_, "Height"},
      {txtRatio_, "WidthHeightRatio"},
      {txtBits_, "Bits"},
      {txtFileSize_, "Filesize"},
      {txtColors_, "Colors"},
      {txtFileLastViewedDate_, "DateLastViewed"},
      {txtDeleteStatus_, "DeleteStatus"},
      {txtIDNumber_, "IDNumber"},
      {txtOverallRating_, "OverallRating"},
  }};
  for (const auto& [box, field] : boxes) dtaTest_.bind(box, QString::fromLatin1(field));
  dtaTest_.bind(chkNewFile_, QStringLiteral("NewFile"));
  dtaTest_.bind(chkBannerSize_, QStringLiteral("BannerSize"));
  dtaTest_.bind(chkSafeguard_, QStringLiteral("SafeguardPicture"));
  for (int slot = 1; slot <= kThemeSlots; ++slot)
    dtaTest_.bind(txtTheme_[size_t(slot)], QStringLiteral("Class") + QString::number(slot));
  for (int i = 1; i <= 9; ++i)
    dtaTest_.bind(txtRating_[size_t(i)], QStringLiteral("UserRating") + QString::number(i));
}

void frmDBScreenTest::connectHandlers() {
  connect(&dtaTest_, &catalogue::DataControl::Validate, this, &frmDBScreenTest::dtaTest_Validate);
  connect(&dtaTest_, &catalogue::DataControl::Reposition, this,
          &frmDBScreenTest::dtaTest_Reposition);
  connect(&dtaTest_, &catalogue::DataControl::DamageFound, this,
          &frmDBScreenTest::reportCatalogueDamage);
  connect(HScrollPictureMove_, &QScrollBar::valueChanged, this,
          &frmDBScreenTest::HScrollPictureMove_Change);
  connect(SSTab1_, &QTabWidget::currentChanged, this, &frmDBScreenTest::SSTab1_Click);
  for (int i = 1; i <= 9; ++i) {
    QLineEdit* box = txtRating_[size_t(i)];
    QScrollBar* bar = HScroll1_[size_t(i)];
    connect(box, &QLineEdit::textChanged, this, [this, box, bar] { ratingTextChanged(box, bar); });
    connect(bar, &QScrollBar::valueChanged, this, [this, box, bar] { ratingBarChanged(box, bar); });
  }
  connect(txtOverallRating_, &QLineEdit::textChanged, this,
          [this] { ratingTextChanged(txtOverallRating_, HScroll2_); });
  connect(HScroll2_, &QScrollBar::valueChanged, this,
          [this] { ratingBarChanged(txtOverallRating_, HScroll2_); });
  if (Photo1_) {
    connect(Photo1_.get(), &PhotoDisplay::mouseDown, this, &frmDBScreenTest::Photo1_MouseDown);
    connect(Photo1_.get(), &PhotoDisplay::mouseMove, this, &frmDBScreenTest::Photo1_MouseMove);
    connect(Photo1_.get(), &PhotoDisplay::mouseUp, this, &frmDBScreenTest::Photo1_MouseUp);
  }
  // The form previews every key pressed in its own widgets (hot keys).
  qApp->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Initialisation, load and unload

void frmDBScreenTest::Form_Initialize() {
  AppState& state = appState();
  state.ViewerOpen = true;
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  resize(std::min(1280, available.width()), std::min(900, available.height()));
  // Measured before the window shows, as its resize handling reads it.
  ScreenHeightPixels = screen ? screen->geometry().height() : 0;
  show();
  QCoreApplication::processEvents();
  keepOnScreen(this);

  lblFileNameNoPath_->clear();
  RClickMenu_->hide();
  if (ScreenHeightPixels < 750) {
    fraPicInfo_->hide();
    fraPictureOptions_->hide();
    state.ShowImageInfo = false;
    mnuToggleImageInformation_->setEnabled(false);
  }
  if (state.ShowImageInfo) {
    mnuToggleImageInformation_->setChecked(true);
  } else {
    fraPicInfo_->hide();
    fraPictureOptions_->hide();
    mnuToggleImageInformation_->setChecked(false);
  }
  if (screen) {
    connect(screen, &QScreen::geometryChanged, this, &frmDBScreenTest::SysInfo1_DisplayChanged);
    connect(screen, &QScreen::availableGeometryChanged, this,
            &frmDBScreenTest::SysInfo1_DisplayChanged);
  }
}

void frmDBScreenTest::Form_Load() {
  AppState& state = appState();
  const bool fromQuery = state.QueryCaller == QStringLiteral("QueryForm");
  // 1. The query builder has handed over its query; it is not needed any more.
  if (fromQuery) {
    for (QWidget* form : forms::openForms())
      if (form->objectName() == QStringLiteral("frmQuery")) form->close();
  }
  // 2. Palette displays.
  if (state.PaletteDisplay) applyPalette();
  // 3. Picture passwords.
  state.PromptForNewPassword = keys::passwordPrompt() == 1;
  if (state.PicturePassword != QStringLiteral("None") && !state.PicturePassword.isEmpty())
    txtPicPassword_->setText(textnum::trim(state.PicturePassword));
  // 4. Menus of the command groups that are present.
  for (QMenu* menu : {mnuOptions_, SlideShow_, Toolbar_})
    menu->menuAction()->setVisible(!menu->actions().isEmpty());
  // 5. The normal layout.
  LayoutViewer();
  // 6, 7. Rating and theme captions.
  for (int n = 1; n <= 9; ++n) {
    lblRating_[size_t(n)]->setText(keys::ratingCaption(n));
    lblRating_[size_t(n)]->setToolTip(lblRating_[size_t(n)]->text());
    fitText(lblRating_[size_t(n)], lblRating_[size_t(n)]->text(),
            lblRating_[size_t(n)]->contentsRect().width());
  }
  for (int n = 1; n <= kThemeCount; ++n) {
    const QString key = QStringLiteral("Class") + QString::number(n);
    Command2_[size_t(n)]->setText(settings::read(settings::kClassifications, key, key));
    Command2_[size_t(n)]->setToolTip(Command2_[size_t(n)]->text());
    fitCaption(Command2_[size_t(n)]);
  }
  // 8. The configured picture set.
  openConfiguredSource();
  // 9, 10.
  sizePositionBar();
  SSTab1_->setCurrentIndex(0);
  SSTab1_Click();
  updateFormStatus(true);
  // 11. The query builder's result replaces the configured set.
  if (fromQuery) {
    frmPleaseWait::showWindow();
    OpenQueryResult();
  }
  // 12.
  LastPosition = HScrollPictureMove_->value();
  frmPleaseWait::closeWindow();
  loading_ = false;
  // The user's choice in the options: the viewer may open covering the screen.
  if (keys::dftViewerSize() == QStringLiteral("Full") && !fullScreen_) FScreen_Click();
  // 13, 14.
  startSlideShowOnOpen();
  if (Photo1_) Photo1_->widget()->raise();
}

void frmDBScreenTest::openConfiguredSource() {
  dtaTest_.setDatabaseName(keys::database());
  dtaTest_.setRecordSource(keys::recordSource());
  dtaTest_.setCheckForDamage(true);
  damageReported_ = false;
  // A query's set replaces this one straight away: opening the whole catalogue first would
  // cost a pass over it and show (and mark as viewed) a picture the user did not ask for.
  if (appState().QueryCaller == QStringLiteral("QueryForm")) {
    appState().ViewerOpening = false;
    return;
  }
  // The recordset's count is complete when it opens, so the move to the last row that a
  // complete count once needed is made without showing (and marking as viewed) that picture.
  suppressShow_ = true;
  const bool opened = dtaTest_.refresh();
  if (opened) dtaTest_.moveLast();
  suppressShow_ = false;
  appState().ViewerOpening = false;
  if (opened) {
    dtaTest_.moveFirst();
    reportCatalogueDamage();
  } else {
    dialogs().message(catalogue::describeError(dtaTest_.lastErrorKind(), dtaTest_.databaseName()),
                      MsgButtons::OK, MsgIcon::Exclamation, kProgramTitle, this);
  }
}

void frmDBScreenTest::sizePositionBar() {
  const int count = dtaTest_.recordCount();
  const QSignalBlocker block(HScrollPictureMove_);
  HScrollPictureMove_->setMinimum(0);
  HScrollPictureMove_->setMaximum(std::max(0, count - 1));
  HScrollPictureMove_->setPageStep(skipStep(count));
  HScrollPictureMove_->setSingleStep(1);
  const int position = dtaTest_.absolutePosition();
  HScrollPictureMove_->setValue(std::max(0, position));
}

void frmDBScreenTest::startSlideShowOnOpen() {
  AppState& state = appState();
  auto start = [this](bool withDefaults) {
    for (auto& extension : extensions_)
      if (extension->startSlideShow(*this, withDefaults)) return;
  };
  // Only offer a show when a command group can run one.
  const bool canShow =
      std::any_of(extensions_.begin(), extensions_.end(),
                  [](const auto& extension) { return extension->runsSlideShows(); });
  if (!canShow) return;
  if (!state.QueryFileStart) {
    if (state.SlideShowOnOpen) start(true);
    return;
  }
  if (state.AutoStartQuery) {
    start(true);
  } else if (dialogs().message(QStringLiteral("Would you like to start a slide show?"),
                               MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Slide Show"),
                               this) == MsgResult::Yes) {
    start(false);
  }
}

void frmDBScreenTest::addExtension(std::unique_ptr<ViewerExtension> extension) {
  extension->attach(*this);
  extensions_.push_back(std::move(extension));
}

void frmDBScreenTest::StartShowDefaults_Click() {
  for (auto& extension : extensions_)
    if (extension->startSlideShow(*this, true)) return;
}

void frmDBScreenTest::updateFormStatus(bool loaded) {
  MainFormLink* link = mainFormLink();
  if (!link) return;
  const QString now = link->messageCaption();
  if (loaded)
    link->setMessageCaption(now == QStringLiteral("AOTNCL") ? QStringLiteral("AOTCL")
                                                            : QStringLiteral("NAOTCL"));
  else
    link->setMessageCaption(now == QStringLiteral("AOTCL") ? QStringLiteral("AOTNCL")
                                                           : QStringLiteral("NAOTNCL"));
}

void frmDBScreenTest::closeEvent(QCloseEvent* event) {
  if (!closing_) Form_Unload();
  QMainWindow::closeEvent(event);
}

void frmDBScreenTest::Form_Unload() {
  closing_ = true;
  frmPleaseWait::showWindow();
  leaveFullScreenForClose();
  for (auto& extension : extensions_) extension->unloading(*this);
  Timer1.stop();
  if (dtaTest_.recordset()) {
    UpdatePictureInfo(QStringLiteral("Unload"));
    if (Photo1_) Photo1_->readAhead({});  // the pictures read ahead are let go at once
    catalogue::Database db = dtaTest_.database();
    if (db.isOpen()) db.execute(QStringLiteral("DELETE * FROM tbl1 WHERE Status = 'Missing';"));
  }
  dtaTest_.detach();
  frmPleaseWait::closeWindow();
  updateFormStatus(false);
  appState().ViewerOpen = false;
}

void frmDBScreenTest::leaveFullScreenForClose() {
  if (fullScreen_) FScreen_Click();
}

void frmDBScreenTest::closeViewer() {
  AppState& state = appState();
  state.QueryFileStart = false;
  state.QueryCaller.clear();
  state.AutoStartQuery = false;
}

void frmDBScreenTest::ChangeQuery_Click() {
  closeViewer();
  if (const auto& open = queryBuilderOpener()) open();
  close();
}

void frmDBScreenTest::FileCloseWindow_Click() {
  closeViewer();
  leaveFullScreenForClose();
  if (QWidget* main = appState().MainForm; main && main->isHidden()) main->show();
  close();
}

void frmDBScreenTest::FileCloseProgram_Click() {
  closeViewer();
  leaveFullScreenForClose();
  forms::closeAll();
}

// ---------------------------------------------------------------------------------------------
// The query builder's result

void frmDBScreenTest::OpenQueryResult() {
  AppState& state = appState();
  // 1. Put the spare catalogue back when the configured one is gone. Only the configured path
  //    is tested, and an existing catalogue is never copied over.
  const QString database = textnum::trim(dtaTest_.databaseName());
  if (!QFileInfo(database).isFile()) {
    const QString spare = state.ProgramFolder + QStringLiteral("budb.bdb");
    if (QFileInfo(spare).isFile() && !QFileInfo::exists(database)) {
      QFile::copy(spare, database);
      dtaTest_.setDatabaseName(database);
    } else if (!QFileInfo(spare).isFile()) {
      dialogs().message(
          QStringLiteral("Your backup database is missing!  See Website for a new one."),
          MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
    }
  }
  // 2. The query's set on the viewer's catalogue, with the theme filter and then the file-type
  //    filter applied: one pass over the table, and no picture of a wider set is shown on
  //    the way.
  catalogue::Database db = catalogue::Database::open(dtaTest_.databaseName());
  std::unique_ptr<catalogue::Recordset> result;
  if (db.isOpen())
    result = db.openRecordset(state.QuerySQL, {state.QueryFilter1, state.QueryFilter2});
  for (QWidget* form : forms::openForms())
    if (form->objectName() == QStringLiteral("frmQuery")) form->close();
  // 3, 5. An empty (or failed) query or filter falls back to the whole table.
  if (!result || result->recordCount() == 0) {
    fallBackToWholeTable();
    return;
  }
  dtaTest_.setRecordset(std::move(result));
  reportCatalogueDamage();
  // 4.
  sizePositionBar();
  QCoreApplication::processEvents();
}

void frmDBScreenTest::fallBackToWholeTable() {
  dtaTest_.setRecordSource(QStringLiteral("tbl1"));
  dtaTest_.refresh();
  reportCatalogueDamage();
  sizePositionBar();
  dialogs().message(QStringLiteral("There are no pictures that match your query.\r"
                                   "The picture set has been set back to the original."),
                    MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
}

}  // namespace glim
