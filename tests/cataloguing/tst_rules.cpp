// The plain routines of cataloguing: the wizard file's rules, the stored extension and type
// pattern, and the folder walk.
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <atomic>

#include "cataloguing/pictureentry.h"
#include "cataloguing/treewalk.h"
#include "cataloguing/wizardfile.h"
#include "support/testenv.h"

using namespace glim::cataloguing;

namespace {

// A wizard file of `sets` complete sets announced by `announced` on line 1.
QString wizardText(int announced, int sets) {
  QStringList lines{QStringLiteral("Sets,%1").arg(announced)};
  for (int s = 1; s <= sets; ++s) {
    lines << QStringLiteral("TITLE,Set %1").arg(s);
    for (int k = 1; k <= 15; ++k) lines << QStringLiteral("Theme%1,S%2 theme %1").arg(k).arg(s);
    for (int k = 1; k <= 9; ++k) lines << QStringLiteral("Rating%1,S%2 rating %1").arg(k).arg(s);
    lines << QString() << QString();  // each set takes 27 lines
  }
  return lines.join(u'\n') + u'\n';
}

void touch(const QString& path) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write("x");
}

QStringList walk(const WalkRequest& request, WalkResult* result = nullptr) {
  std::atomic_bool stop{false};
  QStringList found;
  const WalkResult r = walkTree(request, stop, [&](WalkProgress& p) { found += p.found; });
  if (result) *result = r;
  return found;
}

}  // namespace

class TestRules : public QObject {
  Q_OBJECT

