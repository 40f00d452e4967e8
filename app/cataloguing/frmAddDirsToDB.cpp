#include "cataloguing/frmAddDirsToDB.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStorageInfo>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/help.h"
#include "base/keys.h"
#include "base/textnum.h"
#include "cataloguing/frmAddTheme.h"
#include "cataloguing/pictureadder.h"
#include "cataloguing/pictureentry.h"
#include "cataloguing/treewalk.h"
#include "editing/folderpicker.h"

namespace glim {

namespace {

// The folders "&Add to DB" ran on; they outlive the screen for the rest of the program run.
QStringList& scannedList() {
  static QStringList folders;
  return folders;
}

struct TypeBox {
  const char* type;
  const char* name;
  const char* caption;
  bool ticked;
};

// The boxes in the order the screen shows them; JPG, GIF, PNG and ePIC start ticked.
constexpr TypeBox kTypeBoxes[] = {
    {"jpg", "chkJPEG", "JPG", true},        {"gif", "chkGIF", "GIF", true},
    {"png", "chkPNG", "PNG", true},         {"bmp", "chkBMP", "BMP", false},
    {"tif", "chkTIF", "TIF", false},        {"wmf", "chkWMF", "WMF", false},
    {"pic", "chkPIC", "ePIC", true},        {"pcx", "chkPCX", "PCX", false},
    {"tga", "chkTGA", "TGA", false},        {"wpg", "chkWPG", "WPG", false},
    {"heic", "chkHEIC", "HEIC", false},     {"avif", "chkAVIF", "AVIF", false},
    {"webp", "chkWEBP", "WebP", false},     {"jxl", "chkJXL", "JPEG XL", false},
    {"raw", "chkRAW", "Camera raw", false},
};

QLineEdit* recordBox(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setReadOnly(true);
  return box;
}

}  // namespace

frmAddDirsToDB::frmAddDirsToDB() {
  setObjectName(QStringLiteral("frmAddDirsToDB"));
  setWindowTitle(QStringLiteral("Add/Rescan Folders For files"));
  picker_ = new editing::FolderPicker(this);
  File1_ = new QListWidget(this);
  File1_->setObjectName(QStringLiteral("File1"));
  File1_->setToolTip(
      QStringLiteral("These are the files matching your criteria in the current Directory."));
  File1_->setSelectionMode(QAbstractItemView::NoSelection);
  auto* types = new QGroupBox(QStringLiteral("Image Types to List:"), this);
  buildTypeBoxes(types);
  txtCurrentPathname_ = new QLineEdit(this);
  txtCurrentPathname_->setObjectName(QStringLiteral("txtCurrentPathname"));
  txtCurrentPathname_->setReadOnly(true);
  lblTheme_ = new QLabel(QStringLiteral("None"), this);
  lblTheme_->setObjectName(QStringLiteral("lblTheme"));
  txtTheme_ = new QLineEdit(QStringLiteral("0"), this);
  txtTheme_->setObjectName(QStringLiteral("txtTheme"));
  txtTheme_->hide();
  lblStatus_ = new QLabel(this);
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  cmdAddTheme_ = new QPushButton(QStringLiteral("Select Theme (optional)"), this);
  cmdAddTheme_->setObjectName(QStringLiteral("cmdAddTheme"));
  cmdAddFiles_ = new QPushButton(QStringLiteral("&Add to DB"), this);
  cmdAddFiles_->setObjectName(QStringLiteral("cmdAddFiles"));
  cmdRemoveDir_ = new QPushButton(QStringLiteral("&Remove Files"), this);
  cmdRemoveDir_->setObjectName(QStringLiteral("cmdRemoveDir"));
  cmdOK_ = new QPushButton(QStringLiteral("&OK"), this);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdHelp_ = new QPushButton(QStringLiteral("Help"), this);
  cmdHelp_->setObjectName(QStringLiteral("cmdHelp"));

  // The last stored row, shown through the data binding.
  auto* record = new QGroupBox(QStringLiteral("Last picture added"), this);
  auto* recordForm = new QFormLayout(record);
  txtIDNumber_ = recordBox(record, "txtIDNumber");
  txtPathname_ = recordBox(record, "txtPathname");
  txtFileSize_ = recordBox(record, "txtFileSize");
  txtFileCreationDate_ = recordBox(record, "txtFileCreationDate");
  txtDateAddedToDB_ = recordBox(record, "txtDateAddedToDB");
  txt_ = recordBox(record, "txt");
  recordForm->addRow(QStringLiteral("ID:"), txtIDNumber_);
  recordForm->addRow(QStringLiteral("Path:"), txtPathname_);
  recordForm->addRow(QStringLiteral("Size:"), txtFileSize_);
  recordForm->addRow(QStringLiteral("File date:"), txtFileCreationDate_);
  recordForm->addRow(QStringLiteral("Added:"), txtDateAddedToDB_);
  recordForm->addRow(QStringLiteral("Ext.:"), txt_);

  auto* themeRow = new QHBoxLayout;
  themeRow->addWidget(cmdAddTheme_);
  themeRow->addWidget(lblTheme_, 1);
  auto* sidePanel = new QWidget(this);
  auto* side = new QVBoxLayout(sidePanel);
  side->setContentsMargins(QMargins());
  side->addWidget(types);
  side->addLayout(themeRow);
  side->addWidget(record);
  side->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblStatus_, 1);
  buttons->addWidget(cmdHelp_);
  buttons->addWidget(cmdRemoveDir_);
  buttons->addWidget(cmdAddFiles_);
  buttons->addWidget(cmdOK_);
  auto* layout = new QVBoxLayout(this);
  QScrollArea* sideArea = scrollingDown(sidePanel, layout, buttons);
  auto* lists = new QHBoxLayout;
  // Where the screen is too narrow for folders, files and the side column abreast, the files
  // go below the folders so that both keep a readable width.
  const int listWidth = fontMetrics().averageCharWidth() * 20;
  const int abreast =
      2 * listWidth + sideArea->minimumSizeHint().width() + outsideScrollingPart(layout, 0).width();
  if (abreast > roomOnScreen(this, kWindowFrame).width()) {
    auto* stacked = new QVBoxLayout;
    stacked->addWidget(picker_, 3);
    stacked->addWidget(File1_, 2);
    lists->addLayout(stacked, 5);
  } else {
    lists->addWidget(picker_, 3);
    lists->addWidget(File1_, 2);
  }
  lists->addWidget(sideArea, 2);
  layout->addWidget(txtCurrentPathname_);
  layout->addLayout(lists, 1);
  layout->addLayout(buttons);
  // Roomy where the screen allows; the lists share what a small screen leaves.
  resizeWithinScreen(this, QSize(900, 520));

