#include "shell/frmOptions.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/fittingarea.h"
#include "base/frmPleaseWait.h"
#include "base/help.h"
#include "base/keys.h"
#include "base/textnum.h"
#include "base/wrapbuttons.h"
#include "catalogue/maintenance.h"
#include "shell/credentials.h"
#include "shell/shutdown.h"

namespace glim {

namespace {

constexpr int kMinSlide = 3;
constexpr int kMaxSlide = 60;

template <class T>
T* named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QVBoxLayout* column(QWidget* parent) {
  auto* layout = new QVBoxLayout(parent);
  layout->setAlignment(Qt::AlignTop);
  return layout;
}

}  // namespace

frmOptions::frmOptions() {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Glimmora Options"));
  SSTab1 = named(new QTabWidget, "SSTab1");
  SSTab1->addTab(buildViewingTab(), QStringLiteral("Viewing"));
  SSTab1->addTab(buildSecurityTab(), QStringLiteral("Security"));
  SSTab1->addTab(buildDatabaseTab(), QStringLiteral("Database"));
  SSTab1->addTab(buildSlideShowTab(), QStringLiteral("Slide Show"));
  // On a screen too small for the tabs they scroll; the command buttons stay in reach.
  auto* pages = new FittingScrollArea(SSTab1);
  pages->setObjectName(QStringLiteral("optionsArea"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages);
  layout->addWidget(buildButtons());
  // Tall enough for the longest page where the screen allows (a window's own first size
  // would stop at two thirds of the screen and scroll).
  resizeWithinScreen(this, sizeHint());
  Form_Load();
  watchChanges();
  loading_ = false;
}

frmOptions::~frmOptions() {
  Data1.detach();
}

QWidget* frmOptions::buildViewingTab() {
  auto* tab = new QWidget;
  auto* layout = column(tab);
  optFullScreen =
      named(new QRadioButton(QStringLiteral("Start viewer using full screen.")), "optFullScreen");
  optRegSize = named(new QRadioButton(QStringLiteral("Start viewer at regular size. (default)")),
                     "optRegSize");
  auto* deletions = named(new QGroupBox(QStringLiteral("Image Deletions")), "fraDeletions");
  chkAllowDeletes = named(new WrapCheckBox(QStringLiteral(
                              "Don't ask for a confirmation on deletions or file wipes (secure "
                              "deletions).")),
                          "chkAllowDeletes");
  column(deletions)->addWidget(chkAllowDeletes);
  layout->addWidget(optFullScreen);
  layout->addWidget(optRegSize);
  layout->addWidget(deletions);
  connect(chkAllowDeletes, &QCheckBox::clicked, this, &frmOptions::chkAllowDeletes_Click);
  return tab;
}

QWidget* frmOptions::buildSecurityTab() {
  auto* tab = new QWidget;
  auto* layout = column(tab);
  chkPasswordPrompt = named(
      new WrapCheckBox(QStringLiteral("Prompt for a new password when the current password will "
                                      "not open an encrypted image. (This does not apply to "
                                      "slide-shows).")),
      "chkPasswordPrompt");
  fraSecurity1 = named(new QGroupBox(QStringLiteral("Program Security")), "fraSecurity1");
  chkUseNamePass =
      named(new QCheckBox(QStringLiteral("Require Login For Glimmora")), "chkUseNamePass");
  lblUserName = named(new QLabel(QStringLiteral("User Name:")), "lblUserName");
  lblUserPassword = named(new QLabel(QStringLiteral("Password:")), "lblUserPassword");
  txtUserName = named(new QLineEdit, "txtUserName");
  txtUserPassword = named(new QLineEdit, "txtUserPassword");
  txtUserPassword->setEchoMode(QLineEdit::Password);
  cmdUpdateNamePassword =
      named(new QPushButton(QStringLiteral("Update Name And Password")), "cmdUpdateNamePassword");
  // Name and password are short texts: their boxes and the button keep a modest width
  // however wide the window is.
  const int boxWidth = txtUserName->fontMetrics().averageCharWidth() * 28;
  txtUserName->setMaximumWidth(boxWidth);
  txtUserPassword->setMaximumWidth(boxWidth);
  cmdUpdateNamePassword->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* fields = new QFormLayout;
  fields->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  fields->addRow(lblUserName, txtUserName);
  fields->addRow(lblUserPassword, txtUserPassword);
  auto* security = column(fraSecurity1);
  security->addWidget(chkUseNamePass);
  security->addLayout(fields);
  security->addWidget(cmdUpdateNamePassword, 0, Qt::AlignLeft);
  chkPasswordPromptForAutoSlides = named(
      new WrapCheckBox(QStringLiteral(
          "When starting an auto-slideshow from a .qry file, prompt for a password in order to "
          "show password protected images.   (must be checked to view encrypted pics)")),
      "chkPasswordPromptForAutoSlides");
  layout->addWidget(chkPasswordPrompt);
  layout->addWidget(fraSecurity1);
  layout->addWidget(chkPasswordPromptForAutoSlides);
  connect(cmdUpdateNamePassword, &QPushButton::clicked, this,
          &frmOptions::cmdUpdateNamePassword_Click);
  return tab;
}

QWidget* frmOptions::buildDatabaseTab() {
  auto* tab = new QWidget;
  auto* layout = column(tab);
  auto* frame = named(new QGroupBox(QStringLiteral("Database Options")), "fraDatabase");
  auto* inner = column(frame);
  const char* captions[5] = {
      "Remove records of missing images from the database  (this also repairs and compacts)",
      "Repair and compact the database", "Backup the database", "Restore a backup of the database",
      "Start with a fresh database (note, this backs up your current database)"};
  for (int i = 0; i < 5; ++i) {
    Option1[i] = new WrapRadioButton(QString::fromLatin1(captions[i]));
    Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
    inner->addWidget(Option1[i]);
  }
  cmdGoDB = named(new QPushButton(QStringLiteral("GO")), "cmdGoDB");
  inner->addWidget(cmdGoDB, 0, Qt::AlignRight);
  txtPathname = named(new QLineEdit, "txtPathname");
  txtStatus = named(new QLineEdit, "txtStatus");
  txtPathname->setReadOnly(true);
  txtPathname->hide();
  txtStatus->hide();
  Data1.setObjectName(QStringLiteral("Data1"));
  Data1.bind(txtPathname, QStringLiteral("Pathname"));
  Data1.bind(txtStatus, QStringLiteral("Status"));
  layout->addWidget(frame);
  layout->addWidget(txtPathname);
  layout->addWidget(txtStatus);
  connect(cmdGoDB, &QPushButton::clicked, this, &frmOptions::cmdGoDB_Click);
  // GO acts on the chosen operation only: with none chosen it would remove rows.
  cmdGoDB->setEnabled(false);
  for (QRadioButton* option : Option1)
    connect(option, &QRadioButton::toggled, cmdGoDB, [this] { cmdGoDB->setEnabled(true); });
  return tab;
}

QWidget* frmOptions::buildSlideShowTab() {
  auto* tab = new QWidget;
  auto* layout = column(tab);
  auto* screen = named(new QGroupBox(QStringLiteral("Screen Default")), "fraScreenDefault");
  optSlideNormal = named(new QRadioButton(QStringLiteral("Default to normal screen for Slides")),
                         "optSlideNormal");
  optSlideFullScreen = named(new QRadioButton(QStringLiteral("Default to full screen for Slides")),
                             "optSlideFullScreen");
  column(screen)->addWidget(optSlideNormal);
  screen->layout()->addWidget(optSlideFullScreen);

  auto* start = named(new QGroupBox(QStringLiteral("Slide Show Start")), "fraSlideStart");
  chkAutoStartQRY = named(
      new WrapCheckBox(QStringLiteral("Automatically start slide shows when I click a QRY file in "
                                      "Windows Explorer")),
      "chkAutoStartQRY");
  optCurrentPic =
      named(new QRadioButton(QStringLiteral("Start from current picture")), "optCurrentPic");
  optFirstPic =
      named(new QRadioButton(QStringLiteral("Start Slide show from first picture in set")),
            "optFirstPic");
  auto* startLayout = column(start);
  startLayout->addWidget(chkAutoStartQRY);
  startLayout->addWidget(optCurrentPic);
  startLayout->addWidget(optFirstPic);

  auto* repeating = named(new QGroupBox(QStringLiteral("Repeating")), "fraRepeating");
  chkRepeatSlides =
      named(new QCheckBox(QStringLiteral("Slide show auto-repeat")), "chkRepeatSlides");
  column(repeating)->addWidget(chkRepeatSlides);

  auto* timing = named(new QGroupBox(QStringLiteral("Slide Show Timing")), "fraTiming");
  txtSlideTime = named(new QLineEdit, "txtSlideTime");
  txtSlideTime->setMaximumWidth(50);
  VScroll1 = named(new QScrollBar(Qt::Vertical), "VScroll1");
  VScroll1->setRange(61 - kMaxSlide, 61 - kMinSlide);
  VScroll1->setFixedHeight(txtSlideTime->sizeHint().height() + 8);
  auto* row = new QHBoxLayout;
  row->addWidget(txtSlideTime);
  row->addWidget(VScroll1);
  row->addWidget(new QLabel(QStringLiteral("Seconds.")));
  row->addStretch();
  auto* timingLayout = column(timing);
  timingLayout->addWidget(new QLabel(QStringLiteral("During slide shows, change slides every...")));
  timingLayout->addLayout(row);

  layout->addWidget(screen);
  layout->addWidget(start);
  layout->addWidget(repeating);
  layout->addWidget(timing);
  connect(txtSlideTime, &QLineEdit::textChanged, this, &frmOptions::txtSlideTime_Change);
  connect(VScroll1, &QScrollBar::valueChanged, this, &frmOptions::VScroll1_Change);
  return tab;
}

QWidget* frmOptions::buildButtons() {
  auto* box = new QWidget;
  auto* layout = new QHBoxLayout(box);
  cmdOK = named(new QPushButton(QStringLiteral("OK")), "cmdOK");
  cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
  cmdApply = named(new QPushButton(QStringLiteral("Apply")), "cmdApply");
  cmdHelp = named(new QPushButton(QStringLiteral("Help")), "cmdHelp");
  layout->addStretch();
  for (QPushButton* b : {cmdOK, cmdCancel, cmdApply, cmdHelp}) layout->addWidget(b);
  connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
  connect(cmdApply, &QPushButton::clicked, this, &frmOptions::cmdApply_Click);
  connect(cmdHelp, &QPushButton::clicked, this, &frmOptions::cmdHelp_Click);
  return box;
}

void frmOptions::setSecurityEnabled(bool enabled) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           fraSecurity1, chkUseNamePass, lblUserName, lblUserPassword, txtUserName, txtUserPassword,
           cmdUpdateNamePassword, chkPasswordPromptForAutoSlides})
    w->setEnabled(enabled);
}

