// The control's property pages (GenProps, MiscPpg, PICViewPpg, SavePpg, ViewPpg, DrawPpg and
// the stock font, colour and picture pages) as tabs of one dialog. Each page control is bound to
// one DISPID: the page reads the values through the control's dispatch interface when it opens and
// puts the changed ones back when the changes are applied (Apply or OK).
#pragma once

#include <QColor>
#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "rastrel3.h"

class QLabel;
class QTabWidget;
class QVBoxLayout;

namespace rastrel::impl {

// One entry of an enumerated property's list: the value it sets and its text.
struct EnumChoice {
  int value;
  QString text;
};
// The entries of an enumerated property's list, in list order.
QList<EnumChoice> enumChoices(DISPID id);
// The texts of that list.
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
  // Why the last apply stopped: the control's error for the refused value.
  const QString& refusal() const { return refusal_; }

 private:
  void build();
  void buildPictureField(Field* field, const QString& caption, QVBoxLayout* outer);
  QString refusalText(const QString& caption, HRESULT hr) const;
  QString refusal_;
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
  void fitToScreen();

  IRastrel* control_;
  QTabWidget* tabs_;
  QLabel* lblError_;
};

std::unique_ptr<PropertyDialog> createPropertyDialog(IRastrel* control, QWidget* parent);

// The "..." buttons ask this for a file (the start text, the filter); the default shows the
// system's open-file dialog. Tests install their own.
using OpenFileHook = std::function<QString(const QString& start, const QString& filter)>;
void setOpenFileHook(OpenFileHook hook);

// The colour buttons of the colour page ask this for a colour (an invalid one for none); the
// default shows the system's colour dialog. Tests install their own.
using ChooseColorHook = std::function<QColor(const QColor& start)>;
void setChooseColorHook(ChooseColorHook hook);

}  // namespace rastrel::impl
