// Gives one test its own program folder, settings folder, data folder and home, with a fresh
// copy of the installed data (empty catalogue, stock pictures, help, User files), and a
// fresh AppState pointing at them. Nothing a test does reaches the real home folder.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTemporaryDir>
#include <map>

namespace glim::test {

class TestEnv {
 public:
  TestEnv();
  ~TestEnv();
  TestEnv(const TestEnv&) = delete;
  TestEnv& operator=(const TestEnv&) = delete;

  // Ends in "/".
  QString programFolder() const { return program_; }
  QString catalogue() const { return program_ + QStringLiteral("all1.mdb"); }
  QString configFolder() const { return root_.path() + QStringLiteral("/config"); }
  QString dataFolder() const { return root_.path() + QStringLiteral("/data"); }
  QString homeFolder() const { return root_.path() + QStringLiteral("/home"); }
  // A scratch folder under the test's root, made on demand (nested names allowed).
  QString folder(const QString& relative) const;

  // Copies the program and its libraries into the program folder so a test can start the
  // real binary there. Returns the program's path.
  QString installProgram() const;

  // The build's complete program folder (build/bin), ends in "/".
  static QString binFolder();

 private:
  QTemporaryDir root_;
  QString program_;
  std::map<QByteArray, QByteArray> savedEnv_;
};

// Writes a real picture file through Qt's writers ("JPG", "PNG", "BMP", ...): a colour
// gradient so that it has many colours. Returns false when it cannot be written.
bool writePicture(const QString& path, int width, int height, const char* format = "JPG",
                  QColor tint = QColor(200, 120, 40));
bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// Damages a closed catalogue where reading its pictures' rows never looks: a page of a table
// added for the purpose is overwritten, which the catalogue's damage check finds.
bool damageSpareTable(const QString& catalogue);

}  // namespace glim::test
