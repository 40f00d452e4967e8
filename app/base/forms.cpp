#include "base/forms.h"

namespace glim::forms {

namespace {
QList<QPointer<QWidget>>& registry() {
  static QList<QPointer<QWidget>> list;
  return list;
}
void prune() {
  registry().removeIf([](const QPointer<QWidget>& p) { return p.isNull(); });
}
}  // namespace

void track(QWidget* form) {
  prune();
  for (const auto& p : registry())
    if (p == form) return;
  registry().append(form);
}

QList<QWidget*> openForms() {
  prune();
  QList<QWidget*> out;
  for (const auto& p : registry()) out.append(p.data());
  return out;
}

void closeAll(int downTo) {
  QList<QWidget*> open = openForms();
  for (int i = int(open.size()) - 1; i >= std::max(0, downTo); --i) {
    QPointer<QWidget> w = open[i];
    if (w) w->close();
  }
}

}  // namespace glim::forms

namespace glim {
namespace {
MainFormLink* g_link = nullptr;
}
MainFormLink* mainFormLink() {
  return g_link;
}
void setMainFormLink(MainFormLink* link) {
  g_link = link;
}
}  // namespace glim
