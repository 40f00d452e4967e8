#include "shellfixture.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "base/forms.h"
#include "catalogue/database.h"
#include "shell/shutdown.h"

namespace glim::test {

int tbl1Count(const QString& catalogue) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  if (!db.isOpen()) return -1;
  const QVariant n = db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl1"));
  return n.isValid() ? n.toInt() : -1;
}

QVariant tbl1Field(const QString& catalogue, const QString& field) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  return db.scalar(QStringLiteral("SELECT ") + field + QStringLiteral(" FROM tbl1"));
}

int& endedWith() {
  static int code = -1;
  return code;
}

void catchProcessEnd() {
  endedWith() = -1;
  shutdown::setEnder([](int code) { endedWith() = code; });
}

void closeAllWindows() {
  catchProcessEnd();
  const QList<QWidget*> open = forms::openForms();
  for (QWidget* w : open) {
    QPointer<QWidget> p = w;
    if (p) p->close();
    if (p) delete p.data();
  }
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isWindow() && w->isVisible()) w->close();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace glim::test
