// The viewer's keyboard and mouse: hot keys, rating boxes, theme buttons and tabs, the
// rubber band and the context menu.
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "viewer/frmDBScreenTest.h"

namespace glim {

using namespace viewer;

namespace {
constexpr int kEscape = 27;

// The character code of a key press, as the hot keys count it; 0 for keys without one.
int keyAscii(const QKeyEvent* event) {
  const QString text = event->text();
  if (event->key() == Qt::Key_Backspace) return 8;
  if (text.size() != 1) return 0;
  return text.front().unicode();
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Keys

bool frmDBScreenTest::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // The client area also changes size when the menus hide or show (full screen), without the
  // window itself resizing; the position bar follows it.
  if (type == QEvent::Resize && watched == centralWidget()) {
    Form_Resize();
    return false;
  }
  if (type != QEvent::KeyPress && type != QEvent::FocusIn && type != QEvent::FocusOut)
    return QMainWindow::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return QMainWindow::eventFilter(watched, event);
  if (isRatingBox(watched) && filterRatingKey(watched, event)) return true;
  if (type != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (Form_KeyDown(key->key() == Qt::Key_Escape ? kEscape : key->key())) return true;
  const int code = keyAscii(key);
  return code != 0 && Form_KeyPress(code);
}

bool frmDBScreenTest::Form_KeyDown(int keyCode) {
  if (keyCode != kEscape || !slideShowRunning()) return false;
  for (auto& extension : extensions_)
    if (extension->keyDown(*this, keyCode)) return true;
  return false;
}

bool frmDBScreenTest::Form_KeyPress(int keyAscii) {
  return hotkeys1(keyAscii);
}

bool frmDBScreenTest::isRatingBox(const QObject* object) const {
  if (object == txtOverallRating_) return true;
  for (int i = 1; i <= 9; ++i)
    if (object == txtRating_[size_t(i)]) return true;
  return false;
}

// Hot keys stay off while the user types into a text box: the password box, and (so that a
// letter typed into a text field never deletes or moves a picture) every other free-text box.
// The rating boxes take only digits, so paging with Space and Backspace works from them.
bool frmDBScreenTest::isHotKeyFocus() const {
  QWidget* focus = QApplication::focusWidget();
  if (focus == txtPicPassword_) return false;
  if (auto* edit = qobject_cast<QLineEdit*>(focus); edit && !edit->isReadOnly())
    return isRatingBox(edit);
  return true;
}

bool frmDBScreenTest::hotkeys1(int code) {
  if (slideShowRunning() || InHotKey || !isHotKeyFocus()) return false;
  if (code < 8 || code > 119) return false;
  InHotKey = true;
  bool handled = true;
  switch (code) {
    case 8:
      navigate(NavCommand::Previous);
      break;
    case 32:
      navigate(NavCommand::Next);
      break;
    case '<':
      navigate(NavCommand::Back10);
      break;
    case '>':
      navigate(NavCommand::Forward10);
      break;
    case 'f':
      navigate(NavCommand::First);
      break;
    case 'k':
      ZoomPicture(0.5);
      break;
    case 'l':
      ZoomPicture(2.0);
      break;
    case 'n':
      Unzoom();
      break;
    case 'o':
      if (txtOverallRating_->isVisible()) txtOverallRating_->setFocus();
      break;
    case 't': {
      const int tab = SSTab1_->currentIndex() >= kThemeSlots - 1 ? 0 : SSTab1_->currentIndex() + 1;
      {
        const QSignalBlocker block(SSTab1_);
        SSTab1_->setCurrentIndex(tab);
      }
      SSTab1_Click();
      QPushButton* button = Command2_[size_t(std::max(1, CurrentThemeButton()))];
      if (button->isVisible()) button->setFocus();
      break;
    }
    default:
      handled = false;
      for (auto& extension : extensions_) {
        if (extension->hotKey(*this, code)) {
          handled = true;
          break;
        }
      }
  }
  InHotKey = false;
  return handled;
}

// ---------------------------------------------------------------------------------------------
// Rating boxes

bool frmDBScreenTest::filterRatingKey(QObject* watched, QEvent* event) {
  auto* box = static_cast<QLineEdit*>(watched);
  switch (event->type()) {
    case QEvent::FocusIn:
      // After the click that gave the focus has placed the cursor.
      QTimer::singleShot(0, box, &QLineEdit::selectAll);
      return false;
    case QEvent::FocusOut:
      ratingLeft(box);
      return false;
    case QEvent::KeyPress: {
      const int code = keyAscii(static_cast<QKeyEvent*>(event));
      // Characters other than 0 to 5 (Backspace too) are dropped; the hot keys see them
      // first. Keys without a character (arrows, Tab, Delete) keep their use.
      const bool character = code == 8 || (code >= 32 && code != 127);
      if (!character || ratingKeyAccepted(QChar(code))) return false;
      Form_KeyPress(code);
      return true;
    }
    default:
      return false;
  }
}

void frmDBScreenTest::ratingTextChanged(QLineEdit* box, QScrollBar* bar) {
  const RatingChange change = ratingChanged(box->text());
  if (change.newText) {
    box->setText(*change.newText);
    return;
  }
  barFromBox_ = true;
  bar->setValue(change.barValue);
  barFromBox_ = false;
}

void frmDBScreenTest::ratingBarChanged(QLineEdit* box, QScrollBar* bar) {
  if (barFromBox_) return;
  const QString text = QString::number(bar->value());
  if (box->text() != text) box->setText(text);
}

void frmDBScreenTest::ratingLeft(QLineEdit* box) {
  const QString text = ratingOnLeave(box->text());
  if (text != box->text()) box->setText(text);
}

// ---------------------------------------------------------------------------------------------
// Themes

void frmDBScreenTest::setThemeButtonRed(int index, bool red) {
  QPushButton* button = Command2_[size_t(index)];
  if (button->property("highlighted").toBool() == red) return;
  button->setProperty("highlighted", red);
  QPalette palette = button->palette();
  palette.setColor(QPalette::Button,
                   red ? QColor(255, 0, 0) : QApplication::palette(button).color(QPalette::Button));
  button->setPalette(palette);
}

void frmDBScreenTest::syncThemeButtons() {
  for (int i = 0; i <= kThemeCount; ++i) setThemeButtonRed(i, themes_.isRed(i));
}

void frmDBScreenTest::moveThemeButtonsTo(int tab) {
  QFrame* frame = fra1_[size_t(tab) + 1];
  auto* grid = static_cast<QGridLayout*>(frame->layout());
  for (int i = 1; i <= kThemeCount; ++i) {
    QPushButton* button = Command2_[size_t(i)];
    if (button->parentWidget() == frame) continue;
    if (QWidget* old = button->parentWidget(); old && old->layout())
      old->layout()->removeWidget(button);
    grid->addWidget(button, (i - 1) / kThemeColumns, (i - 1) % kThemeColumns);
    button->show();
  }
}

void frmDBScreenTest::Command2_Click(int index) {
  const int slot = SSTab1_->currentIndex() + 1;
  txtTheme_[size_t(slot)]->setText(themes_.click(index));
  syncThemeButtons();
}

void frmDBScreenTest::SSTab1_Click() {
  const int tab = std::clamp(SSTab1_->currentIndex(), 0, kThemeSlots - 1);
  moveThemeButtonsTo(tab);
  themes_.tabChanged(txtTheme_[size_t(tab) + 1]->text());
  syncThemeButtons();
}

void frmDBScreenTest::highlightMainTheme() {
  themes_.pictureShown(txtTheme_[1]->text());
  syncThemeButtons();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void frmDBScreenTest::Photo1_MouseDown(Qt::MouseButton button, QPoint at) {
  if (button != Qt::LeftButton || !Photo1_) return;
  Photo1_->rubberBand(false);
  Photo1_->rubberBand(true, at);
  Selecting = true;
}

void frmDBScreenTest::Photo1_MouseMove(Qt::MouseButtons, QPoint at) {
  if (Selecting && Photo1_) Photo1_->rubberbandUpdate(at);
}

void frmDBScreenTest::Photo1_MouseUp(Qt::MouseButton button, QPoint at) {
  Selecting = false;
  if (button == Qt::RightButton && Photo1_ && !RClickMenu_->isVisible())
    RClickMenu_->popup(Photo1_->widget()->mapToGlobal(at));
}

void frmDBScreenTest::contextMenuEvent(QContextMenuEvent* event) {
  if (!RClickMenu_->isVisible()) RClickMenu_->popup(event->globalPos());
}

}  // namespace glim
