// rastrel_demo [picture]: hosts one imaging control in a window and loads the picture given
// on the command line. The status line shows the picture's measurements or the engine's error;
// File > Open chooses another picture.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "shell/base/appstate.h"
#include "shell/base/rastrel/rastrel.h"

namespace {

void showPicture(glim::RastrelControl* photo, QStatusBar* status, const QString& path) {
  photo->setFileName(path);
  const qint16 error = photo->imagError();
  if (error != 0) {
    status->showMessage(QStringLiteral("%1: cannot be shown (error %2)").arg(path).arg(error));
    return;
  }
  status->showMessage(QStringLiteral("%1: %2 x %3, %4 bits per pixel, %5 bytes, %6 colours")
                          .arg(path)
                          .arg(photo->iWidth())
                          .arg(photo->iHeight())
                          .arg(photo->ipBitsPixel())
                          .arg(photo->iFileSize())
                          .arg(photo->uniqueColors()));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  glim::appState().ProgramFolder = QCoreApplication::applicationDirPath() + u'/';

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Rastrel3 demo"));
  QString error;
  glim::RastrelControl* photo = glim::createRastrel(&window, &error);
  if (!photo) {
    QMessageBox::critical(nullptr, QStringLiteral("Rastrel3 demo"), error);
    return 1;
  }
  window.setCentralWidget(photo);
  photo->setScrollBars(rastrel::SB_Both);
  photo->setBackColor(0x00404040);

  QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&Open..."), &window, [&] {
    const QString path = QFileDialog::getOpenFileName(&window, QStringLiteral("Open Picture"));
    if (!path.isEmpty()) showPicture(photo, window.statusBar(), path);
  });
  file->addAction(QStringLiteral("&Quit"), &app, &QApplication::quit);
  QMenu* view = window.menuBar()->addMenu(QStringLiteral("&View"));
  view->addAction(QStringLiteral("Zoom &In"), &window, [photo] { photo->zoom(2.0f); });
  view->addAction(QStringLiteral("&Actual Size"), &window, [photo] { photo->zoom(1.0f); });
  view->addAction(QStringLiteral("&Fit"), &window, [photo] {
    photo->zoom(1.0f);
    photo->setAutoSize(rastrel::ISIZE_ResizePreserveAspect);
  });
  QObject::connect(photo, &glim::RastrelControl::MouseMove, &window,
                   [&](qint16, qint16, qint32 x, qint32 y) {
                     window.statusBar()->showMessage(QStringLiteral("%1, %2").arg(x).arg(y), 1000);
                   });

  window.resize(640, 480);
  window.show();
  const QStringList args = app.arguments();
  if (args.size() > 1) showPicture(photo, window.statusBar(), args.at(1));
  return app.exec();
}
