#include "query/frmQuerySave.h"

#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/buttonrow.h"
#include "base/dialogs.h"
#include "base/textnum.h"
#include "query/frmQuery.h"

namespace glim {

frmQuerySave::frmQuerySave(QLineEdit* txtSaveFileName, QWidget* parent)
    : QDialog(parent), result_(txtSaveFileName) {
  setObjectName(QStringLiteral("frmQuerySave"));
  setWindowTitle(QStringLiteral("Save Query"));
  setModal(true);

  txtFilename = new QLineEdit(this);
  txtFilename->setObjectName(QStringLiteral("txtFilename"));
  FileSaveQuery = new QListWidget(this);
  FileSaveQuery->setObjectName(QStringLiteral("FileSaveQuery"));
  cmdSave = new QPushButton(QStringLiteral("&Save"), this);
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cmdSave->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("File Name:"), this));
  layout->addWidget(txtFilename);
  layout->addWidget(FileSaveQuery);
  layout->addLayout(rightAlignedButtons({cmdSave, cmdCancel}));

  const QStringList files =
      QDir(frmQuery::userFolder()).entryList({QStringLiteral("*.qry")}, QDir::Files, QDir::Name);
  FileSaveQuery->addItems(files);

  connect(FileSaveQuery, &QListWidget::itemClicked, this, &frmQuerySave::FileSaveQuery_Click);
  connect(cmdSave, &QPushButton::clicked, this, &frmQuerySave::cmdSave_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmQuerySave::cmdCancel_Click);
  txtFilename->installEventFilter(this);
  txtFilename->setFocus();
}

std::optional<QString> frmQuerySave::queryName(const QString& typed) {
  QString name = typed;
  if (name.endsWith(QLatin1String(".qry"))) name.chop(4);
  static const QString kForbidden = QStringLiteral("'.,/\\;?:<>|*");
  for (QChar ch : name)
    if (kForbidden.contains(ch)) return std::nullopt;
  // A name of blanks alone would leave only ".qry", a hidden file the list never shows.
  name = textnum::trim(name);
  if (name.isEmpty()) return std::nullopt;
  return name;
}

bool frmQuerySave::eventFilter(QObject* watched, QEvent* event) {
  // Focusing the box selects its whole text (after the click that gave the focus).
  if (watched == txtFilename && event->type() == QEvent::FocusIn)
    QTimer::singleShot(0, txtFilename, &QLineEdit::selectAll);
  return QDialog::eventFilter(watched, event);
}

void frmQuerySave::FileSaveQuery_Click() {
  QListWidgetItem* item = FileSaveQuery->currentItem();
  if (!item) return;
  QString name = item->text();
  if (name.endsWith(QLatin1String(".qry"))) name.chop(4);
  txtFilename->setText(name);
}

void frmQuerySave::cmdSave_Click() {
  const std::optional<QString> name = queryName(txtFilename->text());
  if (!name) {
    dialogs().message(QStringLiteral("Invalid Filename!") +
                          QStringLiteral("  Enter ONLY the filename.  Do not enter the path or "
                                         "extension.  Check for invalid characters."),
                      MsgButtons::OK, MsgIcon::None, QStringLiteral("Filename Error"), this);
    txtFilename->clear();
    return;
  }
  const QString path = frmQuery::userFolder() + *name + QStringLiteral(".qry");
  if (QFileInfo::exists(path)) {
    const MsgResult answer = dialogs().message(
        QStringLiteral("The File ") + *name + QStringLiteral(" already exists.  Replace it?"),
        MsgButtons::YesNo, MsgIcon::None, QStringLiteral("File Exists"), this);
    if (answer != MsgResult::Yes) {
      result_->setText(kUserCanceled);
      accept();
      return;
    }
    // The old file is not deleted here: writing replaces it as a whole, so a failed write
    // leaves the old query in place.
  }
  result_->setText(path);
  accept();
}

void frmQuerySave::cmdCancel_Click() {
  result_->setText(kUserCanceled);
  QDialog::reject();
}

}  // namespace glim
