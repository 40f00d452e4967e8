#include "query/frmQuery.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/forms.h"
#include "base/help.h"
#include "base/textnum.h"
#include "query/frmQuerySave.h"
#include "query/querystart.h"

namespace glim {

using namespace query;

namespace {

// The viewer's "Change Picture Set" opens the builder from the moment the program starts.
[[maybe_unused]] const bool kRegisteredWithViewer = [] {
  query::install();
  return true;
}();

frmQuery::ViewerOpener& viewerOpener() {
  static frmQuery::ViewerOpener opener;
  return opener;
}

// Digits pass; any other typed character acts as Backspace, as the size boxes require.
class DigitKeys : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.size() != 1 || !text[0].isPrint() || text[0].isDigit()) return false;
    if (auto* box = qobject_cast<QLineEdit*>(watched)) box->backspace();
    return true;
  }
};

QRadioButton* option(const QString& caption, QButtonGroup* group, QWidget* parent) {
  auto* button = new QRadioButton(caption, parent);
  group->addButton(button);
  return button;
}

QButtonGroup* group(QObject* parent) {
  auto* g = new QButtonGroup(parent);
  g->setExclusive(true);
  return g;
}

QScrollBar* slider(int min, int max, int small, int large, QWidget* parent) {
  auto* bar = new QScrollBar(Qt::Horizontal, parent);
  bar->setRange(min, max);
  bar->setSingleStep(small);
  bar->setPageStep(large);
  return bar;
}

void setTextKeepingSignals(QLineEdit* box, const QString& text) {
  if (box->text() != text) box->setText(text);
}

void setSliderQuietly(QScrollBar* bar, int value) {
  const QSignalBlocker block(bar);
  bar->setValue(value);
}

void setTicked(QCheckBox* box, bool ticked) {
  box->setChecked(ticked);
}

// The selected option of a three-way group, in the order the options are given.
template <typename E>
E selected(QRadioButton* first, QRadioButton* second, QRadioButton* third, E keep) {
  if (first->isChecked()) return E(0);
  if (second->isChecked()) return E(1);
  if (third->isChecked()) return E(2);
  return keep;
}

template <typename E>
void select(E value, QRadioButton* first, QRadioButton* second, QRadioButton* third) {
  QRadioButton* buttons[] = {first, second, third};
  buttons[static_cast<int>(value)]->setChecked(true);
}

bool insideCalendar(const QWidget* w) {
  for (; w; w = w->parentWidget())
    if (qobject_cast<const QCalendarWidget*>(w)) return true;
  return false;
}

ThemeList listOf(const QComboBox* combo) {
  return {combo->currentIndex(), combo->currentText()};
}

}  // namespace

void frmQuery::setViewerOpener(ViewerOpener opener) {
  viewerOpener() = std::move(opener);
}

QString frmQuery::userFolder() {
  return appState().ProgramFolder + QStringLiteral("User") + QDir::separator();
}

frmQuery::frmQuery() {
  setObjectName(QStringLiteral("frmQuery"));
  setWindowTitle(QStringLiteral("Picture Selection Criteria"));
  setWindowFlag(Qt::Window);

  SSTab1 = new QTabWidget(this);
  SSTab1->addTab(buildSizeAndDatesTab(), QStringLiteral("Size and Dates"));
  SSTab1->addTab(buildRatingsTab(), QStringLiteral("Ratings"));
  SSTab1->addTab(buildThemesTab(), QStringLiteral("Themes"));
  SSTab1->addTab(buildPictureTab(), QStringLiteral("Picture Properties"));
  SSTab1->addTab(buildSelectionTab(), QStringLiteral("Selection"));
  SSTab1->addTab(buildSavedQueriesTab(), QStringLiteral("Saved Queries"));

  cmdOK = new QPushButton(QStringLiteral("Run &Query"), this);
  cmdOK->setToolTip(QStringLiteral("Select matching pictures."));
  cmdViewNewFiles = new QPushButton(QStringLiteral("View New Files Added Today, Now"), this);
  cmdViewNewFiles->setToolTip(
      QStringLiteral("View files which have not been previously viewed, which were added to the "
                     "database today."));
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cmdHelp = new QPushButton(QStringLiteral("Query Tutorial and Help"), this);

  auto* layout = new QVBoxLayout(this);
  auto* buttons = commandButtons(layout);
  layout->addWidget(SSTab1);
  layout->addLayout(buttons);
  // On a small screen the pages scroll inside their tabs; the command buttons stay in view.
  const QSize outsidePages = scrollTabPages(
      SSTab1,
      outsideScrollingPart(layout, buttons->sizeHint().height() + std::max(0, layout->spacing())));
  stackDatesWhereNarrow(roomOnScreen(this, outsidePages).width());

  connect(cmdOK, &QPushButton::clicked, this, &frmQuery::cmdOK_Click);
  connect(cmdViewNewFiles, &QPushButton::clicked, this, &frmQuery::cmdViewNewFiles_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmQuery::cmdCancel_Click);
  connect(cmdHelp, &QPushButton::clicked, this, &frmQuery::cmdHelp_Click);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &frmQuery::Timer1_Timer);

  connectRules();

  // Load steps: saved queries, calendars, rating captions, disabled rating rows, theme lists,
  // first tab.
  refreshSavedQueries();
  const QDate today = QDate::currentDate();
  CalendarCreateDate->setSelectedDate(today);
  CalendarLastViewed->setSelectedDate(today);
  for (int i = 1; i < kRatingRows; ++i)
    chkRatingInclude[i]->setText(QStringLiteral("Inc. ") + ratingName(i) +
                                 QStringLiteral(" rating"));
  FillThemeLists();
  showRatio(ratioRule(txtAspectRatio->text()));
  updateEnabling();
  SSTab1->setCurrentIndex(0);
  // Every page whole where the screen allows (a window's own first size stops at two thirds
  // of the screen).
  resizeWithinScreen(this, sizeHint());

  // The command-line query runs once the form is complete, then the timer keeps trying while
  // it is pending.
  QTimer::singleShot(0, this, &frmQuery::finishLoad);
}