 private slots:
  void splitLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "Theme1, Beach "
                           << "Theme1"
                           << "Beach";
    QTest::newRow("padded line") << "   TITLE ,  Travel  "
                                 << "TITLE"
                                 << "Travel";
    QTest::newRow("no comma") << QString(30, u'k') << QString(25, u'k') << "";
    QTest::newRow("further commas dropped") << "a,b,c,,d"
                                            << "a"
                                            << "bcd";
    QTest::newRow("key cut at 25") << QString(30, u'k') + ",v" << QString(25, u'k') << "v";
    QTest::newRow("value ends at 51st character")
        << "k," + QString(60, u'v') << "k" << QString(49, u'v');
    QTest::newRow("counts characters, not bytes")
        << "k," + QString(60, u'\u00e9') << "k" << QString(49, u'\u00e9');
    QTest::newRow("empty value") << "Rating1,"
                                 << "Rating1"
                                 << "";
    QTest::newRow("carriage return") << "TITLE,Art\r"
                                     << "TITLE"
                                     << "Art";
  }
  void splitLine() {
    QFETCH(QString, line);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const WizardLine split = splitWizardLine(line);
    QCOMPARE(split.key, key);
    QCOMPARE(split.value, value);
  }

  void titles_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("titles");
    QTest::newRow("three sets") << wizardText(3, 3) << 3;
    QTest::newRow("fewer announced than present") << wizardText(2, 3) << 2;
    QTest::newRow("zero announced") << wizardText(0, 3) << 0;
    QTest::newRow("negative") << wizardText(-4, 3) << 0;
    QTest::newRow("first line not numeric")
        << QString(wizardText(3, 3)).replace("Sets,3", "Sets,x") << 0;
    QTest::newRow("first line without comma")
        << QString(wizardText(3, 3)).replace("Sets,3", "3") << 0;
    QTest::newRow("more than 25 sets counts as 25") << wizardText(30, 30) << 25;
    QTest::newRow("empty file") << QString() << 0;
  }
  void titles() {
    QFETCH(QString, text);
    QFETCH(int, titles);
    WizardFile file;
    file.parse(text);
    QCOMPARE(file.titles().size(), titles);
    if (titles > 0) QCOMPARE(file.titles().first(), QStringLiteral("Set 1"));
  }

  void atMost700Lines() {
    WizardFile file;
    file.parse(wizardText(30, 30));
    QCOMPARE(file.lines().size(), kWizardMaxLines);
  }

  void captionsOfASet() {
    WizardFile file;
    file.parse(wizardText(3, 3));
    const WizardSet set = file.captionsFor(QStringLiteral(" Set 2 "));
    QVERIFY(set.complete());
    QCOMPARE(set.themes.first(), QStringLiteral("S2 theme 1"));
    QCOMPARE(set.themes.last(), QStringLiteral("S2 theme 15"));
    QCOMPARE(set.ratings.last(), QStringLiteral("S2 rating 9"));
  }

  // A theme caption equal to a later set's title must not be taken for that set.
  void themeNamedLikeATitle() {
    QString text = wizardText(2, 2);
    text.replace(QStringLiteral("Theme3,S1 theme 3"), QStringLiteral("Theme3,Set 2"));
    WizardFile file;
    file.parse(text);
    QCOMPARE(file.captionsFor(QStringLiteral("Set 2")).themes.first(),
             QStringLiteral("S2 theme 1"));
  }

  void setCutShortByTheEnd() {
    QStringList lines = wizardText(1, 1).split(u'\n');
    const QString text = lines.mid(0, 1 + 1 + 20).join(u'\n');  // title and 20 captions
    WizardFile file;
    file.parse(text);
    const WizardSet set = file.captionsFor(QStringLiteral("Set 1"));
    QVERIFY(!set.complete());
    QCOMPARE(set.themes.size(), 15);
    QCOMPARE(set.ratings.size(), 5);
  }

  void binaryOrMissingFileReadsNothing() {
    glim::test::TestEnv env;
    const QString binary = env.folder("w") + "/bin.txt";
    QVERIFY(glim::test::writeBytes(binary, QByteArray("3\0\xff\xfe,TITLE", 10)));
    WizardFile file;
    QVERIFY(!file.load(binary));
    QVERIFY(file.titles().isEmpty());
    QVERIFY(!file.load(env.folder("w") + "/missing.txt"));
  }

  void installedWizardFileOffersSets() {
    glim::test::TestEnv env;
    WizardFile file;
    QVERIFY(file.load(env.programFolder() + "User/wiz.txt"));
    QVERIFY(file.titles().size() >= 5);
    for (const QString& title : file.titles())
      QVERIFY2(file.captionsFor(title).complete(), qPrintable(title));
  }

  void extension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::newRow("upper case") << "/p/Photo.JPG"
                                << "jpg";
    QTest::newRow("four letters") << "/p/a.jpeg"
                                  << "peg";
    QTest::newRow("tiff") << "/p/scan.tiff"
                          << "iff";
    QTest::newRow("non-ASCII name") << "/p/\u00e9t\u00e9.PNG"
                                    << "png";
    QTest::newRow("short") << "ab"
                           << "ab";
  }
  void extension() {
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QCOMPARE(storedExtension(path), extension);
  }

  void pattern_data() {
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("initial boxes")
        << QStringList{"png", "pic", "gif", "jpg"} << "*.jpg;*.gif;*.pic;*.png";
    QTest::newRow("one") << QStringList{"wpg"} << "*.wpg";
    QTest::newRow("none") << QStringList{} << "";
    QTest::newRow("unknown left out") << QStringList{"exe", "BMP"} << "*.bmp";
    QTest::newRow("newer formats after the classic ones")
        << QStringList{"webp", "heic", "jpg"} << "*.jpg;*.heic;*.heif;*.hif;*.webp";
    QTest::newRow("camera raw, every maker")
        << QStringList{"raw"} << "*.cr2;*.nef;*.nrw;*.arw;*.dng;*.raf;*.orf;*.rw2;*.pef;*.srw";
  }
  void pattern() {
    QFETCH(QStringList, ticked);
    QFETCH(QString, pattern);
    QCOMPARE(typePattern(ticked), pattern);
  }

  void entryOfAVanishedFile() {
    glim::test::TestEnv env;
    const QString path = env.folder("e") + "/gone.jpg";
    QVERIFY(!readPictureEntry(path, QDate(2024, 1, 2)));
    QVERIFY(!readPictureEntry(env.folder("e"), QDate(2024, 1, 2)));  // a folder
    QVERIFY(glim::test::writePicture(path, 8, 8));
    const auto entry = readPictureEntry(path, QDate(2024, 1, 2));
    QVERIFY(entry);
    QCOMPARE(entry->fileSize, QFileInfo(path).size());
    QCOMPARE(entry->fileDate, QFileInfo(path).lastModified().date());
    QCOMPARE(entry->extension, QStringLiteral("jpg"));
  }

  void walkFindsMatchesDepthFirst() {
    glim::test::TestEnv env;
    const QString root = env.folder("tree");
    for (const char* dir : {"b", "a", "a/deep", ".hidden", "a/.git"}) QDir(root).mkpath(dir);
    for (const char* file : {"z.jpg", "A.JPG", "note.txt", "b/1.jpg", "a/2.jpg", "a/deep/3.jpg",
                             ".hidden/4.jpg", "a/.git/5.jpg", "it's é.jpg", "a/sp ace.jpg"})
      touch(root + '/' + file);
    WalkResult result;
    const QStringList found = walk({{root}, "*.jpg", true, true}, &result);
    const QString r = root + '/';
    QCOMPARE(found, QStringList({r + "A.JPG", r + "it's é.jpg", r + "z.jpg", r + "a/2.jpg",
                                 r + "a/sp ace.jpg", r + "a/deep/3.jpg", r + "b/1.jpg"}));
    QVERIFY(!result.stopped);
    QCOMPARE(result.matches, 7);
  }

  // A pattern of several (the HEIF spellings) finds each file once, in one walk.
  void walkTakesSeveralPatterns() {
    glim::test::TestEnv env;
    const QString root = env.folder("phone");
    for (const char* file : {"a.heic", "b.HEIF", "c.hif", "d.jpg", "e.heic.txt"})
      touch(root + '/' + file);
    const QString r = root + '/';
    QCOMPARE(walk({{root}, "*.heic;*.heif;*.hif", true, true}),
             QStringList({r + "a.heic", r + "b.HEIF", r + "c.hif"}));
  }

  void folderInfoCounts() {
    glim::test::TestEnv env;
    const QString root = env.folder("count");
    for (const char* dir : {"x", "x/y", ".cache"}) QDir(root).mkpath(dir);
    for (const char* file : {"1", ".dotfile", "x/2", "x/y/3", ".cache/4"}) touch(root + '/' + file);
    WalkResult result;
    walk({{root}, "*.*", false, true}, &result);
    QCOMPARE(result.folders, 2);  // x and x/y; .cache is neither counted nor searched
    QCOMPARE(result.files, 4);
  }

  void unreadableFolderIsSkipped() {
    if (geteuid() == 0) QSKIP("permissions do not bind the superuser");
    glim::test::TestEnv env;
    const QString root = env.folder("locked");
    QDir(root).mkpath("closed");
    touch(root + "/closed/in.jpg");
    touch(root + "/open.jpg");
    QVERIFY(chmod(QFile::encodeName(root + "/closed").constData(), 0) == 0);
    const QStringList found = walk({{root}, "*.jpg", true, true});
    chmod(QFile::encodeName(root + "/closed").constData(), 0755);
    QCOMPARE(found, QStringList{root + "/open.jpg"});
  }

  void linkedFoldersAreNotFollowed() {
    glim::test::TestEnv env;
    const QString root = env.folder("links");
    QDir(root).mkpath("real");
    touch(root + "/real/p.jpg");
    QVERIFY(QFile::link(root + "/real", root + "/loop"));
    QVERIFY(QFile::link(root, root + "/real/up"));
    QCOMPARE(walk({{root}, "*.jpg", true, true}), QStringList{root + "/real/p.jpg"});
  }

  // A stop reported from inside the walk ends it; what was found stays reported.
  void stopKeepsThePartialList() {
    glim::test::TestEnv env;
    const QString root = env.folder("stop");
    for (int d = 0; d < 40; ++d) {
      QDir(root).mkpath(QString::number(d));
      for (int f = 0; f < 3; ++f) touch(QStringLiteral("%1/%2/%3.jpg").arg(root).arg(d).arg(f));
    }
    std::atomic_bool stop{false};
    QStringList found;
    qint64 reportedMatches = 0;
    const WalkResult result =
        walkTree({{root}, "*.jpg", true, true, 0}, stop, [&](WalkProgress& p) {
          found += p.found;
          reportedMatches = p.matches;
          if (found.size() >= 6) stop = true;
        });
    QVERIFY(result.stopped);
    QVERIFY(found.size() >= 6);
    QVERIFY(found.size() < 120);
    QCOMPARE(found.size(), reportedMatches);
    QCOMPARE(qint64(found.size()), result.matches);
  }

  void localVolumesStartAtRoot() {
    const QStringList volumes = glim::localVolumes();
    QVERIFY(!volumes.isEmpty());
    for (const QString& v : volumes)
      QVERIFY2(!v.startsWith("/proc") && !v.startsWith("/sys"), qPrintable(v));
    QCOMPARE(glim::volumesUnder("/nowhere/at/all").first(), QStringLiteral("/nowhere/at/all"));
  }
};

QTEST_GUILESS_MAIN(TestRules)
#include "tst_rules.moc"