void frmOptions::Form_Load() {
  AppState& state = appState();
  // The store keeps only the password's hash, so the password box starts empty.
  txtUserName->setText(state.StoredUserName);
  txtUserPassword->clear();
  setSecurityEnabled(false);

  qint16 seconds = keys::slideTime(keys::kSlideTimeNotStored);
  if (seconds == keys::kSlideTimeNotStored) {
    keys::writeText(keys::kSlideTime, QStringLiteral("7"));
    seconds = 7;
  }
  txtSlideTime->setText(QString::number(seconds));
  cmdApply->setEnabled(false);

  state.ConfirmDeletes = keys::confirmDeletes();
  chkAllowDeletes->setChecked(!state.ConfirmDeletes);
  chkAutoStartQRY->setChecked(keys::autoStartQry());
  chkPasswordPrompt->setChecked(keys::passwordPrompt() == 1);

  const bool locked = credentials::useLogin();
  chkUseNamePass->setChecked(locked);
  if (!locked) setSecurityEnabled(true);
  chkPasswordPromptForAutoSlides->setChecked(true);

  (keys::startPic() == QStringLiteral("First") ? optFirstPic : optCurrentPic)->setChecked(true);
  chkRepeatSlides->setChecked(keys::autoRepeat() == 1);
  (keys::dftSlideSize() == QStringLiteral("Full") ? optSlideFullScreen : optSlideNormal)
      ->setChecked(true);

  const QString catalogue = keys::database();
  if (QFileInfo(catalogue).isFile()) {
    Data1.setDatabaseName(catalogue);
    Data1.setRecordSource(QStringLiteral("tbl1"));
    Data1.refresh();
  }

  QString viewerSize = keys::dftViewerSize(keys::kViewerSizeNotStored);
  if (viewerSize == keys::kViewerSizeNotStored) {
    keys::writeText(keys::kDftViewerSize, QStringLiteral("Normal"));
    viewerSize = QStringLiteral("Normal");
  }
  (viewerSize == QStringLiteral("Normal") ? optRegSize : optFullScreen)->setChecked(true);
  SSTab1->setCurrentIndex(0);
}