frmQuery::~frmQuery() = default;

// The command buttons side by side, or two to a row where the screen is narrower than that.
QGridLayout* frmQuery::commandButtons(const QLayout* layout) {
  const std::initializer_list<QPushButton*> all = {cmdOK, cmdViewNewFiles, cmdCancel, cmdHelp};
  auto* grid = new QGridLayout;
  const int spacing = std::max(0, style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing));
  int oneRow = spacing * int(all.size() - 1);
  for (QPushButton* b : all) oneRow += b->sizeHint().width();
  const int room = roomOnScreen(this, outsideScrollingPart(layout, 0)).width();
  const int perRow = oneRow <= room ? int(all.size()) : 2;
  int i = 0;
  for (QPushButton* b : all) {
    grid->addWidget(b, i / perRow, i % perRow);
    ++i;
  }
  return grid;
}

// Where the screen is too narrow for the two calendars side by side, one sits below the other
// and their page scrolls only down.
void frmQuery::stackDatesWhereNarrow(int room) {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  if (fraCreationDate->parentWidget()->minimumSizeHint().width() + bar > room)
    datesRow_->setDirection(QBoxLayout::TopToBottom);
}

QWidget* frmQuery::buildSizeAndDatesTab() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);

  chkFileSizeInclude = new QCheckBox(QStringLiteral("On"), page);
  fraFileSize = new QGroupBox(QStringLiteral("File Size"), page);
  txtFileSize = new QLineEdit(QStringLiteral("0"), fraFileSize);
  txtFileSize->setMaxLength(5);
  txtFileSize->installEventFilter(new DigitKeys(txtFileSize));
  HScrollFileSize = slider(0, kFileSizeSliderMax, 1, 100, fraFileSize);
  setSliderQuietly(HScrollFileSize, 1);
  auto* sizeOps = group(this);
  optFileSizeLargerThan = option(QStringLiteral("larger than"), sizeOps, fraFileSize);
  optFileSizeEqualTo = option(QStringLiteral("exactly"), sizeOps, fraFileSize);
  optFileSizeSmallerThan = option(QStringLiteral("less than"), sizeOps, fraFileSize);
  optFileSizeLargerThan->setChecked(true);
  lblKBytes = new QLabel(QStringLiteral("KBytes"), fraFileSize);
  // The "On" box switches its frame's criterion on, so it heads the frame it belongs to.
  chkFileSizeInclude->setParent(fraFileSize);
  auto* size = new QGridLayout(fraFileSize);
  size->addWidget(chkFileSizeInclude, 0, 0, 1, 3);
  size->addWidget(optFileSizeLargerThan, 1, 0);
  size->addWidget(optFileSizeEqualTo, 1, 1);
  size->addWidget(optFileSizeSmallerThan, 1, 2);
  size->addWidget(txtFileSize, 2, 0);
  size->addWidget(lblKBytes, 2, 1);
  size->addWidget(HScrollFileSize, 3, 0, 1, 4);
  txtFileSize->setMaximumWidth(
      txtFileSize->fontMetrics().horizontalAdvance(QStringLiteral("888888")) + 16);
  size->setColumnStretch(3, 1);
  layout->addWidget(fraFileSize);
  // The two date criteria side by side, each headed by its own switch.
  auto* dates = new QHBoxLayout;
  datesRow_ = dates;
  layout->addLayout(dates);

  auto dateFrame = [&](const QString& title, QCheckBox*& include, QGroupBox*& frame,
                       QCalendarWidget*& calendar, QRadioButton*& before, QRadioButton*& on,
                       QRadioButton*& after) {
    frame = new QGroupBox(page);
    include = new QCheckBox(title, frame);
    calendar = new QCalendarWidget(frame);
    calendar->setDateRange(kCalendarMin, kCalendarMax);
    auto* ops = group(this);
    before = option(QStringLiteral("Before"), ops, frame);
    on = option(QStringLiteral("On"), ops, frame);
    after = option(QStringLiteral("After"), ops, frame);
    after->setChecked(true);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(include, 0, 0, 1, 3);
    grid->addWidget(before, 1, 0);
    grid->addWidget(on, 1, 1);
    grid->addWidget(after, 1, 2);
    grid->addWidget(calendar, 2, 0, 1, 3);
    dates->addWidget(frame);
  };
  dateFrame(QStringLiteral("File creation date"), chkCreateDateInclude, fraCreationDate,
            CalendarCreateDate, optCreateDateBefore, optCreateDateOn, optCreateDateAfter);
  dateFrame(QStringLiteral("Date last viewed"), chkDateLastViewedInclude, fraDateLastViewed,
            CalendarLastViewed, optDateLastViewedBefore, optDateLastViewedOn,
            optDateLastViewedAfter);
  layout->addStretch();
  return page;
}

QWidget* frmQuery::buildRatingsTab() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout(page);
  for (int i = 0; i < kRatingRows; ++i) {
    chkRatingInclude[i] = new QCheckBox(
        i == 0 ? QStringLiteral("Include Overall Rating") : QStringLiteral("Inc. rating"), page);
    txtRating[i] = new QLineEdit(QStringLiteral("0"), page);
    txtRating[i]->setMaximumWidth(40);
    HScrollRating[i] = slider(0, 5, 1, 1, page);
    PictureRating[i] = new QGroupBox(page);
    auto* ops = group(this);
    optRatingMoreThan[i] = option(QStringLiteral("More than"), ops, PictureRating[i]);
    optRatingEqualTo[i] = option(QStringLiteral("Equal to"), ops, PictureRating[i]);
    optRatingLessThan[i] = option(QStringLiteral("Less than"), ops, PictureRating[i]);
    optRatingMoreThan[i]->setChecked(true);
    auto* row = new QHBoxLayout(PictureRating[i]);
    row->setContentsMargins(2, 0, 2, 0);
    row->addWidget(optRatingMoreThan[i]);
    row->addWidget(optRatingEqualTo[i]);
    row->addWidget(optRatingLessThan[i]);
    grid->addWidget(chkRatingInclude[i], i, 0);
    grid->addWidget(PictureRating[i], i, 1);
    grid->addWidget(txtRating[i], i, 2);
    grid->addWidget(HScrollRating[i], i, 3);
  }
  return page;
}