  connect(picker_, &editing::FolderPicker::Dir1_Change, this, &frmAddDirsToDB::Dir1_Change);
  connect(cmdAddTheme_, &QPushButton::clicked, this, &frmAddDirsToDB::cmdAddTheme_Click);
  connect(cmdAddFiles_, &QPushButton::clicked, this, &frmAddDirsToDB::cmdAddFiles_Click);
  connect(cmdRemoveDir_, &QPushButton::clicked, this, &frmAddDirsToDB::cmdRemoveDir_Click);
  connect(cmdOK_, &QPushButton::clicked, this, &frmAddDirsToDB::cmdOK_Click);
  connect(cmdHelp_, &QPushButton::clicked, this, &frmAddDirsToDB::cmdHelp_Click);
  // Damage is named as soon as the check finds it; "Add to DB" refuses to write into it.
  connect(&dtaAdd_, &catalogue::DataControl::DamageFound, this, [this] {
    lblStatus_->setText(
        catalogue::describeError(catalogue::DbError::Damaged, dtaAdd_.databaseName()));
  });
  Form_Load();
}

frmAddDirsToDB::~frmAddDirsToDB() = default;

// On a screen too short for the type boxes and the last record they scroll, never sideways;
// the path above and the buttons below stay in view.
QScrollArea* frmAddDirsToDB::scrollingDown(QWidget* panel, const QBoxLayout* layout,
                                           const QLayout* buttons) const {
  const int spacing = std::max(0, layout->spacing());
  const int others =
      txtCurrentPathname_->sizeHint().height() + buttons->sizeHint().height() + 2 * spacing;
  auto* area = new FittingScrollArea(panel, outsideScrollingPart(layout, others));
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return area;
}

