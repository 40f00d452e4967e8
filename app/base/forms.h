// Windows are single instances created on first use and kept until closed. This registry
// keeps them in opening order, so shutdown can close the last opened first, and lets one
// window find another without the modules depending on each other.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

namespace glim::forms {

// Records a window as open; it leaves the list when destroyed. Forms call this in their
// constructor.
void track(QWidget* form);
// Open windows, first opened first.
QList<QWidget*> openForms();

// The open instance of a form class, or nullptr.
template <class T>
T* find() {
  for (QWidget* w : openForms())
    if (auto* t = qobject_cast<T*>(w)) return t;
  return nullptr;
}

// The open instance, or a new one (created on first use and deleted when closed).
template <class T>
T* get() {
  if (T* t = find<T>()) return t;
  T* t = new T();
  t->setAttribute(Qt::WA_DeleteOnClose);
  track(t);
  return t;
}

// Closes every open window from the last opened down to the one at index `downTo`
// (0 closes them all).
void closeAll(int downTo = 0);

}  // namespace glim::forms

namespace glim {

// What other windows need of the main window, reachable without linking the shell.
class MainFormLink {
 public:
  virtual ~MainFormLink() = default;
  // The hidden state label: "AOTNCL", "NAOTNCL", "AOTCL" or "NAOTCL".
  virtual QString messageCaption() const = 0;
  virtual void setMessageCaption(const QString& caption) = 0;
  // Closes the viewer when it is open (its unload writes back the current row).
  virtual void closeViewerIfOpen() = 0;
};

// The main window registers itself here when it loads; nullptr before that and in tests
// that run without it.
MainFormLink* mainFormLink();
void setMainFormLink(MainFormLink* link);

}  // namespace glim
