// Typed readers and writers for every key of the program's settings (application "Glimmora").
// Values are stored as text; each reader passes the key's default and converts, and a few pass
// a "not stored" marker instead so that their caller can tell a missing key from a stored one.
#pragma once

#include <QString>

namespace glim::keys {

// Section "Settings" key names.
inline const QString kHasRunBefore = QStringLiteral("HasRunBefore");
inline const QString kDatabase = QStringLiteral("Database");
inline const QString kRecordSource = QStringLiteral("RecordSource");
inline const QString kFormsRunStat = QStringLiteral("FormsRunStat");
inline const QString kPathsSet = QStringLiteral("PathsSet");
inline const QString kAlwaysOnTop = QStringLiteral("AlwaysOnTop");
inline const QString kConfirmDeletes = QStringLiteral("ConfirmDeletes");
inline const QString kPasswordPrompt = QStringLiteral("PasswordPrompt");
inline const QString kQryPasswordPrompt = QStringLiteral("QRYPasswordPrompt");
inline const QString kAutoStartQry = QStringLiteral("AutoStartQRY");
inline const QString kSlideTime = QStringLiteral("SlideTime");
inline const QString kStartPic = QStringLiteral("StartPic");
inline const QString kAutoRepeat = QStringLiteral("AutoRepeat");
inline const QString kDftSlideSize = QStringLiteral("dftSlideSize");
inline const QString kDftViewerSize = QStringLiteral("dftViewerSize");
inline const QString kShowFraPic = QStringLiteral("showfraPIC");
inline const QString kJpgQuality = QStringLiteral("JPGQuality");
inline const QString kPicQuality = QStringLiteral("PICQuality");
inline const QString kJpgOption = QStringLiteral("JPGOption");
inline const QString kPicOption = QStringLiteral("PICOption");
inline const QString kPngOption = QStringLiteral("PNGOption");
inline const QString kTifCompression = QStringLiteral("TIFCompression");

// "Not stored" markers: readers that pass them get them back for a missing key.
inline constexpr qint16 kSlideTimeNotStored = 100;
inline constexpr qint16 kQualityNotStored = 256;
inline const QString kOptionNotStored = QStringLiteral("None");
inline constexpr qint16 kTifCompressionNotStored = 4;
inline const QString kViewerSizeNotStored = QStringLiteral("NoKey");

// Generic access to section "Settings". A value that does not convert reads as the fallback.
QString readText(const QString& key, const QString& fallback);
qint16 readInt16(const QString& key, qint16 fallback);
bool readFlag(const QString& key, bool fallback);
// Writers return false when the store cannot be written.
bool writeText(const QString& key, const QString& value);
bool writeInt(const QString& key, int value);    // decimal digits: "7"
bool writeFlag(const QString& key, bool value);  // "True" / "False"
bool writeBit(const QString& key, bool value);   // "1" / "0"

// The settings, each with its default when missing.
QString hasRunBefore();                 // "No"
QString database();                     // ProgramFolder + "all1.mdb"
QString recordSource();                 // "tbl1"
qint16 formsRunStat();                  // 0
bool pathsSet();                        // False
qint16 alwaysOnTop();                   // 0 ("1"/"0")
bool confirmDeletes();                  // True
qint16 passwordPrompt();                // 1 ("1"/"0")
bool qryPasswordPrompt();               // True
bool autoStartQry();                    // False
qint16 slideTime(qint16 fallback = 7);  // options: kSlideTimeNotStored
QString startPic();                     // "First"
qint16 autoRepeat();                    // 0 ("1"/"0")
QString dftSlideSize();                 // "Full"
QString dftViewerSize(const QString& fallback = QStringLiteral("Normal"));
bool showFraPic();  // True
// Caption of main folder k (1 to 7); the captions set-up reads it with "None Yet".
QString mainPath(int k, const QString& fallback = QStringLiteral("None Yet"));
QString mainPathKey(int k);  // "MainPath" + k
// Save-as options, read with their markers (kQualityNotStored, kOptionNotStored,
// kTifCompressionNotStored) so the save dialog can store its own defaults.
qint16 jpgQuality();
qint16 picQuality();
QString jpgOption();
QString picOption();
QString pngOption();
qint16 tifCompression();

// Section "Ratings": caption of rating category i (1 to 9). A missing key is written with its
// own name ("Rating" + i) and that name is used.
QString ratingCaption(int i);
QString ratingKey(int i);
// Section "Classifications": caption of theme i (1 to 15), default "Theme" + i.
QString themeCaption(int i);
QString themeKey(int i);

}  // namespace glim::keys