QWidget* frmQuery::buildThemesTab() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);

  chkOrderedThemes = new QCheckBox(QStringLiteral("Select by themes in order"), page);
  fraDescriptionOrdered = new QGroupBox(page);
  Label7 = new QLabel(QStringLiteral("Include"), fraDescriptionOrdered);
  Label10 = new QLabel(QStringLiteral("Theme"), fraDescriptionOrdered);
  auto* ordered = new QGridLayout(fraDescriptionOrdered);
  ordered->addWidget(Label7, 0, 0);
  ordered->addWidget(Label10, 0, 1);
  const QString captions[] = {QString(), QStringLiteral("Main Theme Is:"),
                              QStringLiteral("Second Theme is:"),
                              QStringLiteral("Third Theme is:")};
  for (int i = 1; i <= 3; ++i) {
    chkDescriptionInclude[i] = new QCheckBox(captions[i], fraDescriptionOrdered);
    ComboOrderedTheme[i] = new QComboBox(fraDescriptionOrdered);
    txtOrdTheme[i] = new QLineEdit(fraDescriptionOrdered);
    txtOrdTheme[i]->setVisible(false);
    ordered->addWidget(chkDescriptionInclude[i], i, 0);
    ordered->addWidget(ComboOrderedTheme[i], i, 1);
  }
  layout->addWidget(chkOrderedThemes);
  layout->addWidget(fraDescriptionOrdered);

  chkDescriptionsIncludesInclude =
      new QCheckBox(QStringLiteral("Select by themes in any order"), page);
  fraDescriptionIncludes = new QGroupBox(page);
  lblIncludes = new QLabel(QStringLiteral("Picture has the theme:"), fraDescriptionIncludes);
  lblOffAndOr = new QLabel(QStringLiteral("Off / On"), fraDescriptionIncludes);
  auto* includes = new QGridLayout(fraDescriptionIncludes);
  includes->addWidget(lblIncludes, 0, 0);
  includes->addWidget(lblOffAndOr, 0, 1, 1, 2);
  for (int i = 0; i <= 4; ++i) {
    ComboIncludesTheme[i] = new QComboBox(fraDescriptionIncludes);
    txtIncludesTheme[i] = new QLineEdit(fraDescriptionIncludes);
    txtIncludesTheme[i]->setVisible(false);
    includes->addWidget(ComboIncludesTheme[i], i + 1, 0);
    if (i == 0) continue;
    auto* onOff = group(this);
    optDescriptionOff[i] = option(QStringLiteral("Off"), onOff, fraDescriptionIncludes);
    optDescriptionOr[i] = option(QStringLiteral("On"), onOff, fraDescriptionIncludes);
    optDescriptionOff[i]->setChecked(true);
    includes->addWidget(optDescriptionOff[i], i + 1, 1);
    includes->addWidget(optDescriptionOr[i], i + 1, 2);
  }
  auto* joiner = group(this);
  optUseAND = option(QStringLiteral("Select only pictures which have ALL of the above themes."),
                     joiner, fraDescriptionIncludes);
  optUseOR = option(QStringLiteral("Select pictures which have ANY of the above themes."), joiner,
                    fraDescriptionIncludes);
  optUseAND->setChecked(true);
  includes->addWidget(optUseAND, 6, 0, 1, 3);
  includes->addWidget(optUseOR, 7, 0, 1, 3);
  layout->addWidget(chkDescriptionsIncludesInclude);
  layout->addWidget(fraDescriptionIncludes);
  layout->addStretch();
  return page;
}

