// The control's six property pages (GenProps, MiscPpg, PICViewPpg, SavePpg, ViewPpg, DrawPpg)
// as tabs of one dialog. Each page control is bound to one DISPID: the page reads the values
// through the control's dispatch interface when it opens and puts the changed ones back when
// the changes are applied (Apply or OK).
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "rastrel3.h"

class QTabWidget;

namespace rastrel::impl {

// The display texts of an enumerated property's list, in value order.
QStringList enumTexts(DISPID id);
// The open-file filter of the "..." buttons, in Qt's form.
QString pictureFileFilter();

class PropertyPage : public QWidget {
  Q_OBJECT
 public:
  struct Field;
  PropertyPage(const QString& className, const QString& title, IRastrel* control,
               QWidget* parent = nullptr);
  ~PropertyPage() override;
  const QString& className() const { return className_; }
  const QString& title() const { return title_; }
  // Reads every bound value from the control.
  void load();
  // Puts every changed value; stops at the first refusal and returns its code.
  HRESULT apply();
  bool isDirty() const;

 private:
  void build();
  QString className_, title_;
  IRastrel* control_;
  std::vector<std::unique_ptr<Field>> fields_;
};

class PropertyDialog : public QDialog {
  Q_OBJECT
 public:
  PropertyDialog(IRastrel* control, QWidget* parent);
  ~PropertyDialog() override;
  QTabWidget* tabs() const { return tabs_; }
  PropertyPage* page(int index) const;
  HRESULT applyAll();

 private:
  IRastrel* control_;
  QTabWidget* tabs_;
};

std::unique_ptr<PropertyDialog> createPropertyDialog(IRastrel* control, QWidget* parent);

// The "..." buttons ask this for a file (the start text, the filter); the default shows the
// system's open-file dialog. Tests install their own.
using OpenFileHook = std::function<QString(const QString& start, const QString& filter)>;
void setOpenFileHook(OpenFileHook hook);

}  // namespace rastrel::impl
