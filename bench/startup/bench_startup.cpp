// Start-up on a large catalogue, beside the same steps on a catalogue of one row, so that
// anything that grows with the catalogue shows as the difference between the two:
//  - the program from launch to its main window shown (a separate process that quits as soon
//    as the window is up; this includes the splash's fixed display time);
//  - the splash's catalogue check (its load and unload, in this process);
//  - "View All Images" to the first picture shown (the viewer opened on the whole catalogue,
//    in this process, through the real imaging control; each run is the picture's first
//    showing, as the catalogue is put back before it), and the catalogue damage check that
//    the viewer's opening runs, timed alone.
//
// Run: build/bench/bench_startup [rows] [repeats]   (default 100000 rows, 5 repeats)
#include <sqlite3.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "catalogue/database.h"
#include "shell/frmSplash.h"
#include "support/testenv.h"
#include "viewer/frmDBScreenTest.h"
#include "viewer/photo.h"

using namespace glim;

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double ms(const QElapsedTimer& timer) {
  return timer.nsecsElapsed() / 1e6;
}

// A copy of the empty catalogue holding `rows` rows: the first names a real picture, the
// others pictures in folders of 500, as an add loop writes them.
bool makeCatalogue(const QString& empty, const QString& path, const QString& picture, int rows) {
  QFile::remove(path);
  if (!QFile::copy(empty, path)) return false;
  sqlite3* db = nullptr;
  if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO tbl1 (IDNumber, Pathname, Extension, Filesize, "
                     "FileCreationDate, DateAddedToDB) VALUES (?, ?, 'jpg', ?, '2024-05-17', "
                     "'2025-01-02')",
                     -1, &st, nullptr);
  bool ok = true;
  for (int i = 0; ok && i < rows; ++i) {
    const QByteArray name = i == 0 ? picture.toUtf8()
                                   : QStringLiteral("/home/user/Pictures/folder %1/IMG_%2.jpg")
                                         .arg(i / 500)
                                         .arg(i)
                                         .toUtf8();
    sqlite3_bind_int(st, 1, i + 1);
    sqlite3_bind_text(st, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 3, 100000 + i);
    ok = sqlite3_step(st) == SQLITE_DONE;
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return ok;
}

// Puts a prepared catalogue in the program folder, without the old one's journal files.
bool putInPlace(const QString& prepared, const QString& catalogue) {
  for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(catalogue + QLatin1String(suffix));
  return QFile::copy(prepared, catalogue);
}

double launchToMainWindow(const QString& program) {
  QProcess glimmora;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("GLIMMORA_QUIT_WHEN_SHOWN"), QStringLiteral("1"));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  glimmora.setProcessEnvironment(environment);
  glimmora.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QElapsedTimer timer;
  timer.start();
  glimmora.start(program, {});
  if (!glimmora.waitForFinished(-1) || glimmora.exitCode() != 0) return -1;
  return ms(timer);
}

double splashCheck() {
  QElapsedTimer timer;
  timer.start();
  auto* splash = new frmSplash();
  splash->Form_Load();
  splash->close();
  delete splash;
  return ms(timer);
}

// The catalogue's damage check that the viewer runs on every opening of its set.
double damageCheck(const QString& catalogue) {
  QElapsedTimer timer;
  timer.start();
  catalogue::Database db = catalogue::Database::open(catalogue);
  const bool intact = db.checkIntact();
  return intact ? ms(timer) : -1;
}

// From the command to the first picture in the control; -1 when another picture arrived.
double viewAllToFirstPicture(const QString& picture) {
  appState().QueryCaller.clear();
  QElapsedTimer timer;
  timer.start();
  auto* viewer = forms::get<frmDBScreenTest>();
  viewer->show();
  QCoreApplication::processEvents();
  const double elapsed = ms(timer);
  const bool shown = viewer->Photo1() && viewer->Photo1()->fileName() == picture &&
                     viewer->Photo1()->iWidth() == 1600;
  viewer->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return shown ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rows = argc > 1 ? std::max(2, atoi(argv[1])) : 100000;
  const int repeats = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
  test::TestEnv env;
  const QString program = env.installProgram();
  ScriptedDialogs dialogs;
  frmSplash::setTutorialOfferEnabled(false);

  const QString picture = env.folder(QStringLiteral("pics")) + QStringLiteral("/first.jpg");
  const QString empty = env.folder(QStringLiteral("catalogues")) + QStringLiteral("/empty.mdb");
  const QString one = env.folder(QStringLiteral("catalogues")) + QStringLiteral("/one.mdb");
  const QString many = env.folder(QStringLiteral("catalogues")) + QStringLiteral("/many.mdb");
  if (!test::writePicture(picture, 1600, 1200) || !QFile::copy(env.catalogue(), empty) ||
      !makeCatalogue(empty, one, picture, 1) || !makeCatalogue(empty, many, picture, rows)) {
    std::fprintf(stderr, "cannot make the catalogues\n");
    return 1;
  }
  // The first run of the program writes its settings and first backup; not measured.
  putInPlace(one, env.catalogue());
  if (launchToMainWindow(program) < 0) {
    std::fprintf(stderr, "the program did not start\n");
    return 1;
  }

  struct Figures {
    std::vector<double> launch, splash, viewAll, damage;
  };
  Figures figures[2];
  const QString catalogues[2] = {one, many};
  for (int r = 0; r < repeats; ++r) {
    for (int c = 0; c < 2; ++c) {
      putInPlace(catalogues[c], env.catalogue());
      figures[c].launch.push_back(launchToMainWindow(program));
      figures[c].splash.push_back(splashCheck());
      putInPlace(catalogues[c], env.catalogue());
      figures[c].viewAll.push_back(viewAllToFirstPicture(picture));
      figures[c].damage.push_back(damageCheck(env.catalogue()));
    }
  }
  for (const Figures& f : figures) {
    for (const auto* v : {&f.launch, &f.viewAll, &f.damage})
      if (std::any_of(v->begin(), v->end(), [](double x) { return x < 0; })) {
        std::fprintf(stderr, "a run failed (the program's exit or the picture shown)\n");
        return 1;
      }
  }
  std::printf("%-44s %12s %12s\n", qPrintable(QStringLiteral("median of %1 runs, ms").arg(repeats)),
              "1 row", qPrintable(QStringLiteral("%1 rows").arg(rows)));
  auto line = [&](const char* what, std::vector<double> Figures::*member) {
    std::printf("%-44s %12.1f %12.1f\n", what, median(figures[0].*member),
                median(figures[1].*member));
  };
  line("launch to main window shown (process)", &Figures::launch);
  line("splash catalogue check (load and unload)", &Figures::splash);
  line("View All Images to first picture shown", &Figures::viewAll);
  line("catalogue damage check alone (quick_check)", &Figures::damage);
  return 0;
}