QWidget* frmQuery::buildPictureTab() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);

  chkPictureSizeInclude = new QCheckBox(QStringLiteral("Select by picture size"), page);
  fraPictureSize = new QGroupBox(page);
  lblPictureSize = new QLabel(QStringLiteral("Picture size in pixels"), fraPictureSize);
  Label11 = new QLabel(QStringLiteral("pixels"), fraPictureSize);
  Label12 = new QLabel(QStringLiteral("pixels"), fraPictureSize);
  chkPictureSizeWidthInclude = new QCheckBox(QStringLiteral("Width"), fraPictureSize);
  chkPictureSizeHeightInclude = new QCheckBox(QStringLiteral("Height"), fraPictureSize);
  txtPictureSizeWidth = new QLineEdit(QStringLiteral("640"), fraPictureSize);
  txtPictureSizeHeight = new QLineEdit(QStringLiteral("480"), fraPictureSize);
  for (QLineEdit* box : {txtPictureSizeWidth, txtPictureSizeHeight})
    box->installEventFilter(new DigitKeys(box));
  auto* widthOps = group(this);
  optPictureSizeWidthLargerThan = option(QStringLiteral("Larger than"), widthOps, fraPictureSize);
  optPictureWidthEqualTo = option(QStringLiteral("Equal to"), widthOps, fraPictureSize);
  optPictureWidthSmallerThan = option(QStringLiteral("Smaller than"), widthOps, fraPictureSize);
  auto* heightOps = group(this);
  optPictureHeightLargerThan = option(QStringLiteral("Larger than"), heightOps, fraPictureSize);
  optPictureSizeHeightEqualTo = option(QStringLiteral("Equal to"), heightOps, fraPictureSize);
  optPictureSizeHeightSmallerThan =
      option(QStringLiteral("Smaller than"), heightOps, fraPictureSize);
  optPictureSizeWidthLargerThan->setChecked(true);
  optPictureHeightLargerThan->setChecked(true);
  auto* size = new QGridLayout(fraPictureSize);
  size->addWidget(lblPictureSize, 0, 0, 1, 6);
  size->addWidget(chkPictureSizeWidthInclude, 1, 0);
  size->addWidget(optPictureSizeWidthLargerThan, 1, 1);
  size->addWidget(optPictureWidthEqualTo, 1, 2);
  size->addWidget(optPictureWidthSmallerThan, 1, 3);
  size->addWidget(txtPictureSizeWidth, 1, 4);
  size->addWidget(Label11, 1, 5);
  size->addWidget(chkPictureSizeHeightInclude, 2, 0);
  size->addWidget(optPictureHeightLargerThan, 2, 1);
  size->addWidget(optPictureSizeHeightEqualTo, 2, 2);
  size->addWidget(optPictureSizeHeightSmallerThan, 2, 3);
  size->addWidget(txtPictureSizeHeight, 2, 4);
  size->addWidget(Label12, 2, 5);
  layout->addWidget(chkPictureSizeInclude);
  layout->addWidget(fraPictureSize);

  chkOmitSpam = new QCheckBox(QStringLiteral("Omit pictures marked as SPAM"), page);
  layout->addWidget(chkOmitSpam);

  chkOmitLowColors = new QCheckBox(QStringLiteral("Omit pics with under"), page);
  txtOmitUnderXColors = new QLineEdit(QStringLiteral("256"), page);
  auto* colours = new QHBoxLayout;
  colours->addWidget(chkOmitLowColors);
  colours->addWidget(txtOmitUnderXColors);
  colours->addWidget(new QLabel(QStringLiteral(" colors"), page));
  colours->addStretch();
  layout->addLayout(colours);

  chkOmitBanners = new QCheckBox(QStringLiteral("Omit \"banner size\" pictures with an"), page);
  Label9 = new QLabel(QStringLiteral("aspect ratio of OVER:"), page);
  chkAutoDetectBanners = new QCheckBox(QStringLiteral("Auto"), page);
  txtAspectRatio = new QLineEdit(QStringLiteral("1.333"), page);
  HScrollRatio = slider(kRatioSliderMin, kRatioSliderMax, 10, 100, page);
  setSliderQuietly(HScrollRatio, 1333);
  imgAspectRatio = new QLabel(page);
  imgAspectRatio->setFrameShape(QFrame::Box);
  imgAspectRatio->setStyleSheet(QStringLiteral("background: palette(mid);"));
  auto* banners = new QGridLayout;
  banners->addWidget(chkOmitBanners, 0, 0);
  banners->addWidget(Label9, 0, 1);
  banners->addWidget(txtAspectRatio, 0, 2);
  banners->addWidget(chkAutoDetectBanners, 0, 3);
  banners->addWidget(HScrollRatio, 1, 0, 1, 4);
  banners->addWidget(imgAspectRatio, 2, 0, 1, 4, Qt::AlignLeft);
  layout->addLayout(banners);
  layout->addStretch();
  return page;
}

QWidget* frmQuery::buildSelectionTab() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);

  auto* viewing = group(this);
  optSelectAll =
      option(QStringLiteral("Select ANY picture that matches the criteria."), viewing, page);
  optViewOnlyNewPics = option(QStringLiteral("Select ONLY pictures which match the criteria, AND "
                                             "have not yet been viewed."),
                              viewing, page);
  optSelectAll->setChecked(true);
  chkIncludeAllNewPics = new QCheckBox(
      QStringLiteral("Select ALL previously unviewed pictures, even if they don't match "
                     "criteria."),
      page);
  layout->addWidget(optSelectAll);
  layout->addWidget(optViewOnlyNewPics);
  layout->addWidget(chkIncludeAllNewPics);

  auto* types = new QGroupBox(QStringLiteral("File types"), page);
  auto* typeGrid = new QGridLayout(types);
  const char* captions[kFileTypes] = {"JPG", "ePIC", "GIF", "PNG", "TIF",
                                      "BMP", "WMF",  "PCX", "WPG", "TGA"};
  for (int t = 0; t < kFileTypes; ++t) {
    fileTypeBoxes[t] = new QCheckBox(QString::fromLatin1(captions[t]), types);
    fileTypeBoxes[t]->setChecked(t <= PNG);
    typeGrid->addWidget(fileTypeBoxes[t], t / 5, t % 5);
  }
  chkJPEG = fileTypeBoxes[JPG];
  chkPIC = fileTypeBoxes[PIC];
  chkGIF = fileTypeBoxes[GIF];
  chkPNG = fileTypeBoxes[PNG];
  chkTIF = fileTypeBoxes[TIF];
  chkBMP = fileTypeBoxes[BMP];
  chkWMF = fileTypeBoxes[WMF];
  chkPCX = fileTypeBoxes[PCX];
  chkWPG = fileTypeBoxes[WPG];
  chkTGA = fileTypeBoxes[TGA];
  layout->addWidget(types);

  auto* maximum = new QGroupBox(QStringLiteral("Maximum Number of pictures to select"), page);
  auto* count = group(this);
  optSelectAllPics = option(QStringLiteral("Select all matching pictures."), count, maximum);
  optSelectXNumberOfPics = option(QStringLiteral("Select the first"), count, maximum);
  optSelectAllPics->setChecked(true);
  txtMaxNumPics = new QLineEdit(QStringLiteral("1"), maximum);
  txtMaxNumPics->installEventFilter(new DigitKeys(txtMaxNumPics));
  auto* row = new QHBoxLayout(maximum);
  row->addWidget(optSelectAllPics);
  row->addWidget(optSelectXNumberOfPics);
  row->addWidget(txtMaxNumPics);
  row->addWidget(new QLabel(QStringLiteral("matching pictures."), maximum));
  layout->addWidget(maximum);
  layout->addStretch();
  return page;
}