void frmOptions::watchChanges() {
  for (QCheckBox* box : {chkAllowDeletes, chkPasswordPrompt, chkUseNamePass,
                         chkPasswordPromptForAutoSlides, chkAutoStartQRY, chkRepeatSlides})
    connect(box, &QCheckBox::toggled, this, &frmOptions::changed);
  for (QRadioButton* option :
       {optFullScreen, optRegSize, optSlideNormal, optSlideFullScreen, optCurrentPic, optFirstPic})
    connect(option, &QRadioButton::toggled, this, &frmOptions::changed);
  for (QLineEdit* edit : {txtUserName, txtUserPassword})
    connect(edit, &QLineEdit::textChanged, this, &frmOptions::changed);
}

void frmOptions::changed() {
  if (!loading_) cmdApply->setEnabled(true);
}

QString frmOptions::ruledSlideTime(const QString& text) {
  const auto value = textnum::toDouble(text);
  if (!value) return QString::number(kMinSlide);  // "0", which becomes "3"
  if (*value < kMinSlide) return QString::number(kMinSlide);
  if (*value > kMaxSlide) return QString::number(kMaxSlide);
  return text;
}

void frmOptions::txtSlideTime_Change() {
  changed();
  if (inSlideRule_) return;
  inSlideRule_ = true;
  const QString ruled = ruledSlideTime(txtSlideTime->text());
  if (ruled != txtSlideTime->text()) txtSlideTime->setText(ruled);
  const auto seconds = textnum::toInt16(ruled).value_or(kMinSlide);
  VScroll1->setValue(61 - seconds);
  inSlideRule_ = false;
}

