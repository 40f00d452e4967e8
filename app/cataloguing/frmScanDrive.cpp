#include "cataloguing/frmScanDrive.h"

#include <dirent.h>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/help.h"
#include "base/keys.h"
#include "cataloguing/pictureadder.h"
#include "cataloguing/walkjob.h"

namespace glim {

namespace {

struct FindItem {
  const char* name;
  const char* caption;
  const char* pattern;
};

constexpr FindItem kFindItems[] = {
    {"mnuAddFilesJPG", "Add all JPEG files (JPG)", "*.jpg"},
    {"mnuAddFilesPIC", "Add all ePIC files (PIC)", "*.pic"},
    {"mnuAddFilesGIF", "Add all GIF files", "*.gif"},
    {"mnuAddFilesBMP", "Add all BMP files", "*.bmp"},
    {"mnuAddFilesPNG", "Add all PNG files", "*.png"},
    {"mnuAddFilesTIF", "Add all TIF files", "*.tif"},
    {"mnuAddFilesTGA", "Add all TGA files", "*.tga"},
    {"mnuAddFilesPCX", "Add all PCX files", "*.pcx"},
    {"mnuAddFilesWMF", "Add all WMF files", "*.wmf"},
    {"mnuAddFilesWPG", "Add all WPG files", "*.wpg"},
    {"mnuAddFilesHEIC", "Add all HEIC files", "*.heic;*.heif;*.hif"},
    {"mnuAddFilesAVIF", "Add all AVIF files", "*.avif"},
    {"mnuAddFilesWEBP", "Add all WebP files", "*.webp"},
    {"mnuAddFilesJXL", "Add all JPEG XL files", "*.jxl"},
    {"mnuAddFilesRAW", "Add all camera raw files",
     "*.cr2;*.nef;*.nrw;*.arw;*.dng;*.raf;*.orf;*.rw2;*.pef;*.srw"},
};

const QString kFolderInfoCaption = QStringLiteral("&Folder Info...");
const QString kStopCaption = QStringLiteral("&Stop!");

QLineEdit* recordBox(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setReadOnly(true);
  return box;
}

// A path is explicit when it is absolute; it is valid when its folder can be listed.
bool isValidExplicitPath(const QString& path) {
  if (!QDir::isAbsolutePath(path)) return false;
  DIR* dir = opendir(QFile::encodeName(path).constData());
  if (!dir) return false;
  closedir(dir);
  return true;
}

}  // namespace

frmScanDrive::frmScanDrive() {
  setObjectName(QStringLiteral("frmScanDrive"));
  setWindowTitle(QStringLiteral("Scan System For Images"));
  job_ = new cataloguing::WalkJob(this);
  buildMenus();

  auto* central = new QWidget(this);
  List1_ = new QListWidget(central);
  List1_->setObjectName(QStringLiteral("List1"));
  List1_->setUniformItemSizes(true);
  Picture1_ = new QLabel(central);
  Picture1_->setObjectName(QStringLiteral("Picture1"));
  Picture1_->setFrameShape(QFrame::StyledPanel);
  Picture1_->setTextFormat(Qt::PlainText);
  Picture1_->setMinimumWidth(200);
  Picture1_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  cmdAddToDBandExit_ = new QPushButton(QStringLiteral("Add to Database"), central);
  cmdAddToDBandExit_->setObjectName(QStringLiteral("cmdAddToDBandExit"));
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), central);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));

  auto* record = new QGroupBox(QStringLiteral("Add List To Database"), central);
  auto* recordForm = new QFormLayout(record);
  txtIDNumber_ = recordBox(record, "txtIDNumber");
  txtPathName_ = recordBox(record, "txtPathName");
  txtFileSize_ = recordBox(record, "txtFileSize");
  txtFileCreationDate_ = recordBox(record, "txtFileCreationDate");
  txtDateAddedToDB_ = recordBox(record, "txtDateAddedToDB");
  txtExtension_ = recordBox(record, "txtExtension");
  recordForm->addRow(QStringLiteral("ID:"), txtIDNumber_);
  recordForm->addRow(QStringLiteral("Path:"), txtPathName_);
  recordForm->addRow(QStringLiteral("Size:"), txtFileSize_);
  recordForm->addRow(QStringLiteral("File date:"), txtFileCreationDate_);
  recordForm->addRow(QStringLiteral("Added:"), txtDateAddedToDB_);
  recordForm->addRow(QStringLiteral("Ext.:"), txtExtension_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdAddToDBandExit_);
  buttons->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(List1_, 1);
  layout->addWidget(Picture1_);
  layout->addWidget(record);
  layout->addLayout(buttons);
  setCentralWidget(central);
  resizeWithinScreen(this, QSize(720, 560));

  connect(cmdAddToDBandExit_, &QPushButton::clicked, this, &frmScanDrive::cmdAddToDBandExit_Click);
  connect(cmdCancel_, &QPushButton::clicked, this, &frmScanDrive::cmdCancel_Click);
  connect(job_, &cataloguing::WalkJob::progress, this, &frmScanDrive::walkProgress);
  connect(job_, &cataloguing::WalkJob::finished, this, &frmScanDrive::walkFinished);
  // Damage is named as soon as the check finds it; "Add to Database" refuses to write into it.
  connect(&dtaAddListToDB_, &catalogue::DataControl::DamageFound, this, [this] {
    Picture1_->setText(
        catalogue::describeError(catalogue::DbError::Damaged, dtaAddListToDB_.databaseName()));
  });
  Form_Load();
}