QWidget* frmQuery::buildSavedQueriesTab() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(QStringLiteral("Select a saved query:"), page));
  filelistSavedQueries = new QListWidget(page);
  layout->addWidget(filelistSavedQueries);
  cmdSaveQuery = new QPushButton(QStringLiteral("&Save Query"), page);
  cmdLoadQuery = new QPushButton(QStringLiteral("&Load Query"), page);
  cmdLoadQuery->setToolTip(QStringLiteral("Load the selected query definitions."));
  cmdDeleteQueryFile = new QPushButton(QStringLiteral("&Delete Query"), page);
  txtSaveFileName = new QLineEdit(page);
  txtSaveFileName->setVisible(false);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {cmdSaveQuery, cmdLoadQuery, cmdDeleteQueryFile}) buttons->addWidget(b);
  layout->addLayout(buttons);

  connect(cmdSaveQuery, &QPushButton::clicked, this, &frmQuery::cmdSaveQuery_Click);
  connect(cmdLoadQuery, &QPushButton::clicked, this, &frmQuery::cmdLoadQuery_Click);
  connect(cmdDeleteQueryFile, &QPushButton::clicked, this, &frmQuery::cmdDeleteQueryFile_Click);
  connect(filelistSavedQueries, &QListWidget::itemDoubleClicked, this,
          [this] { cmdLoadQuery_Click(); });
  return page;
}

void frmQuery::connectRules() {
  // Each box's rule runs on every change of its text; a slider the rule moves is moved
  // quietly, so that only the user's own slider moves write into the box.
  connect(txtFileSize, &QLineEdit::textChanged, this, [this] {
    QString text = txtFileSize->text();
    int value = HScrollFileSize->value();
    fileSizeRule(text, value);
    setSliderQuietly(HScrollFileSize, value);
    setTextKeepingSignals(txtFileSize, text);
  });
  connect(HScrollFileSize, &QScrollBar::valueChanged, this,
          [this](int v) { setTextKeepingSignals(txtFileSize, QString::number(v)); });

  for (int i = 0; i < kRatingRows; ++i) {
    connect(txtRating[i], &QLineEdit::textChanged, this, [this, i] {
      QString text = txtRating[i]->text();
      int value = HScrollRating[i]->value();
      ratingRule(text, value);
      setSliderQuietly(HScrollRating[i], value);
      setTextKeepingSignals(txtRating[i], text);
    });
    connect(HScrollRating[i], &QScrollBar::valueChanged, this,
            [this, i](int v) { setTextKeepingSignals(txtRating[i], QString::number(v)); });
    connect(chkRatingInclude[i], &QCheckBox::toggled, this, &frmQuery::updateEnabling);
  }

  auto clamp = [this](QLineEdit* box, QString (*rule)(const QString&)) {
    connect(box, &QLineEdit::textChanged, this,
            [box, rule] { setTextKeepingSignals(box, rule(box->text())); });
  };
  clamp(txtPictureSizeWidth, widthRule);
  clamp(txtPictureSizeHeight, heightRule);
  clamp(txtOmitUnderXColors, coloursRule);
  clamp(txtMaxNumPics, maxPicturesRule);

  connect(txtAspectRatio, &QLineEdit::textChanged, this,
          [this] { showRatio(ratioRule(txtAspectRatio->text())); });
  connect(HScrollRatio, &QScrollBar::valueChanged, this,
          [this](int v) { setTextKeepingSignals(txtAspectRatio, ratioSliderText(v)); });

  for (int i = 0; i <= 4; ++i)
    connect(ComboIncludesTheme[i], &QComboBox::currentIndexChanged, this,
            [this, i](int index) { txtIncludesTheme[i]->setText(QString::number(index + 1)); });
  for (int i = 1; i <= 3; ++i)
    connect(ComboOrderedTheme[i], &QComboBox::currentIndexChanged, this,
            [this, i](int index) { txtOrdTheme[i]->setText(QString::number(index)); });

  connect(chkDescriptionsIncludesInclude, &QCheckBox::toggled, this,
          &frmQuery::chkDescriptionsIncludesInclude_Click);
  for (QCheckBox* box : {chkFileSizeInclude, chkCreateDateInclude, chkDateLastViewedInclude,
                         chkOrderedThemes, chkDescriptionInclude[1], chkDescriptionInclude[2],
                         chkDescriptionInclude[3], chkPictureSizeInclude,
                         chkPictureSizeWidthInclude, chkPictureSizeHeightInclude, chkOmitBanners})
    connect(box, &QCheckBox::toggled, this, &frmQuery::updateEnabling);
  for (int i = 1; i <= 4; ++i)
    connect(optDescriptionOr[i], &QRadioButton::toggled, this, &frmQuery::updateEnabling);
  connect(optSelectXNumberOfPics, &QRadioButton::toggled, this, &frmQuery::updateEnabling);
}

void frmQuery::chkDescriptionsIncludesInclude_Click() {
  // In both directions the five lists lose their text; the user picks the themes afresh.
  for (QComboBox* combo : ComboIncludesTheme) combo->setCurrentIndex(-1);
  updateEnabling();
}

