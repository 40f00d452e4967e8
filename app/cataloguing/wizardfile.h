// The preset-captions file "User/wiz.txt": sets of ready-made theme and rating captions, each
// introduced by a "TITLE" line. The window only maps these results onto its controls.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace glim::cataloguing {

struct WizardLine {
  QString line;   // the whole line, trimmed
  QString key;    // before the first comma, at most 25 characters, trimmed
  QString value;  // after the first comma up to the line's 51st character, commas dropped
};

// One line split into key and value by the file's rules.
WizardLine splitWizardLine(const QString& rawLine);

inline constexpr int kWizardMaxLines = 700;
inline constexpr int kWizardMaxSets = 25;
inline constexpr int kWizardMaxTitles = 26;
inline constexpr int kWizardLinesPerSet = 27;
inline constexpr int kThemeCount = 15;
inline constexpr int kRatingCount = 9;

// The captions of one set; themes and ratings hold as many as the file gave before it ended.
struct WizardSet {
  QStringList themes;
  QStringList ratings;
  bool complete() const { return themes.size() == kThemeCount && ratings.size() == kRatingCount; }
};

class WizardFile {
 public:
  // Reads at most 700 lines; a missing or unreadable file reads as no lines.
  bool load(const QString& path);
  // From text, for files already in memory.
  void parse(const QString& text);

  const QVector<WizardLine>& lines() const { return lines_; }
  // Set titles in file order: "TITLE" lines within lines 1 to N x 27, N from line 1.
  const QStringList& titles() const { return titles_; }

  // The captions of the set with this title (trimmed). A set cut short by the file's end
  // comes back incomplete; an unknown title comes back empty.
  WizardSet captionsFor(const QString& title) const;

 private:
  void collectTitles();
  QVector<WizardLine> lines_;
  QStringList titles_;
};

}  // namespace glim::cataloguing