void frmOptions::VScroll1_Change() {
  changed();
  if (inSlideRule_) return;
  inSlideRule_ = true;
  txtSlideTime->setText(QString::number(61 - VScroll1->value()));
  inSlideRule_ = false;
}

void frmOptions::chkAllowDeletes_Click() {
  // Written at the click: Cancel does not undo it.
  const bool confirm = !chkAllowDeletes->isChecked();
  keys::writeFlag(keys::kConfirmDeletes, confirm);
  changed();
}

void frmOptions::cmdApply_Click() {
  txtSlideTime->setText(ruledSlideTime(txtSlideTime->text()));
  keys::writeInt(keys::kSlideTime, textnum::toInt16(txtSlideTime->text()).value_or(kMinSlide));
  keys::writeText(keys::kStartPic,
                  optFirstPic->isChecked() ? QStringLiteral("First") : QStringLiteral("Current"));
  appState().ConfirmDeletes = !chkAllowDeletes->isChecked();
  keys::writeFlag(keys::kConfirmDeletes, appState().ConfirmDeletes);

  // Locking the program with no user name and password stored would lock the user out.
  if (chkUseNamePass->isChecked() && !credentials::useLogin() &&
      !credentials::haveValidCredentials()) {
    chkUseNamePass->setChecked(false);
    dialogs().message(
        QStringLiteral("A user name and password must be stored (\"Update Name And Password\") "
                       "before a login can be required. The login has not been turned on."),
        MsgButtons::OK, MsgIcon::Exclamation, QStringLiteral("Program Security"), this);
  }
  credentials::writeLoginFlag(chkUseNamePass->isChecked());

  keys::writeBit(keys::kAutoRepeat, chkRepeatSlides->isChecked());
  keys::writeFlag(keys::kAutoStartQry, chkAutoStartQRY->isChecked());
  keys::writeText(keys::kDftSlideSize, optSlideFullScreen->isChecked() ? QStringLiteral("Full")
                                                                       : QStringLiteral("Normal"));
  keys::writeBit(keys::kPasswordPrompt, chkPasswordPrompt->isChecked());
  keys::writeFlag(keys::kQryPasswordPrompt, chkPasswordPromptForAutoSlides->isChecked());
  // The viewer-size choice is stored too, so that it is kept between runs.
  keys::writeText(keys::kDftViewerSize,
                  optFullScreen->isChecked() ? QStringLiteral("Full") : QStringLiteral("Normal"));
  cmdApply->setEnabled(false);
}