void frmQuery::updateEnabling() {
  const bool size = chkFileSizeInclude->isChecked();
  // The frames hold their own switches, so only the criteria in them are disabled.
  for (QWidget* w : std::initializer_list<QWidget*>{optFileSizeLargerThan, optFileSizeEqualTo,
                                                    optFileSizeSmallerThan, HScrollFileSize,
                                                    txtFileSize, lblKBytes})
    w->setEnabled(size);

  const bool created = chkCreateDateInclude->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{optCreateDateBefore, optCreateDateOn,
                                                    optCreateDateAfter, CalendarCreateDate})
    w->setEnabled(created);
  const bool viewed = chkDateLastViewedInclude->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{optDateLastViewedBefore, optDateLastViewedOn,
                                                    optDateLastViewedAfter, CalendarLastViewed})
    w->setEnabled(viewed);

  for (int i = 0; i < kRatingRows; ++i) {
    const bool on = chkRatingInclude[i]->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{HScrollRating[i], txtRating[i],
                                                      PictureRating[i], optRatingMoreThan[i],
                                                      optRatingEqualTo[i], optRatingLessThan[i]})
      w->setEnabled(on);
  }

  const bool ordered = chkOrderedThemes->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{fraDescriptionOrdered, Label7, Label10})
    w->setEnabled(ordered);
  for (int i = 1; i <= 3; ++i) {
    chkDescriptionInclude[i]->setEnabled(ordered);
    ComboOrderedTheme[i]->setEnabled(ordered && chkDescriptionInclude[i]->isChecked());
  }

  const bool includes = chkDescriptionsIncludesInclude->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{fraDescriptionIncludes, lblIncludes,
                                                    lblOffAndOr, ComboIncludesTheme[0]})
    w->setEnabled(includes);
  for (int i = 1; i <= 4; ++i) {
    optDescriptionOff[i]->setEnabled(includes);
    optDescriptionOr[i]->setEnabled(includes);
    ComboIncludesTheme[i]->setEnabled(includes && optDescriptionOr[i]->isChecked());
  }

  const bool picture = chkPictureSizeInclude->isChecked();
  for (QWidget* w :
       std::initializer_list<QWidget*>{fraPictureSize, lblPictureSize, Label11, Label12,
                                       chkPictureSizeWidthInclude, chkPictureSizeHeightInclude})
    w->setEnabled(picture);
  const bool width = picture && chkPictureSizeWidthInclude->isChecked();
  for (QWidget* w :
       std::initializer_list<QWidget*>{optPictureSizeWidthLargerThan, optPictureWidthEqualTo,
                                       optPictureWidthSmallerThan, txtPictureSizeWidth})
    w->setEnabled(width);
  const bool height = picture && chkPictureSizeHeightInclude->isChecked();
  for (QWidget* w :
       std::initializer_list<QWidget*>{optPictureHeightLargerThan, optPictureSizeHeightEqualTo,
                                       optPictureSizeHeightSmallerThan, txtPictureSizeHeight})
    w->setEnabled(height);

  const bool banners = chkOmitBanners->isChecked();
  for (QWidget* w :
       std::initializer_list<QWidget*>{chkAutoDetectBanners, txtAspectRatio, HScrollRatio})
    w->setEnabled(banners);

  txtMaxNumPics->setEnabled(optSelectXNumberOfPics->isChecked());
}

void frmQuery::showRatio(const RatioView& view) {
  setSliderQuietly(HScrollRatio, view.slider);
  // Twips to pixels at the usual 15 twips per pixel.
  imgAspectRatio->setFixedSize(std::max(1, view.imageTwips.width() / 15),
                               std::max(1, view.imageTwips.height() / 15));
  Label9->setText(view.label);
  setTextKeepingSignals(txtAspectRatio, view.text);
}

void frmQuery::FillThemeLists() {
  themeNames_ = themeNamesFromSettings();
  for (int i = 1; i <= 3; ++i) ComboOrderedTheme[i]->addItems(themeNames_);
  for (QComboBox* combo : ComboIncludesTheme) combo->addItems(themeNames_);
  for (int i = 1; i <= 3; ++i) {
    ComboOrderedTheme[i]->setCurrentIndex(-1);
    ComboOrderedTheme[i]->setCurrentIndex(0);
  }
  for (QComboBox* combo : ComboIncludesTheme) {
    combo->setCurrentIndex(-1);
    combo->setCurrentIndex(0);
  }
}

QueryCriteria frmQuery::criteria() const {
  QueryCriteria c;
  c.fileSizeInclude = chkFileSizeInclude->isChecked();
  c.fileSizeText = txtFileSize->text();
  c.fileSizeSlider = HScrollFileSize->value();
  c.fileSizeOp = selected(optFileSizeSmallerThan, optFileSizeEqualTo, optFileSizeLargerThan,
                          SizeOp::LargerThan);

  c.createDateInclude = chkCreateDateInclude->isChecked();
  c.createDate = CalendarCreateDate->selectedDate();
  c.createDateOp =
      selected(optCreateDateBefore, optCreateDateOn, optCreateDateAfter, DateOp::After);
  c.lastViewedInclude = chkDateLastViewedInclude->isChecked();
  c.lastViewedDate = CalendarLastViewed->selectedDate();
  c.lastViewedOp =
      selected(optDateLastViewedBefore, optDateLastViewedOn, optDateLastViewedAfter, DateOp::After);

  for (int i = 0; i < kRatingRows; ++i) {
    RatingRow& row = c.ratings[i];
    row.include = chkRatingInclude[i]->isChecked();
    row.text = txtRating[i]->text();
    row.slider = HScrollRating[i]->value();
    row.op = selected(optRatingMoreThan[i], optRatingEqualTo[i], optRatingLessThan[i],
                      RatingOp::MoreThan);
  }

  c.orderedThemes = chkOrderedThemes->isChecked();
  for (int i = 1; i <= 3; ++i) {
    c.ordered[i].include = chkDescriptionInclude[i]->isChecked();
    c.ordered[i].list = listOf(ComboOrderedTheme[i]);
    c.ordered[i].ordTheme = txtOrdTheme[i]->text();
  }
  c.themesAnyOrder = chkDescriptionsIncludesInclude->isChecked();
  for (int i = 0; i <= 4; ++i) {
    c.includes[i].on = i > 0 && optDescriptionOr[i]->isChecked();
    c.includes[i].list = listOf(ComboIncludesTheme[i]);
    c.includes[i].themeNumber = txtIncludesTheme[i]->text();
  }
  c.useAnd = optUseAND->isChecked();

  c.pictureSizeInclude = chkPictureSizeInclude->isChecked();
  c.widthInclude = chkPictureSizeWidthInclude->isChecked();
  c.widthText = txtPictureSizeWidth->text();
  c.widthOp = selected(optPictureWidthSmallerThan, optPictureWidthEqualTo,
                       optPictureSizeWidthLargerThan, DimOp::LargerThan);
  c.heightInclude = chkPictureSizeHeightInclude->isChecked();
  c.heightText = txtPictureSizeHeight->text();
  c.heightOp = selected(optPictureSizeHeightSmallerThan, optPictureSizeHeightEqualTo,
                        optPictureHeightLargerThan, DimOp::LargerThan);

  c.omitSpam = chkOmitSpam->isChecked();
  c.omitLowColors = chkOmitLowColors->isChecked();
  c.colorsText = txtOmitUnderXColors->text();
  c.omitBanners = chkOmitBanners->isChecked();
  c.autoDetectBanners = chkAutoDetectBanners->isChecked();
  c.aspectRatioText = txtAspectRatio->text();
  c.ratioSlider = HScrollRatio->value();

  c.viewOnlyNewPics = optViewOnlyNewPics->isChecked();
  c.includeAllNewPics = chkIncludeAllNewPics->isChecked();
  for (int t = 0; t < kFileTypes; ++t) c.fileTypes[t] = fileTypeBoxes[t]->isChecked();
  return c;
}