void frmAddDirsToDB::buildTypeBoxes(QWidget* parent) {
  auto* grid = new QGridLayout(parent);
  int i = 0;
  for (const TypeBox& t : kTypeBoxes) {
    auto* box = new QCheckBox(QString::fromLatin1(t.caption), parent);
    box->setObjectName(QString::fromLatin1(t.name));
    box->setChecked(t.ticked);
    connect(box, &QCheckBox::clicked, this, &frmAddDirsToDB::typeBox_Click);
    typeBoxes_.insert(QString::fromLatin1(t.type), box);
    // Three to a row keeps the fifteen boxes as short as the form's other columns.
    grid->addWidget(box, i / 3, i % 3);
    ++i;
  }
}

void frmAddDirsToDB::Form_Load() {
  addedAnything_ = false;
  typeBox_Click();  // the type pattern of the initial boxes
  // The catalogue the rest of the program uses (the "Database" setting), so pictures are
  // never added to a file the viewer does not read.
  dtaAdd_.setDatabaseName(appState().DatabasePath.isEmpty() ? keys::database()
                                                            : appState().DatabasePath);
  dtaAdd_.setRecordSource(QStringLiteral("tbl1"));
  dtaAdd_.bind(txtIDNumber_, QStringLiteral("IDNumber"));
  dtaAdd_.bind(txtPathname_, QStringLiteral("Pathname"));
  dtaAdd_.bind(txtFileSize_, QStringLiteral("Filesize"));
  dtaAdd_.bind(txtFileCreationDate_, QStringLiteral("FileCreationDate"));
  dtaAdd_.bind(txtDateAddedToDB_, QStringLiteral("DateAddedToDB"));
  dtaAdd_.bind(txt_, QStringLiteral("Extension"));
  dtaAdd_.setCheckForDamage(true);
  if (dtaAdd_.refresh()) {
    dtaAdd_.moveLast();
    catalogue::Database db = dtaAdd_.database();
    nextId_ = cataloguing::PictureAdder::nextIdFromCatalogue(db);
  } else {
    lblStatus_->setText(catalogue::describeError(dtaAdd_.lastErrorKind(), dtaAdd_.databaseName()));
  }
  // The folder list starts at the top of the volume that holds the program.
  const QString volume = QStorageInfo(appState().ProgramFolder).rootPath();
  chooseFolder(volume.isEmpty() ? QStringLiteral("/") : volume);
}

void frmAddDirsToDB::chooseFolder(const QString& folder) {
  picker_->setPath(folder);
}

void frmAddDirsToDB::Dir1_Change(const QString& folder) {
  txtCurrentPathname_->setText(withSeparator(folder));
  lblTheme_->setText(QStringLiteral("None"));
  txtTheme_->setText(QStringLiteral("0"));
  fillFileList();
}

void frmAddDirsToDB::typeBox_Click() {
  QStringList ticked;
  for (auto it = typeBoxes_.cbegin(); it != typeBoxes_.cend(); ++it)
    if (it.value()->isChecked()) ticked << it.key();
  pattern_ = cataloguing::typePattern(ticked);
  fillFileList();
}

// With no type ticked the pattern is empty and the list shows nothing.
void frmAddDirsToDB::fillFileList() {
  File1_->clear();
  File1_->addItems(cataloguing::folderPictures(txtCurrentPathname_->text(), pattern_));
}