void frmOptions::cmdOK_Click() {
  cmdApply_Click();
  close();
}

void frmOptions::cmdCancel_Click() {
  close();
}

void frmOptions::cmdHelp_Click() {
  help::showTopic(appState().HelpFile, 16);
}

void frmOptions::cmdUpdateNamePassword_Click() {
  cmdApply->setEnabled(true);
  const QString password = textnum::trim(txtUserPassword->text());
  const QString name = textnum::trim(txtUserName->text());
  if (textnum::length(password) < credentials::kMinPasswordLength) {
    dialogs().message(QStringLiteral("Password must be 8 characters or longer"), MsgButtons::OK,
                      MsgIcon::Critical, QStringLiteral("Password Error"), this);
    txtUserPassword->setFocus();
    return;
  }
  if (textnum::length(name) < credentials::kMinUserNameLength) {
    dialogs().message(QStringLiteral("Username must be 3 characters or longer"), MsgButtons::OK,
                      MsgIcon::Critical, QStringLiteral("Username Error"), this);
    txtUserName->setFocus();
    return;
  }
  if (!credentials::storeCredentials(name, password)) {
    dialogs().message(QStringLiteral("Error saving new username and password."), MsgButtons::OK,
                      MsgIcon::None, QString(), this);
    return;
  }
  AppState& state = appState();
  credentials::loadCredentials();
  state.LoginUserName = name;
  state.LoginPassword = password;
  dialogs().message(QStringLiteral("Username and password have been updated.  Please \r"
                                   "remember your password.  There is no way to get it\r"
                                   "if you forget."),
                    MsgButtons::OK, MsgIcon::None, kProgramTitle, this);
}

void frmOptions::cmdGoDB_Click() {
  int index = -1;
  for (int i = 0; i < 5; ++i) {
    if (Option1[i]->isChecked()) {
      index = i;
      break;
    }
  }
  if (index < 0) return;
  const auto operation = static_cast<catalogue::maintenance::Operation>(index);
  frmPleaseWait::showWindow();
  catalogue::maintenance::Context context;
  context.programFolder = appState().ProgramFolder;
  context.databasePath = keys::database();
  context.view = &Data1;
  context.progress = [](int, int) { QCoreApplication::processEvents(); };
  const auto result = catalogue::maintenance::run(operation, context);
  // Every path ends with the window usable again, failures included.
  frmPleaseWait::closeWindow();
  const auto message = catalogue::maintenance::messageFor(result);
  dialogs().message(message.text, MsgButtons::OK, message.icon, message.title, this);
  QCoreApplication::processEvents();
  if (operation != catalogue::maintenance::Operation::Replace || !result.ok()) return;

  // After a replacement the captions start again and the program must restart; a replacement
  // that failed changed nothing, so the captions and the running program stay.
  for (int i = 1; i <= 7; ++i) keys::writeText(keys::mainPathKey(i), keys::mainPathKey(i));
  dialogs().message(QStringLiteral("You must exit and restart Glimmora now."), MsgButtons::OK,
                    MsgIcon::None, QStringLiteral("Exiting Glimmora"), this);
  shutdown::exitProgram();
}

}  // namespace glim