void frmQuery::setCriteria(const QueryCriteria& c) {
  // The values already obey the rules; block the handlers so they are taken as they are.
  // The calendars have no handlers here and keep their own signals.
  std::vector<QSignalBlocker> blockers;
  for (QWidget* child : findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
                         qobject_cast<QScrollBar*>(child) || qobject_cast<QComboBox*>(child);
    if (control && !insideCalendar(child)) blockers.emplace_back(child);
  }

  setTicked(chkFileSizeInclude, c.fileSizeInclude);
  txtFileSize->setText(c.fileSizeText);
  HScrollFileSize->setValue(c.fileSizeSlider);
  select(c.fileSizeOp, optFileSizeSmallerThan, optFileSizeEqualTo, optFileSizeLargerThan);

  setTicked(chkCreateDateInclude, c.createDateInclude);
  CalendarCreateDate->setSelectedDate(c.createDate);
  select(c.createDateOp, optCreateDateBefore, optCreateDateOn, optCreateDateAfter);
  setTicked(chkDateLastViewedInclude, c.lastViewedInclude);
  CalendarLastViewed->setSelectedDate(c.lastViewedDate);
  select(c.lastViewedOp, optDateLastViewedBefore, optDateLastViewedOn, optDateLastViewedAfter);

  for (int i = 0; i < kRatingRows; ++i) {
    const RatingRow& row = c.ratings[i];
    setTicked(chkRatingInclude[i], row.include);
    txtRating[i]->setText(row.text);
    HScrollRating[i]->setValue(row.slider);
    select(row.op, optRatingMoreThan[i], optRatingEqualTo[i], optRatingLessThan[i]);
  }

  setTicked(chkOrderedThemes, c.orderedThemes);
  for (int i = 1; i <= 3; ++i) {
    setTicked(chkDescriptionInclude[i], c.ordered[i].include);
    ComboOrderedTheme[i]->setCurrentIndex(c.ordered[i].list.listIndex);
    txtOrdTheme[i]->setText(c.ordered[i].ordTheme);
  }
  setTicked(chkDescriptionsIncludesInclude, c.themesAnyOrder);
  for (int i = 0; i <= 4; ++i) {
    ComboIncludesTheme[i]->setCurrentIndex(c.includes[i].list.listIndex);
    txtIncludesTheme[i]->setText(c.includes[i].themeNumber);
    if (i > 0) (c.includes[i].on ? optDescriptionOr[i] : optDescriptionOff[i])->setChecked(true);
  }
  (c.useAnd ? optUseAND : optUseOR)->setChecked(true);

  setTicked(chkPictureSizeInclude, c.pictureSizeInclude);
  setTicked(chkPictureSizeWidthInclude, c.widthInclude);
  txtPictureSizeWidth->setText(c.widthText);
  select(c.widthOp, optPictureWidthSmallerThan, optPictureWidthEqualTo,
         optPictureSizeWidthLargerThan);
  setTicked(chkPictureSizeHeightInclude, c.heightInclude);
  txtPictureSizeHeight->setText(c.heightText);
  select(c.heightOp, optPictureSizeHeightSmallerThan, optPictureSizeHeightEqualTo,
         optPictureHeightLargerThan);

  setTicked(chkOmitSpam, c.omitSpam);
  setTicked(chkOmitLowColors, c.omitLowColors);
  txtOmitUnderXColors->setText(c.colorsText);
  setTicked(chkOmitBanners, c.omitBanners);
  setTicked(chkAutoDetectBanners, c.autoDetectBanners);
  txtAspectRatio->setText(c.aspectRatioText);

  (c.viewOnlyNewPics ? optViewOnlyNewPics : optSelectAll)->setChecked(true);
  setTicked(chkIncludeAllNewPics, c.includeAllNewPics);
  for (int t = 0; t < kFileTypes; ++t) setTicked(fileTypeBoxes[t], c.fileTypes[t]);

  blockers.clear();
  showRatio(ratioRule(c.aspectRatioText));
  updateEnabling();
}

bool frmQuery::showViewer() {
  return viewerOpener() ? viewerOpener()() : false;
}

void frmQuery::cmdOK_Click() {
  runQuery();
}

