#include "base/keys.h"

#include "base/appstate.h"
#include "base/settings.h"
#include "base/textnum.h"

namespace glim::keys {

QString readText(const QString& key, const QString& fallback) {
  return settings::read(settings::kSettings, key, fallback);
}

qint16 readInt16(const QString& key, qint16 fallback) {
  if (!settings::contains(settings::kApp, settings::kSettings, key)) return fallback;
  return textnum::toInt16(readText(key, QString())).value_or(fallback);
}

bool readFlag(const QString& key, bool fallback) {
  return textnum::toFlag(readText(key, textnum::flagText(fallback)), fallback);
}

bool writeText(const QString& key, const QString& value) {
  return settings::write(settings::kSettings, key, value);
}
bool writeInt(const QString& key, int value) {
  return writeText(key, QString::number(value));
}
bool writeFlag(const QString& key, bool value) {
  return writeText(key, textnum::flagText(value));
}
bool writeBit(const QString& key, bool value) {
  return writeText(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QString hasRunBefore() {
  return readText(kHasRunBefore, QStringLiteral("No"));
}
QString database() {
  return readText(kDatabase, appState().ProgramFolder + QStringLiteral("all1.mdb"));
}
QString recordSource() {
  return readText(kRecordSource, QStringLiteral("tbl1"));
}
qint16 formsRunStat() {
  return readInt16(kFormsRunStat, 0);
}
bool pathsSet() {
  return readFlag(kPathsSet, false);
}
qint16 alwaysOnTop() {
  return readInt16(kAlwaysOnTop, 0);
}
bool confirmDeletes() {
  return readFlag(kConfirmDeletes, true);
}
qint16 passwordPrompt() {
  return readInt16(kPasswordPrompt, 1);
}
bool qryPasswordPrompt() {
  return readFlag(kQryPasswordPrompt, true);
}
bool autoStartQry() {
  return readFlag(kAutoStartQry, false);
}
qint16 slideTime(qint16 fallback) {
  return readInt16(kSlideTime, fallback);
}
QString startPic() {
  return readText(kStartPic, QStringLiteral("First"));
}
qint16 autoRepeat() {
  return readInt16(kAutoRepeat, 0);
}
QString dftSlideSize() {
  return readText(kDftSlideSize, QStringLiteral("Full"));
}
QString dftViewerSize(const QString& fallback) {
  return readText(kDftViewerSize, fallback);
}
bool showFraPic() {
  return readFlag(kShowFraPic, true);
}

QString mainPathKey(int k) {
  return QStringLiteral("MainPath") + QString::number(k);
}
QString mainPath(int k, const QString& fallback) {
  return readText(mainPathKey(k), fallback);
}

qint16 jpgQuality() {
  return readInt16(kJpgQuality, kQualityNotStored);
}
qint16 picQuality() {
  return readInt16(kPicQuality, kQualityNotStored);
}
QString jpgOption() {
  return readText(kJpgOption, kOptionNotStored);
}
QString picOption() {
  return readText(kPicOption, kOptionNotStored);
}
QString pngOption() {
  return readText(kPngOption, kOptionNotStored);
}
qint16 tifCompression() {
  return readInt16(kTifCompression, kTifCompressionNotStored);
}

QString ratingKey(int i) {
  return QStringLiteral("Rating") + QString::number(i);
}
QString ratingCaption(int i) {
  static const QString notThere = QStringLiteral("Not There");
  QString key = ratingKey(i);
  QString value = settings::read(settings::kRatings, key, notThere);
  if (value != notThere) return value;
  settings::write(settings::kRatings, key, key);
  return key;
}

QString themeKey(int i) {
  return QStringLiteral("Class") + QString::number(i);
}
QString themeCaption(int i) {
  return settings::read(settings::kClassifications, themeKey(i),
                        QStringLiteral("Theme") + QString::number(i));
}

}  // namespace glim::keys
