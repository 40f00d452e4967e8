// The query builder: the user ticks criteria on a tabbed dialog and the form turns them into
// the statement and the two filters the viewer opens. It also saves, loads and deletes its
// criteria as query files, and runs the query file given on the command line.
#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "query/querycriteria.h"
#include "query/queryfile.h"
#include "query/queryrules.h"

class QBoxLayout;
class QButtonGroup;
class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;
class QTimer;

namespace glim {

class frmQuery : public QWidget {
  Q_OBJECT

 public:
  // Builds the form and runs its load steps; a pending command-line query runs as soon as
  // the event loop turns.
  frmQuery();
  ~frmQuery() override;

  // The criteria the controls show, and the reverse (the controls' rules are not re-run).
  query::QueryCriteria criteria() const;
  void setCriteria(const query::QueryCriteria& c);

  // ---- Handlers and operations other windows and the tests call.
  void cmdOK_Click();  // Run Query
  void cmdViewNewFiles_Click();
  void cmdCancel_Click();
  void cmdHelp_Click();
  void cmdSaveQuery_Click();
  void cmdLoadQuery_Click();
  void cmdDeleteQueryFile_Click();
  // Loads the command-line query file and runs it.
  void LoadAndRunQuery();
  void FillThemeLists();
  void refreshSavedQueries();
  // Loads `path` into the controls; false (after the message) when it could not be read or
  // applied.
  bool loadQuery(const QString& path);
  const query::QueryRecord& record() const { return record_; }
  bool timerActive() const;

  // How Run Query shows the viewer; the real viewer unless a test installs another. Returns
  // false when no viewer could be shown.
  using ViewerOpener = std::function<bool()>;
  static void setViewerOpener(ViewerOpener opener);

  // The folder of the saved queries: the program folder's "User".
  static QString userFolder();

  // ---- Controls, named as the rest of the program knows them.
  QTabWidget* SSTab1 = nullptr;

  QGroupBox* fraFileSize = nullptr;
  QCheckBox* chkFileSizeInclude = nullptr;
  QLineEdit* txtFileSize = nullptr;
  QScrollBar* HScrollFileSize = nullptr;
  QRadioButton* optFileSizeLargerThan = nullptr;
  QRadioButton* optFileSizeEqualTo = nullptr;
  QRadioButton* optFileSizeSmallerThan = nullptr;
  QLabel* lblKBytes = nullptr;

  QGroupBox* fraCreationDate = nullptr;
  QCheckBox* chkCreateDateInclude = nullptr;
  QCalendarWidget* CalendarCreateDate = nullptr;
  QRadioButton* optCreateDateBefore = nullptr;
  QRadioButton* optCreateDateOn = nullptr;
  QRadioButton* optCreateDateAfter = nullptr;

  QGroupBox* fraDateLastViewed = nullptr;
  QCheckBox* chkDateLastViewedInclude = nullptr;
  QCalendarWidget* CalendarLastViewed = nullptr;
  QRadioButton* optDateLastViewedBefore = nullptr;
  QRadioButton* optDateLastViewedOn = nullptr;
  QRadioButton* optDateLastViewedAfter = nullptr;

  std::array<QCheckBox*, query::kRatingRows> chkRatingInclude{};
  std::array<QLineEdit*, query::kRatingRows> txtRating{};
  std::array<QScrollBar*, query::kRatingRows> HScrollRating{};
  std::array<QGroupBox*, query::kRatingRows> PictureRating{};
  std::array<QRadioButton*, query::kRatingRows> optRatingMoreThan{};
  std::array<QRadioButton*, query::kRatingRows> optRatingEqualTo{};
  std::array<QRadioButton*, query::kRatingRows> optRatingLessThan{};

  QCheckBox* chkOrderedThemes = nullptr;
  QGroupBox* fraDescriptionOrdered = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label10 = nullptr;
  std::array<QCheckBox*, 4> chkDescriptionInclude{};  // 1..3
  std::array<QComboBox*, 4> ComboOrderedTheme{};      // 1..3
  std::array<QLineEdit*, 4> txtOrdTheme{};            // 1..3, hidden

