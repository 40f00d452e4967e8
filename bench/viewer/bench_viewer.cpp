// Measures what a move in the viewer costs: validate and write back the row left, load the
// picture into the imaging control, record its measurements on the first showing, and lay it
// out. Reported beside the engine's plain decode of the same file, for a 6000 x 4000 and a
// 1600 x 1200 JPEG, first showings (NewFile = 1) and later ones.
//
// Run: bench_viewer [repeats]   (offscreen: QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "catalogue/database.h"
#include "rastcore3.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"

using namespace glim;

namespace {

// A photograph-like picture: smooth gradients with fine noise, so the JPEG is of realistic size.
bool writeJpeg(const QString& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  QRandomGenerator random(42);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const int n = int(random.bounded(24));
      line[x] = qRgb((x * 255 / width + n) & 255, (y * 255 / height + n) & 255,
                     ((x + y) * 255 / (width + height) + n) & 255);
    }
  }
  return image.save(path, "JPG", 90);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double engineDecodeMs(const QString& path, int repeats) {
  CV_HANDLE handle = 0;
  CV_CreateInstance(&handle);
  std::vector<double> times;
  const QByteArray name = path.toLocal8Bit();
  for (int i = 0; i < repeats; ++i) {
    QElapsedTimer timer;
    timer.start();
    CV_SetFileName(handle, name.constData());
    times.push_back(timer.nsecsElapsed() / 1e6);
    if (CV_GetImagError(handle) != 0) std::printf("engine error %d\n", CV_GetImagError(handle));
    CV_SetFileName(handle, "");
  }
  CV_DestroyInstance(handle);
  return median(times);
}

bool writeRows(const QString& catalogue, const QStringList& paths) {
  catalogue::Database db = catalogue::Database::open(catalogue);
  if (!db.execute(QStringLiteral("DELETE * FROM tbl1"))) return false;
  int id = 0;
  for (const QString& path : paths)
    if (!db.execute(QStringLiteral("INSERT INTO tbl1 (IDNumber, Pathname, Extension) "
                                   "VALUES (?, ?, 'jpg')"),
                    {++id, path}))
      return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
  test::TestEnv env;
  env.installProgram();
  ScriptedDialogs dialogs;

  struct Case {
    const char* name;
    int width, height;
    QString path;
  };
  std::vector<Case> cases = {{"6000x4000", 6000, 4000, {}}, {"1600x1200", 1600, 1200, {}}};
  QStringList paths;
  for (Case& c : cases) {
    // Each case gets `repeats` copies, so every first showing is of a file never shown.
    for (int i = 0; i < repeats; ++i) {
      const QString path = env.folder(QStringLiteral("pics")) +
                           QStringLiteral("/%1_%2.jpg").arg(QLatin1String(c.name)).arg(i);
      if (i == 0 && !writeJpeg(path, c.width, c.height)) return 1;
      if (i > 0) QFile::copy(c.path, path);
      if (i == 0) c.path = path;
      paths << path;
    }
  }
  // A small picture first, so that every measured move arrives from another picture.
  const QString start = env.folder(QStringLiteral("pics")) + QStringLiteral("/start.jpg");
  writeJpeg(start, 64, 48);
  paths.prepend(start);
  if (!writeRows(env.catalogue(), paths)) return 1;

  auto* viewer = forms::get<frmDBScreenTest>();
  if (!viewer->Photo1()) {
    std::printf("the imaging control could not be loaded\n");
    return 1;
  }
  QScrollBar* bar = viewer->HScrollPictureMove();
  auto timeMoveTo = [&](int position) {
    bar->setValue(0);
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    bar->setValue(position);
    QCoreApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
  };

  std::printf("%-10s %12s %12s %12s %8s\n", "picture", "decode ms", "first ms", "later ms",
              "later/decode");
  int position = 1;
  for (const Case& c : cases) {
    std::vector<double> first, later;
    for (int i = 0; i < repeats; ++i) first.push_back(timeMoveTo(position + i));
    for (int i = 0; i < repeats; ++i) later.push_back(timeMoveTo(position + i));
    const double decode = engineDecodeMs(c.path, repeats);
    std::printf("%-10s %12.1f %12.1f %12.1f %8.2f\n", c.name, decode, median(first), median(later),
                median(later) / decode);
    position += repeats;
  }
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return 0;
}