QStringList frmAddDirsToDB::listedPaths() const {
  const QString folder = txtCurrentPathname_->text();
  QStringList paths;
  for (int i = 0; i < File1_->count(); ++i) paths << folder + File1_->item(i)->text();
  return paths;
}

void frmAddDirsToDB::setBusy(bool busy) {
  for (QWidget* w : {static_cast<QWidget*>(picker_), static_cast<QWidget*>(cmdAddFiles_),
                     static_cast<QWidget*>(cmdRemoveDir_), static_cast<QWidget*>(cmdOK_),
                     static_cast<QWidget*>(cmdAddTheme_)})
    w->setEnabled(!busy);
  if (busy)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
}

void frmAddDirsToDB::cmdAddFiles_Click() {
  const QString folder = txtCurrentPathname_->text();
  QStringList& scanned = scannedList();
  if (scanned.contains(folder)) {
    const auto answer = dialogs().message(
        QStringLiteral("This folder has already been scanned for files this\r"
                       "session.  Do you want to rescan it now?"),
        MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Folder already scanned"), this);
    if (answer == MsgResult::No) return;
  } else {
    scanned.append(folder);
  }
  setBusy(true);
  QPointer<frmAddDirsToDB> self(this);
  catalogue::Database db = dtaAdd_.database();
  cataloguing::PictureAdder adder(db);
  adder.setNextId(nextId_);
  adder.setTheme(textnum::toInt32(textnum::trim(txtTheme_->text())).value_or(0));
  const QStringList paths = listedPaths();
  const cataloguing::AddResult result = adder.add(paths, [this, self](int done, int total) {
    if (!self) return false;
    lblStatus_->setText(QStringLiteral("Adding %1 of %2 files...").arg(done).arg(total));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return bool(self);
  });
  if (!self) return;
  nextId_ = adder.nextId();
  lblStatus_->clear();
  if (result.added > 0) addedAnything_ = true;
  dtaAdd_.refresh();
  dtaAdd_.moveLast();
  if (result.failed())
    dialogs().message(cataloguing::catalogueErrorMessage(result), MsgButtons::OK, MsgIcon::Critical,
                      kProgramTitle, this);
  dialogs().message(cataloguing::countsMessage(result), MsgButtons::OK, MsgIcon::None,
                    kProgramTitle, this);
  if (keys::formsRunStat() < 2 && addedAnything_) {
    keys::writeInt(keys::kFormsRunStat, 2);
    appState().FormsRunStat = 2;
  }
  setBusy(false);
}

void frmAddDirsToDB::cmdRemoveDir_Click() {
  catalogue::Database db = dtaAdd_.database();
  cataloguing::removePictures(db, listedPaths());
  dtaAdd_.refresh();
  dtaAdd_.moveLast();
}

void frmAddDirsToDB::cmdAddTheme_Click() {
  cataloguing::frmAddTheme dialog(this);
  dialog.setTargets(lblTheme_, txtTheme_);
  dialog.exec();
}

void frmAddDirsToDB::cmdOK_Click() {
  if (!addedAnything_) {
    const auto answer = dialogs().message(
        QStringLiteral("You have not added any images, are you sure you want to exit this "
                       "screen?\r(note:  To add images, select a folder, then press the 'Add to "
                       "DB' button)"),
        MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Exit this screen?"), this);
    if (answer == MsgResult::No) return;
  }
  close();
}

void frmAddDirsToDB::cmdHelp_Click() {
  openedHelp_ = help::showTopic(appState().HelpFile, 8) || openedHelp_;
}

void frmAddDirsToDB::closeEvent(QCloseEvent* event) {
  if (openedHelp_)
    if (QTextBrowser* browser = help::openBrowser()) browser->window()->close();
  dtaAdd_.detach();
  event->accept();
}

QStringList frmAddDirsToDB::scannedFolders() {
  return scannedList();
}
void frmAddDirsToDB::forgetScannedFolders() {
  scannedList().clear();
}

}  // namespace glim