  QCheckBox* chkDescriptionsIncludesInclude = nullptr;
  QGroupBox* fraDescriptionIncludes = nullptr;
  QLabel* lblIncludes = nullptr;
  QLabel* lblOffAndOr = nullptr;
  std::array<QComboBox*, 5> ComboIncludesTheme{};
  std::array<QLineEdit*, 5> txtIncludesTheme{};      // hidden
  std::array<QRadioButton*, 5> optDescriptionOff{};  // 1..4
  std::array<QRadioButton*, 5> optDescriptionOr{};   // 1..4
  QRadioButton* optUseAND = nullptr;
  QRadioButton* optUseOR = nullptr;

  QCheckBox* chkPictureSizeInclude = nullptr;
  QGroupBox* fraPictureSize = nullptr;
  QLabel* lblPictureSize = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label12 = nullptr;
  QCheckBox* chkPictureSizeWidthInclude = nullptr;
  QLineEdit* txtPictureSizeWidth = nullptr;
  QRadioButton* optPictureSizeWidthLargerThan = nullptr;
  QRadioButton* optPictureWidthEqualTo = nullptr;
  QRadioButton* optPictureWidthSmallerThan = nullptr;
  QCheckBox* chkPictureSizeHeightInclude = nullptr;
  QLineEdit* txtPictureSizeHeight = nullptr;
  QRadioButton* optPictureHeightLargerThan = nullptr;
  QRadioButton* optPictureSizeHeightEqualTo = nullptr;
  QRadioButton* optPictureSizeHeightSmallerThan = nullptr;

  QCheckBox* chkOmitSpam = nullptr;
  QCheckBox* chkOmitLowColors = nullptr;
  QLineEdit* txtOmitUnderXColors = nullptr;
  QCheckBox* chkOmitBanners = nullptr;
  QLabel* Label9 = nullptr;
  QCheckBox* chkAutoDetectBanners = nullptr;
  QLineEdit* txtAspectRatio = nullptr;
  QScrollBar* HScrollRatio = nullptr;
  QLabel* imgAspectRatio = nullptr;

  QRadioButton* optSelectAll = nullptr;
  QRadioButton* optViewOnlyNewPics = nullptr;
  QCheckBox* chkIncludeAllNewPics = nullptr;

  std::array<QCheckBox*, query::kFileTypes> fileTypeBoxes{};  // in filter order
  QCheckBox* chkJPEG = nullptr;
  QCheckBox* chkPIC = nullptr;
  QCheckBox* chkGIF = nullptr;
  QCheckBox* chkPNG = nullptr;
  QCheckBox* chkTIF = nullptr;
  QCheckBox* chkBMP = nullptr;
  QCheckBox* chkWMF = nullptr;
  QCheckBox* chkPCX = nullptr;
  QCheckBox* chkWPG = nullptr;
  QCheckBox* chkTGA = nullptr;

  QRadioButton* optSelectAllPics = nullptr;
  QRadioButton* optSelectXNumberOfPics = nullptr;
  QLineEdit* txtMaxNumPics = nullptr;

  QListWidget* filelistSavedQueries = nullptr;
  QPushButton* cmdSaveQuery = nullptr;
  QPushButton* cmdLoadQuery = nullptr;
  QPushButton* cmdDeleteQueryFile = nullptr;
  QLineEdit* txtSaveFileName = nullptr;  // hidden: the save dialog's result

  QPushButton* cmdOK = nullptr;
  QPushButton* cmdViewNewFiles = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdHelp = nullptr;

  QTimer* Timer1 = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QGridLayout* commandButtons(const QLayout* layout);
  void stackDatesWhereNarrow(int room);
  QWidget* buildSizeAndDatesTab();
  QWidget* buildRatingsTab();
  QWidget* buildThemesTab();
  QWidget* buildPictureTab();
  QWidget* buildSelectionTab();
  QWidget* buildSavedQueriesTab();
  void connectRules();
  void updateEnabling();
  void showRatio(const query::RatioView& view);
  void finishLoad();
  void Timer1_Timer();
  void chkDescriptionsIncludesInclude_Click();
  bool showViewer();
  // Builds the texts, hands them over and shows the viewer; false when none could be shown.
  bool runQuery();
  void runFile();

  query::QueryRecord record_;
  bool runningFile_ = false;
  bool unloaded_ = false;  // closed and not shown again since  // LoadAndRunQuery is under way (its
                           // dialogs turn the loop)
  QStringList themeNames_;
  QBoxLayout* datesRow_ = nullptr;
};

}  // namespace glim
