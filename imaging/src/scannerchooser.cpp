#include "scannerchooser.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace rastrel::impl {

QVector<ScannerRow> parseScannerList(const QByteArray& list) {
  QVector<ScannerRow> rows;
  for (const QByteArray& line : list.split('\n')) {
    const QList<QByteArray> f = line.split('\t');
    if (f.size() < 4 || f[0].isEmpty()) continue;
    rows.push_back({QString::fromUtf8(f[0]), QString::fromUtf8(f[1]), QString::fromUtf8(f[2]),
                    QString::fromUtf8(f[3])});
  }
  return rows;
}

ScannerChooser::ScannerChooser(const QVector<ScannerRow>& rows, const QString& current,
                               QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)) {
  setObjectName(QStringLiteral("ScannerChooser"));
  setWindowTitle(QStringLiteral("Select Source"));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(QStringLiteral("&Scanners:"), this);
  label->setBuddy(list_);
  layout->addWidget(label);
  list_->setColumnCount(4);
  list_->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Vendor"),
                          QStringLiteral("Model"), QStringLiteral("Type")});
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  for (const ScannerRow& r : rows) {
    auto* item = new QTreeWidgetItem(list_, {r.name, r.vendor, r.model, r.type});
    if (r.name == current || list_->topLevelItemCount() == 1) list_->setCurrentItem(item);
  }
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  // Wide enough for every column, so the window shows whole names without scrolling.
  const QFontMetrics metrics(list_->font());
  const int padding = 4 * list_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_);
  int width = 2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width();
  for (int c = 0; c < list_->columnCount(); ++c) {
    int column = list_->header()->sectionSizeHint(c);
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
      column =
          std::max(column, metrics.horizontalAdvance(list_->topLevelItem(i)->text(c)) + padding);
    width += column;
  }
  list_->setMinimumWidth(width);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Select"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
}

QString ScannerChooser::chosenName() const {
  const QTreeWidgetItem* item = list_->currentItem();
  return item ? item->text(0) : QString();
}

}  // namespace rastrel::impl
