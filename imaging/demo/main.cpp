// rastrel_demo [--page N] [picture]: hosts one imaging control in a window and loads the
// picture given on the command line. The status line shows the picture's measurements or the
// engine's error; File > Open chooses another picture. Control > Properties opens the
// control's property pages (--page N opens them at tab N at start); Control > Save stores the
// control's properties in the user's data folder and Control > Reload makes the control anew
// from them.
#include <cstdio>
#include <string>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

#include "rastrel/rastrel.h"

namespace {

const char kUsage[] =
    "Usage: rastrel_demo [--page N] [PICTURE]\n"
    "       rastrel_demo --help | --version\n"
    "Shows PICTURE in one imaging control; --page N opens the control's property pages at\n"
    "tab N.\n";

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

QString propertyFile() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  QDir().mkpath(folder);
  return folder + QStringLiteral("/rastrel_demo.ctl");
}

// Opens the property pages once the event loop runs, at the given tab.
void openPagesAt(glim::RastrelControl* photo, int tab) {
  QTimer::singleShot(300, photo, [photo, tab] {
    QTimer::singleShot(200, [tab] {
      if (QWidget* dialog = QApplication::activeModalWidget())
        if (auto* tabs = dialog->findChild<QTabWidget*>()) tabs->setCurrentIndex(tab);
    });
    photo->showPropertyPages();
  });
}

int run(int argc, char** argv) {
  QApplication app(argc, argv);

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
  auto connectStatus = [&window](glim::RastrelControl* p) {
    QObject::connect(p, &glim::RastrelControl::MouseMove, &window,
                     [&window](qint16, qint16, qint32 x, qint32 y) {
                       window.statusBar()->showMessage(QStringLiteral("%1, %2").arg(x).arg(y),
                                                       1000);
                     });
  };
  connectStatus(photo);

  QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&Open..."), &window, [&] {
    const QString path = QFileDialog::getOpenFileName(&window, QStringLiteral("Open Picture"));
    if (!path.isEmpty()) showPicture(photo, window.statusBar(), path);
  });
  file->addSeparator();
  // The other image sources: the scanner and the screen.
  const auto acquire = [&](rastrel::DISPID id, std::initializer_list<rastrel::Variant> args) {
    photo->call(id, args);
    const qint16 error = photo->imagError();
    if (error != 0)
      window.statusBar()->showMessage(QStringLiteral("No picture taken (error %1)").arg(error));
    else
      window.statusBar()->showMessage(QStringLiteral("%1 x %2, %3 bits per pixel")
                                          .arg(photo->iWidth())
                                          .arg(photo->iHeight())
                                          .arg(photo->ipBitsPixel()));
  };
  file->addAction(QStringLiteral("Select &Source..."), &window,
                  [&] { acquire(rastrel::dispid::TwainSelect, {}); });
  file->addAction(QStringLiteral("&Acquire"), &window,
                  [&] { acquire(rastrel::dispid::TwainAcquire, {}); });
  file->addAction(QStringLiteral("Capture S&creen"), &window,
                  [&] { acquire(rastrel::dispid::Capture, {}); });
  file->addAction(QStringLiteral("Capture &Window"), &window,
                  [&] { acquire(rastrel::dispid::CaptureWindow, {rastrel::Variant::i4(0)}); });
  file->addSeparator();
  file->addAction(QStringLiteral("&Quit"), &app, &QApplication::quit);
  QMenu* view = window.menuBar()->addMenu(QStringLiteral("&View"));
  view->addAction(QStringLiteral("Zoom &In"), &window, [photo] { photo->zoom(2.0f); });
  view->addAction(QStringLiteral("&Actual Size"), &window, [photo] { photo->zoom(1.0f); });
  view->addAction(QStringLiteral("&Fit"), &window, [photo] {
    photo->zoom(1.0f);
    photo->setAutoSize(rastrel::ISIZE_ResizePreserveAspect);
  });
  QMenu* control = window.menuBar()->addMenu(QStringLiteral("&Control"));
  control->addAction(QStringLiteral("&Properties..."), &window,
                     [&] { photo->showPropertyPages(); });
  control->addAction(QStringLiteral("&Save"), &window, [&] {
    QString error;
    if (!photo->saveProperties(propertyFile(), &error))
      QMessageBox::warning(&window, window.windowTitle(), error);
    else
      window.statusBar()->showMessage(QStringLiteral("Saved to %1").arg(propertyFile()));
  });
  control->addAction(QStringLiteral("&Reload"), &window, [&] {
    QString error;
    glim::RastrelControl* fresh = glim::createRastrel(&window, propertyFile(), &error);
    if (!fresh) {
      QMessageBox::warning(&window, window.windowTitle(), error);
      return;
    }
    if (!error.isEmpty()) QMessageBox::warning(&window, window.windowTitle(), error);
    delete window.takeCentralWidget();
    photo = fresh;
    window.setCentralWidget(photo);
    connectStatus(photo);
    window.statusBar()->showMessage(QStringLiteral("Reloaded from %1").arg(propertyFile()));
  });

  // Never larger than the screen (a small one, or one shown at twice the scale).
  window.resize(QSize(640, 480).boundedTo(window.screen()->availableGeometry().size()));
  window.show();
  QStringList args = app.arguments().mid(1);
  if (args.size() >= 2 && args.first() == QLatin1String("--page")) {
    openPagesAt(photo, args.at(1).toInt());
    args = args.mid(2);
  }
  if (!args.isEmpty()) showPicture(photo, window.statusBar(), args.first());
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt needs a display.
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (first == "--version") {
    std::puts("rastrel_demo " RASTREL_DEMO_VERSION);
    return 0;
  }
  if (first.starts_with('-') && first != "--page") {
    std::fprintf(stderr, "rastrel_demo: unknown option %s\n\n%s", first.c_str(), kUsage);
    return 2;
  }
  return run(argc, argv);
}