frmScanDrive::~frmScanDrive() = default;

void frmScanDrive::buildMenus() {
  mnuFindFiles_ = menuBar()->addMenu(QStringLiteral("Add Files To List"));
  mnuFindFiles_->setObjectName(QStringLiteral("mnuFindFiles"));
  for (const FindItem& item : kFindItems) {
    QAction* action = mnuFindFiles_->addAction(QString::fromLatin1(item.caption));
    action->setObjectName(QString::fromLatin1(item.name));
    const QString pattern = QString::fromLatin1(item.pattern);
    findItems_.insert(pattern, action);
    connect(action, &QAction::triggered, this, [this, pattern] { findFiles(pattern); });
  }
  mnuFolderInfo_ = menuBar()->addAction(kFolderInfoCaption);
  mnuFolderInfo_->setObjectName(QStringLiteral("mnuFolderInfo"));
  connect(mnuFolderInfo_, &QAction::triggered, this, &frmScanDrive::mnuFolderInfo_Click);
  QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  helpMenu->setObjectName(QStringLiteral("mnuHelp"));
  QAction* contents = helpMenu->addAction(QStringLiteral("&Contents"));
  connect(contents, &QAction::triggered, this, [] { help::showContents(appState().HelpFile); });
}

void frmScanDrive::Form_Load() {
  dtaAddListToDB_.setDatabaseName(appState().DatabasePath.isEmpty() ? keys::database()
                                                                    : appState().DatabasePath);
  dtaAddListToDB_.setRecordSource(QStringLiteral("tbl1"));
  dtaAddListToDB_.bind(txtIDNumber_, QStringLiteral("IDNumber"));
  dtaAddListToDB_.bind(txtPathName_, QStringLiteral("Pathname"));
  dtaAddListToDB_.bind(txtFileSize_, QStringLiteral("Filesize"));
  dtaAddListToDB_.bind(txtFileCreationDate_, QStringLiteral("FileCreationDate"));
  dtaAddListToDB_.bind(txtDateAddedToDB_, QStringLiteral("DateAddedToDB"));
  dtaAddListToDB_.bind(txtExtension_, QStringLiteral("Extension"));
  dtaAddListToDB_.setCheckForDamage(true);
  if (!dtaAddListToDB_.refresh()) {
    Picture1_->setText(
        catalogue::describeError(dtaAddListToDB_.lastErrorKind(), dtaAddListToDB_.databaseName()));
    return;
  }
  dtaAddListToDB_.moveLast();
}

void frmScanDrive::setWaitCursor(bool wait) {
  if (wait)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
}

void frmScanDrive::startWalk(const QStringList& roots, bool findMode) {
  busy_ = true;
  findMode_ = findMode;
  folders_ = 0;
  files_ = 0;
  List1_->clear();
  cmdAddToDBandExit_->setEnabled(false);
  setWaitCursor(true);
  cataloguing::WalkRequest request;
  request.roots = roots;
  request.pattern = findMode ? pattern_ : QStringLiteral("*");
  request.findMode = findMode;
  job_->start(request);
}

void frmScanDrive::findFiles(const QString& pattern) {
  if (busy_) {  // choosing an item again while a search runs stops it
    if (findMode_) stopWork();
    return;
  }
  if (adding_) return;
  dialogs().message(QStringLiteral("The list will be filled with all ") + pattern +
                        QStringLiteral(" files.\r\nAll drives will be searched."),
                    MsgButtons::OK, MsgIcon::None, QStringLiteral("Search"), this);
  pattern_ = pattern;
  mnuFolderInfo_->setEnabled(false);
  startWalk(searchRoots_.isEmpty() ? localVolumes() : searchRoots_, true);
}