bool frmQuery::runQuery() {
  QueryCriteria c = criteria();
  const QueryTexts texts = runQueryTexts(c);
  // The theme filter may have unticked its box or turned empty rows off.
  setCriteria(c);
  AppState& state = appState();
  state.QuerySQL = texts.sql;
  state.QueryFilter1 = texts.filter1;
  state.QueryFilter2 = texts.filter2;
  state.QueryCaller = QStringLiteral("QueryForm");
  return showViewer();
}

void frmQuery::cmdViewNewFiles_Click() {
  AppState& state = appState();
  state.QuerySQL = buildNewFilesStatement(QDate::currentDate());
  state.QueryFilter2 = buildFileTypeFilter(criteria());
  state.QueryCaller = QStringLiteral("QueryForm");
  showViewer();
}

void frmQuery::cmdCancel_Click() {
  close();
}

void frmQuery::cmdHelp_Click() {
  QString helpFile = appState().QueryHelpFile;
  if (helpFile.isEmpty()) helpFile = appState().ProgramFolder + QStringLiteral("QUERYHELP.HLP");
  help::showTopic(helpFile, 1);
}

void frmQuery::refreshSavedQueries() {
  const QString current =
      filelistSavedQueries->currentItem() ? filelistSavedQueries->currentItem()->text() : QString();
  filelistSavedQueries->clear();
  filelistSavedQueries->addItems(
      QDir(userFolder()).entryList({QStringLiteral("*.qry")}, QDir::Files, QDir::Name));
  const auto found = filelistSavedQueries->findItems(current, Qt::MatchExactly);
  if (!current.isEmpty() && !found.isEmpty()) filelistSavedQueries->setCurrentItem(found.first());
}

void frmQuery::cmdSaveQuery_Click() {
  txtSaveFileName->clear();
  frmQuerySave dialog(txtSaveFileName, this);
  dialog.exec();
  const QString path = txtSaveFileName->text();
  if (path == kUserCanceled || path.isEmpty()) return;
  QDir().mkpath(userFolder());
  captureQueryRecord(criteria(), record_);
  QString error;
  if (!writeQueryFile(path, record_, &error))
    dialogs().message(
        QStringLiteral("The query could not be saved to ") + path + QStringLiteral(".  ") + error,
        MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("File Save Error"), this);
  refreshSavedQueries();
}

bool frmQuery::loadQuery(const QString& path) {
  LoadedQuery loaded = loadQueryFile(path, criteria(), themeNames_);
  if (!loaded.ok && loaded.readFailed) {
    appState().QueryFileStart = false;
    dialogs().message(loaded.message, MsgButtons::OK, MsgIcon::Exclamation, kLoadErrorTitle, this);
    return false;
  }
  record_ = loaded.record;
  setCriteria(loaded.criteria);
  if (!loaded.ok) {
    dialogs().message(kApplyErrorText, MsgButtons::OK, MsgIcon::Critical, kLoadErrorTitle, this);
    return false;
  }
  return true;
}

void frmQuery::cmdLoadQuery_Click() {
  const AppState& state = appState();
  QString path;
  if (state.QueryFileStart) {
    path = textnum::trim(state.CommandLine);
  } else {
    QListWidgetItem* item = filelistSavedQueries->currentItem();
    if (!item) {
      dialogs().message(QStringLiteral("Please select a filename."), MsgButtons::OK, MsgIcon::None,
                        QStringLiteral("No filename selected"), this);
      return;
    }
    path = userFolder() + textnum::trim(item->text());
  }
  loadQuery(path);
}

void frmQuery::cmdDeleteQueryFile_Click() {
  QListWidgetItem* item = filelistSavedQueries->currentItem();
  if (!item) {
    dialogs().message(QStringLiteral("Please select a filename."), MsgButtons::OK, MsgIcon::None,
                      QStringLiteral("No filename selected"), this);
  } else {
    const QString name = item->text();
    const MsgResult answer = dialogs().message(
        QStringLiteral("Delete the file ") + name + QStringLiteral(" now?"),
        MsgButtons::YesNoCancel, MsgIcon::None, QStringLiteral("Delete Query"), this);
    if (answer == MsgResult::Yes) QFile::remove(userFolder() + name);
  }
  refreshSavedQueries();
}

void frmQuery::closeEvent(QCloseEvent* event) {
  // Unloaded (by the viewer, or cancelled): a pending command-line query no longer runs here.
  Timer1->stop();
  unloaded_ = true;
  QWidget::closeEvent(event);
}

void frmQuery::showEvent(QShowEvent* event) {
  unloaded_ = false;
  QWidget::showEvent(event);
}

void frmQuery::LoadAndRunQuery() {
  if (runningFile_) return;
  QPointer<frmQuery> self(this);
  runningFile_ = true;
  runFile();
  if (self) runningFile_ = false;
}

void frmQuery::runFile() {
  AppState& state = appState();
  const QString path = textnum::trim(state.CommandLine);
  // A file that cannot be read or applied is not run: its message has been shown, and a
  // half-applied set of criteria is not the picture set the file describes.
  if (!loadQuery(path)) {
    state.QueryFileStart = false;
    return;
  }
  QPointer<frmQuery> self(this);
  QCoreApplication::processEvents();
  if (!self) return;
  if (!runQuery() && self) {
    state.QueryFileStart = false;
    dialogs().message(kRunErrorText, MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
  }
}

bool frmQuery::timerActive() const {
  return Timer1->isActive();
}

void frmQuery::finishLoad() {
  const AppState& state = appState();
  // Showing the viewer may unload and delete this form before the call returns.
  QPointer<frmQuery> self(this);
  if (state.QueryFileStart && state.CommandLine.size() > 7) LoadAndRunQuery();
  if (self && !unloaded_) Timer1->start();
}

void frmQuery::Timer1_Timer() {
  if (!appState().QueryFileStart) {
    Timer1->stop();
    return;
  }
  LoadAndRunQuery();
}

}  // namespace glim
