#include "cataloguing/frmSetupNew.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/elidedlabel.h"
#include "base/fittingarea.h"
#include "base/forms.h"
#include "base/help.h"
#include "base/keys.h"
#include "catalogue/jetsql.h"
#include "cataloguing/foldercaptions.h"
#include "cataloguing/frmAddDirsToDB.h"
#include "cataloguing/frmDirDialog.h"
#include "cataloguing/frmSubPathsCaptions.h"
#include "cataloguing/frmWizard.h"

namespace glim {

namespace {

QLineEdit* hiddenBox(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->hide();
  return box;
}

}  // namespace

frmSetupNew::frmSetupNew() {
  setObjectName(QStringLiteral("frmSetupNew"));
  setWindowTitle(QStringLiteral("Captions, Themes and Sorting Paths Setup"));
  SSTab1_ = new QTabWidget(this);
  SSTab1_->setObjectName(QStringLiteral("SSTab1"));
  auto* folders = new QWidget(SSTab1_);
  buildFolderTab(folders);
  SSTab1_->addTab(folders, QStringLiteral("Folders"));
  SSTab1_->addTab(
      buildNamesTab(Text1_, cataloguing::kThemes, QStringLiteral("Theme"), QStringLiteral("Text1")),
      QStringLiteral("Themes"));
  SSTab1_->addTab(buildNamesTab(txtRating_, cataloguing::kRatings, QStringLiteral("Rating"),
                                QStringLiteral("txtRating")),
                  QStringLiteral("Ratings"));

  cmdPresetCaptions_ = new QPushButton(QStringLiteral("Use Preset Captions Wizard"), this);
  cmdPresetCaptions_->setObjectName(QStringLiteral("cmdPresetCaptions"));
  cmdOK_ = new QPushButton(QStringLiteral("Done"), this);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdHelp_ = new QPushButton(QStringLiteral("Help"), this);
  cmdHelp_->setObjectName(QStringLiteral("cmdHelp"));
  lblMessage_ = new QLabel(this);
  lblMessage_->setObjectName(QStringLiteral("lblMessage"));
  lblMessage_->hide();
  txtIDP_ = hiddenBox(this, "txtIDP");
  txtMainPathCaption_ = hiddenBox(this, "txtMainPathCaption");
  txtSubPathIndex_ = hiddenBox(this, "txtSubPathIndex");
  txtSubPathCaption_ = hiddenBox(this, "txtSubPathCaption");
  txtSubPathPath_ = hiddenBox(this, "txtSubPathPath");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdPresetCaptions_);
  buttons->addStretch();
  buttons->addWidget(cmdHelp_);
  buttons->addWidget(cmdOK_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(SSTab1_, 1);
  layout->addLayout(buttons);
  // On a small screen the pages scroll inside their tabs; Done stays in view.
  scrollTabPages(SSTab1_, outsideScrollingPart(layout, buttons->sizeHint().height() +
                                                           std::max(0, layout->spacing())));
  resizeWithinScreen(this, QSize(640, 460));

  connect(lstMainDirs_, &QListWidget::itemClicked, this, &frmSetupNew::lstMainDirs_Click);
  connect(lstMainDirs_, &QListWidget::itemDoubleClicked, this,
          &frmSetupNew::cmdChangeMainCaption_Click);
  connect(lstSubDirs_, &QListWidget::itemClicked, this, &frmSetupNew::lstSubDirs_Click);
  connect(lstSubDirs_, &QListWidget::itemDoubleClicked, this,
          &frmSetupNew::cmdChangeSubSettings_Click);
  connect(cmdChangeMainCaption_, &QPushButton::clicked, this,
          &frmSetupNew::cmdChangeMainCaption_Click);
  connect(cmdChangeSubSettings_, &QPushButton::clicked, this,
          &frmSetupNew::cmdChangeSubSettings_Click);
  connect(cmdPresetCaptions_, &QPushButton::clicked, this, &frmSetupNew::cmdPresetCaptions_Click);
  connect(cmdOK_, &QPushButton::clicked, this, &frmSetupNew::cmdOK_Click);
  connect(cmdHelp_, &QPushButton::clicked, this, &frmSetupNew::cmdHelp_Click);
  Form_Load();
}

frmSetupNew::~frmSetupNew() {
  if (wizard_) delete wizard_.data();
}

void frmSetupNew::buildFolderTab(QWidget* tab) {
  lstMainDirs_ = new QListWidget(tab);
  lstMainDirs_->setObjectName(QStringLiteral("lstMainDirs"));
  lstSubDirs_ = new QListWidget(tab);
  lstSubDirs_->setObjectName(QStringLiteral("lstSubDirs"));
  // A deep folder's path gives way in its middle instead of widening the page.
  lblPath_ = new ElidedLabel(tab);
  lblPath_->setObjectName(QStringLiteral("lblPath"));
  lblPath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cmdChangeMainCaption_ = new QPushButton(QStringLiteral("Change Main Folder Caption"), tab);
  cmdChangeMainCaption_->setObjectName(QStringLiteral("cmdChangeMainCaption"));
  cmdChangeMainCaption_->setToolTip(QStringLiteral(
      "This changes the way this folder will be represented in the Glimmora viewer.  It DOES "
      "NOT change the actual folder name in Windows."));
  cmdChangeMainCaption_->setEnabled(false);
  cmdChangeSubSettings_ = new QPushButton(QStringLiteral("Change Sub-folder Settings"), tab);
  cmdChangeSubSettings_->setObjectName(QStringLiteral("cmdChangeSubSettings"));
  cmdChangeSubSettings_->setEnabled(false);

  auto* grid = new QGridLayout(tab);
  grid->addWidget(new QLabel(QStringLiteral("Main Folders (captions):"), tab), 0, 0);
  grid->addWidget(new QLabel(QStringLiteral("Sub-folders (captions):"), tab), 0, 1);
  grid->addWidget(lstMainDirs_, 1, 0);
  grid->addWidget(lstSubDirs_, 1, 1);
  grid->addWidget(cmdChangeMainCaption_, 2, 0);
  grid->addWidget(cmdChangeSubSettings_, 2, 1);
  grid->addWidget(lblPath_, 3, 0, 1, 2);
}

QWidget* frmSetupNew::buildNamesTab(QList<QLineEdit*>& boxes, int count, const QString& prefix,
                                    const QString& objectName) {
  auto* tab = new QWidget(SSTab1_);
  auto* grid = new QGridLayout(tab);
  const int perColumn = (count + 1) / 2;
  for (int k = 1; k <= count; ++k) {
    auto* box = new QLineEdit(tab);
    box->setObjectName(objectName + QString::number(k));
    box->installEventFilter(this);
    boxes.append(box);
    const int row = (k - 1) % perColumn;
    const int column = (k - 1) / perColumn * 2;
    grid->addWidget(new QLabel(prefix + u' ' + QString::number(k) + u':', tab), row, column);
    grid->addWidget(box, row, column + 1);
  }
  grid->setRowStretch(perColumn, 1);
  return tab;
}

catalogue::Database frmSetupNew::database() {
  return Data1_.database();
}

void frmSetupNew::Form_Load() {
  fillMainList(cataloguing::loadMainCaptions());
  Data1_.setDatabaseName(keys::database());
  Data1_.setRecordSource(QStringLiteral("SetupNew"));
  Data1_.bind(txtIDP_, QStringLiteral("IDP"));
  Data1_.bind(txtMainPathCaption_, QStringLiteral("MainPathCaption"));
  Data1_.bind(txtSubPathIndex_, QStringLiteral("SubPathIndex"));
  Data1_.bind(txtSubPathCaption_, QStringLiteral("SubPathCaption"));
  Data1_.bind(txtSubPathPath_, QStringLiteral("SubPathPath"));
  Data1_.setCheckForDamage(true);
  Data1_.refresh();
  // The set-up may write straight away (the paths below) and says at once when it cannot,
  // so it waits for the verdict here.
  if (refusedAsDamaged()) {
    // Read as it is; not one caption or path is written into a damaged file.
  } else if (!keys::pathsSet()) {
    // Every sub-folder still without a path points at the "images" folder beside the program.
    catalogue::Database db = database();
    if (cataloguing::pointUnsetPathsOnce(db, appState().ProgramFolder + QStringLiteral("images/")))
      Data1_.refresh();
  }
  const QStringList themes = cataloguing::loadThemeNames();
  const QStringList ratings = cataloguing::loadRatingNames();
  for (int k = 0; k < Text1_.size(); ++k) Text1_[k]->setText(themes.value(k));
  for (int k = 0; k < txtRating_.size(); ++k) txtRating_[k]->setText(ratings.value(k));
  SSTab1_->setCurrentIndex(0);
}

// A damaged catalogue is read but not written: said in plain words, with the cure.
bool frmSetupNew::refusedAsDamaged() {
  Data1_.settleDamageCheck();
  if (!Data1_.damaged()) return false;
  dialogs().message(catalogue::describeError(catalogue::DbError::Damaged, Data1_.databaseName()) +
                        QStringLiteral("\rThe folder captions and paths cannot be changed until "
                                       "it is repaired."),
                    MsgButtons::OK, MsgIcon::Exclamation, kProgramTitle, this);
  return true;
}

void frmSetupNew::fillMainList(const QStringList& captions, int select) {
  captions_ = captions;
  lstMainDirs_->clear();
  lstMainDirs_->addItems(captions);
  if (select >= 0 && select < captions.size()) lstMainDirs_->setCurrentRow(select);
}

void frmSetupNew::resetMainCaptions() {
  fillMainList(cataloguing::resetMainCaptions());
  lstSubDirs_->clear();
  cmdChangeMainCaption_->setEnabled(false);
  cmdChangeSubSettings_->setEnabled(false);
}

QString frmSetupNew::selectedMainCaption() const {
  const int row = lstMainDirs_->currentRow();
  return row >= 0 ? captions_.value(row) : QString();
}

void frmSetupNew::lstMainDirs_Click() {
  listSubFolders(-1);
}

void frmSetupNew::listSubFolders(int select) {
  lstSubDirs_->clear();
  lblPath_->clear();
  cmdChangeSubSettings_->setEnabled(false);
  if (lstMainDirs_->currentRow() < 0) return;
  catalogue::Database db = database();
  const auto subs = cataloguing::subFolders(db, selectedMainCaption());
  if (!subs) {  // the table does not know this caption: the set-up is damaged
    resetMainCaptions();
    return;
  }
  for (const cataloguing::SubFolder& sub : *subs) lstSubDirs_->addItem(sub.caption);
  cmdChangeMainCaption_->setEnabled(true);
  if (select >= 0 && select < lstSubDirs_->count()) {
    lstSubDirs_->setCurrentRow(select);
    lstSubDirs_Click();
  }
}

bool frmSetupNew::findSubFolderRow(int subIndex) {
  const QString criterion = QStringLiteral("MainPathCaption= ") +
                            catalogue::quoted(selectedMainCaption()) +
                            QStringLiteral(" AND SubPathIndex= ") + QString::number(subIndex);
  return Data1_.findFirst(criterion);
}

void frmSetupNew::lstSubDirs_Click() {
  const int row = lstSubDirs_->currentRow();
  if (row < 0) return;
  lblPath_->setText(findSubFolderRow(row + 1) ? txtSubPathPath_->text() : QString());
  cmdChangeSubSettings_->setEnabled(true);
}

void frmSetupNew::cmdChangeMainCaption_Click() {
  const int row = lstMainDirs_->currentRow();
  if (row < 0) {
    dialogs().message(QStringLiteral("You must select an item from the list."), MsgButtons::OK,
                      MsgIcon::None, kProgramTitle, this);
    return;
  }
  if (refusedAsDamaged()) return;
  const QString oldCaption = captions_.value(row);
  const auto answer = dialogs().input(QStringLiteral("Enter a new caption"),
                                      QStringLiteral("Change Setting"), oldCaption, this);
  const QString newCaption = answer ? answer->trimmed() : QString();
  if (newCaption.isEmpty()) return;
  if (cataloguing::isDuplicateCaption(captions_, row, newCaption)) {
    dialogs().message(QStringLiteral("There is already another main caption with that name"),
                      MsgButtons::OK, MsgIcon::None, QStringLiteral("Duplicate Caption"), this);
    return;
  }
  QStringList captions = captions_;
  captions[row] = newCaption;
  cataloguing::storeMainCaptions(captions);
  fillMainList(captions, row);
  Data1_.updateRecord();  // pending bound edits first, so the rename does not overwrite them
  catalogue::Database db = database();
  if (cataloguing::renameMainCaptionRows(db, oldCaption, newCaption) ==
      cataloguing::RenameOutcome::NotFound) {
    resetMainCaptions();
    return;
  }
  Data1_.refresh();
  listSubFolders(-1);
}

void frmSetupNew::cmdChangeSubSettings_Click() {
  const int row = lstSubDirs_->currentRow();
  if (row < 0 || !findSubFolderRow(row + 1) || refusedAsDamaged()) return;
  QPointer<frmSubPathsCaptions> dialog = new frmSubPathsCaptions(this);
  dialog->setValues(selectedMainCaption(), txtSubPathCaption_->text(), txtSubPathPath_->text());
  const int result = runDialog(dialog);
  if (!dialog) return;
  // Cancel leaves the row as it was; OK writes the caption and path through the bound boxes.
  if (result == QDialog::Accepted) {
    txtSubPathCaption_->setText(dialog->txtSubDirs()->text());
    txtSubPathPath_->setText(dialog->txtSubDirPath()->text());
    if (!Data1_.updateRecord())
      dialogs().message(catalogue::describeError(Data1_.lastErrorKind(), Data1_.databaseName()),
                        MsgButtons::OK, MsgIcon::Exclamation, kProgramTitle, this);
  }
  delete dialog.data();
  listSubFolders(row);
}

void frmSetupNew::cmdPresetCaptions_Click() {
  if (wizard_) {
    wizard_->raise();
    return;
  }
  wizard_ = new frmWizard(this);
  if (!wizard_->Form_Load()) {  // no sets: the wizard has said so; stay here
    delete wizard_.data();
    show();
    return;
  }
  hide();
  wizard_->show();
}

void frmSetupNew::setStatus(const QString& text) {
  if (lblMessage_->text() == text) return;
  lblMessage_->setText(text);
  lblMessage_Change();
}

// The wizard reports "Done"; the screen takes over again and says what happened.
void frmSetupNew::lblMessage_Change() {
  if (lblMessage_->text() == QStringLiteral("Done")) {
    if (wizard_) {
      wizard_->close();
      wizard_->deleteLater();
    }
    show();
    raise();
    setStatus(QStringLiteral("No"));
  } else if (lblMessage_->text() == QStringLiteral("No")) {
    dialogs().message(QStringLiteral("Presets have been applied!  You may customize them\r"
                                     "however you wish.  Press 'Done' when you're done."),
                      MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
  }
}

void frmSetupNew::cmdOK_Click() {
  QStringList themes, ratings;
  for (QLineEdit* box : std::as_const(Text1_)) themes << box->text();
  for (QLineEdit* box : std::as_const(txtRating_)) ratings << box->text();
  cataloguing::storeThemeNames(themes);
  cataloguing::storeRatingNames(ratings);
  Data1_.updateRecord();
  bool openAdding = false;
  if (keys::formsRunStat() < 1) {
    keys::writeInt(keys::kFormsRunStat, 1);
    appState().FormsRunStat = qMax<qint16>(appState().FormsRunStat, 1);
    openAdding = dialogs().message(
                     QStringLiteral("Before you can use the viewer, you must add images to "
                                    "the database. \rWould you like to continue on to the "
                                    "image adding screen now?"),
                     MsgButtons::YesNo, MsgIcon::None,
                     QStringLiteral("Continue to Image Adding Screen?"), this) == MsgResult::Yes;
  }
  if (openAdding) {
    auto* adding = forms::get<frmAddDirsToDB>();
    adding->show();
    adding->raise();
  }
  close();
}

void frmSetupNew::cmdHelp_Click() {
  help::showContents(appState().HelpFile);
}

bool frmSetupNew::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn)
    if (auto* box = qobject_cast<QLineEdit*>(watched))
      QTimer::singleShot(0, box, &QLineEdit::selectAll);
  return QWidget::eventFilter(watched, event);
}

void frmSetupNew::closeEvent(QCloseEvent* event) {
  Data1_.updateRecord();
  if (wizard_) wizard_->close();
  event->accept();
}

}  // namespace glim