void frmScanDrive::mnuFolderInfo_Click() {
  if (busy_) {  // the item reads "&Stop!" while a count runs
    if (!findMode_) stopWork();
    return;
  }
  if (adding_) return;
  const auto answer = dialogs().input(QStringLiteral("Enter a valid explicit path:"),
                                      QStringLiteral("Folder Info"), QStringLiteral("/"), this);
  if (!answer || answer->trimmed().isEmpty()) return;
  const QString path = answer->trimmed();
  if (!isValidExplicitPath(path)) {
    dialogs().message(path, MsgButtons::OK, MsgIcon::Information, QStringLiteral("Path is invalid"),
                      this);
    return;
  }
  infoPath_ = path;
  mnuFolderInfo_->setText(kStopCaption);
  mnuFindFiles_->setEnabled(false);
  startWalk(volumesUnder(QDir::cleanPath(path)), false);
}

void frmScanDrive::stopWork() {
  job_->stop();
}

void frmScanDrive::walkProgress(const QString& folder, const QStringList& found, qint64 folders,
                                qint64 files, qint64 matches) {
  folders_ = folders;
  files_ = files;
  if (!found.isEmpty()) {
    List1_->setUpdatesEnabled(false);  // not redrawn while entries are appended
    List1_->addItems(found);
    List1_->setUpdatesEnabled(true);
    List1_->scrollToBottom();
  }
  // How far the walk has got, beside the folder it is in.
  const QString counts = findMode_
                             ? QStringLiteral("  [%1 found, %2 folders]").arg(matches).arg(folders)
                             : QStringLiteral("  [%1 folders, %2 files]").arg(folders).arg(files);
  Picture1_->setText(QStringLiteral("Searching ") + folder + counts);
}

void frmScanDrive::walkFinished(const cataloguing::WalkResult& result) {
  lastResult_ = result;
  folders_ = result.folders;
  files_ = result.files;
  const bool wasFinding = findMode_;
  busy_ = false;
  findMode_ = false;
  setWaitCursor(false);
  cmdAddToDBandExit_->setEnabled(true);
  Picture1_->clear();
  if (wasFinding) {
    mnuFolderInfo_->setEnabled(true);
    Picture1_->setText(QStringLiteral("Find File(s): ") + QString::number(List1_->count()) +
                       QStringLiteral(" items found matching \"") + pattern_ + u'"');
    dialogs().beep();
  } else {
    mnuFolderInfo_->setText(kFolderInfoCaption);
    mnuFindFiles_->setEnabled(true);
    emit workFinished();
    dialogs().message(QStringLiteral("Total folders: \t") + QString::number(folders_) +
                          QStringLiteral("\r\nTotal files: \t") + QString::number(files_),
                      MsgButtons::OK, MsgIcon::None,
                      QStringLiteral("Folder Info for: ") + infoPath_, this);
    return;
  }
  emit workFinished();
}

void frmScanDrive::cmdAddToDBandExit_Click() {
  if (busy_ || adding_) return;
  adding_ = true;
  cmdAddToDBandExit_->setEnabled(false);
  QStringList paths;
  paths.reserve(List1_->count());
  for (int i = 0; i < List1_->count(); ++i) paths << List1_->item(i)->text();
  QPointer<frmScanDrive> self(this);
  catalogue::Database db = dtaAddListToDB_.database();
  cataloguing::PictureAdder adder(db);
  adder.setNextId(cataloguing::PictureAdder::nextIdFromCatalogue(db));
  const cataloguing::AddResult result = adder.add(paths, [this, self](int done, int total) {
    if (!self) return false;
    Picture1_->setText(QStringLiteral("Adding %1 of %2 files...").arg(done).arg(total));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return bool(self);
  });
  if (!self) return;
  adding_ = false;
  Picture1_->clear();
  dtaAddListToDB_.refresh();
  dtaAddListToDB_.moveLast();
  if (result.added > 0 && keys::formsRunStat() < 2) {
    keys::writeInt(keys::kFormsRunStat, 2);
    appState().FormsRunStat = 2;
  }
  if (result.failed())
    dialogs().message(cataloguing::catalogueErrorMessage(result), MsgButtons::OK, MsgIcon::Critical,
                      kProgramTitle, this);
  dialogs().message(cataloguing::countsMessage(result), MsgButtons::OK, MsgIcon::None,
                    kProgramTitle, this);
  cmdAddToDBandExit_->setEnabled(true);
  const auto again =
      dialogs().message(QStringLiteral("Do you want to scan for another file type to add?"),
                        MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Continue?"), this);
  if (again == MsgResult::Yes)
    List1_->clear();
  else
    close();
}

void frmScanDrive::cmdCancel_Click() {
  if (!busy_ && !adding_) close();
}

void frmScanDrive::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && busy_) {
    stopWork();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

// Closing is refused while a search, count or add runs.
void frmScanDrive::closeEvent(QCloseEvent* event) {
  if (busy_ || adding_) {
    event->ignore();
    return;
  }
  dtaAddListToDB_.detach();
  event->accept();
}

}  // namespace glim
