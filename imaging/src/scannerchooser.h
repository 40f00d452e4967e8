// The scanner chooser of TwainSelect: the scanners found, one row each, and the one to use.
#pragma once

#include <QDialog>
#include <QString>
#include <QVector>

class QTreeWidget;

namespace rastrel::impl {

struct ScannerRow {
  QString name, vendor, model, type;
};

// The rows of the engine's scanner list ("name\tvendor\tmodel\ttype" lines).
QVector<ScannerRow> parseScannerList(const QByteArray& list);

class ScannerChooser final : public QDialog {
  Q_OBJECT
 public:
  ScannerChooser(const QVector<ScannerRow>& rows, const QString& current, QWidget* parent);
  // The device name of the chosen row, "" when none is chosen.
  QString chosenName() const;

 private:
  QTreeWidget* list_;
};

}  // namespace rastrel::impl
