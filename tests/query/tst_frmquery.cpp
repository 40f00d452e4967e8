// The query builder's window offscreen: initial state, input and enabling rules, Run Query and
// View New Files, saving, loading and deleting query files, the command-line start, and the
// viewing-password dialog.
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include "base/appstate.h"
#include "base/dialogs.h"
#include "base/forms.h"
#include "base/settings.h"
#include "query/frmPicPasswordqry.h"
#include "query/frmQuery.h"
#include "query/frmQuerySave.h"
#include "query/queryfile.h"
#include "query/querystart.h"
#include "query_helpers.h"
#include "support/testenv.h"

using namespace glim;
using namespace glim::query;

namespace {

// Runs `act` on the save dialog as soon as it is shown modally.
void onSaveDialog(std::function<void(frmQuerySave*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<frmQuerySave*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    act(dialog);
  });
}

void saveAs(frmQuery& form, const QString& typed) {
  onSaveDialog([typed](frmQuerySave* d) {
    d->txtFilename->setText(typed);
    d->cmdSave_Click();
  });
  form.cmdSaveQuery_Click();
}

void selectSaved(frmQuery& form, const QString& name) {
  const auto items = form.filelistSavedQueries->findItems(name, Qt::MatchExactly);
  QVERIFY(!items.isEmpty());
  form.filelistSavedQueries->setCurrentItem(items.first());
}

}  // namespace

class TestFrmQuery : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<glim::test::TestEnv> env_;
  std::unique_ptr<ScriptedDialogs> dialogs_;
  int viewerShows_ = 0;

  std::unique_ptr<frmQuery> makeForm() { return std::make_unique<frmQuery>(); }

 private slots:
  void init() {
    env_ = std::make_unique<glim::test::TestEnv>();
    dialogs_.reset();
    dialogs_ = std::make_unique<ScriptedDialogs>();
    viewerShows_ = 0;
    frmQuery::setViewerOpener([this] {
      ++viewerShows_;
      return true;
    });
    settings::write(settings::kClassifications, QStringLiteral("Class3"), QStringLiteral("Beach"));
    settings::write(settings::kRatings, QStringLiteral("Rating2"), QStringLiteral("Colour"));
  }
  void cleanup() {
    frmQuery::setViewerOpener({});
    forms::closeAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto visible = [] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) return true;
      return false;
    }();
    dialogs_.reset();
    QVERIFY(!visible);
    env_.reset();
  }

  void initialState() {
    auto form = makeForm();
    QCOMPARE(form->windowTitle(), QStringLiteral("Picture Selection Criteria"));
    QCOMPARE(form->SSTab1->currentIndex(), 0);
    QCOMPARE(form->chkRatingInclude[2]->text(), QStringLiteral("Inc. Colour rating"));
    QCOMPARE(form->chkRatingInclude[5]->text(), QStringLiteral("Inc. Rating5 rating"));
    QCOMPARE(form->ComboOrderedTheme[1]->itemText(2), QStringLiteral("Beach"));
    QCOMPARE(form->ComboIncludesTheme[4]->itemText(6), QStringLiteral("Class7"));
    for (int i = 1; i <= 3; ++i) QCOMPARE(form->txtOrdTheme[i]->text(), QStringLiteral("0"));
    for (int i = 0; i <= 4; ++i) QCOMPARE(form->txtIncludesTheme[i]->text(), QStringLiteral("1"));
    for (int i = 0; i < kRatingRows; ++i) {
      QVERIFY(!form->txtRating[i]->isEnabled());
      QVERIFY(!form->HScrollRating[i]->isEnabled());
      QVERIFY(form->optRatingMoreThan[i]->isChecked());
    }
    QCOMPARE(form->txtFileSize->text(), QStringLiteral("0"));
    QCOMPARE(form->HScrollFileSize->value(), 1);
    QCOMPARE(form->HScrollRatio->value(), 1333);
    QCOMPARE(form->CalendarCreateDate->selectedDate(), QDate::currentDate());
    QVERIFY(!form->txtFileSize->isEnabled());
    QVERIFY(form->chkFileSizeInclude->isEnabled());
    QVERIFY(!form->txtMaxNumPics->isEnabled());
    QVERIFY(form->optSelectAll->isChecked());

    // The initial criteria as the window holds them save as the plain initial record.
    QueryRecord fromForm, expected;
    captureQueryRecord(form->criteria(), fromForm);
    captureQueryRecord(initialCriteria(themeNamesFromSettings(), QDate::currentDate()), expected);
    QCOMPARE(encodeRecord(fromForm), encodeRecord(expected));
    QTRY_VERIFY(form->timerActive());
  }

  void fileSizeBox() {
    auto form = makeForm();
    form->chkFileSizeInclude->setChecked(true);
    form->txtFileSize->setFocus();
    form->txtFileSize->clear();
    QCOMPARE(form->txtFileSize->text(), QStringLiteral("1"));  // empty takes the slider's value
    form->txtFileSize->selectAll();
    QTest::keyClicks(form->txtFileSize, QStringLiteral("25x0"));
    QCOMPARE(form->txtFileSize->text(), QStringLiteral("20"));  // x acted as Backspace
    QCOMPARE(form->HScrollFileSize->value(), 20);
    form->txtFileSize->setText(QStringLiteral("32001"));
    QCOMPARE(form->txtFileSize->text(), QStringLiteral("20"));
    form->HScrollFileSize->setValue(32500);
    QCOMPARE(form->txtFileSize->text(), QStringLiteral("32500"));
  }

  void otherBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("rating out of range") << "rating"
                                         << "9"
                                         << "0";
    QTest::newRow("rating in range") << "rating"
                                     << "4"
                                     << "4";
    QTest::newRow("width too big") << "width"
                                   << "99999"
                                   << "3200";
    QTest::newRow("height pasted text") << "height"
                                        << "tall"
                                        << "480";
    QTest::newRow("colours too few") << "colours"
                                     << "1"
                                     << "3";
    QTest::newRow("ratio too big") << "ratio"
                                   << "12"
                                   << "10";
    QTest::newRow("ratio under") << "ratio"
                                 << "0.5"
                                 << "0.5";
  }
  void otherBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    auto form = makeForm();
    const QHash<QString, QLineEdit*> boxes = {{"rating", form->txtRating[3]},
                                              {"width", form->txtPictureSizeWidth},
                                              {"height", form->txtPictureSizeHeight},
                                              {"colours", form->txtOmitUnderXColors},
                                              {"ratio", form->txtAspectRatio}};
    boxes[box]->setText(typed);
    QCOMPARE(boxes[box]->text(), shown);
  }

  void ratioShowsItsBound() {
    auto form = makeForm();
    form->txtAspectRatio->setText(QStringLiteral("0.5"));
    QCOMPARE(form->HScrollRatio->value(), 500);
    QCOMPARE(form->Label9->text(), QStringLiteral("aspect ratio UNDER:"));
    QCOMPARE(form->imgAspectRatio->size(), QSize(30, 60));
    form->HScrollRatio->setValue(2500);
    QCOMPARE(form->txtAspectRatio->text(), QStringLiteral("2.5"));
    QCOMPARE(form->Label9->text(), QStringLiteral("aspect ratio of OVER:"));
    form->HScrollRating[4]->setValue(3);
    QCOMPARE(form->txtRating[4]->text(), QStringLiteral("3"));
  }

  void enablingRules() {
    auto form = makeForm();
    form->chkRatingInclude[7]->setChecked(true);
    QVERIFY(form->txtRating[7]->isEnabled() && form->optRatingLessThan[7]->isEnabled());
    QVERIFY(!form->txtRating[6]->isEnabled());

    form->chkDescriptionInclude[2]->setChecked(true);
    QVERIFY(!form->ComboOrderedTheme[2]->isEnabled());  // the ordered box is still clear
    form->chkOrderedThemes->setChecked(true);
    QVERIFY(form->ComboOrderedTheme[2]->isEnabled());
    QVERIFY(!form->ComboOrderedTheme[1]->isEnabled());

    form->chkDescriptionsIncludesInclude->setChecked(true);
    for (QComboBox* combo : form->ComboIncludesTheme) QCOMPARE(combo->currentText(), QString());
    QCOMPARE(form->txtIncludesTheme[0]->text(), QStringLiteral("0"));
    QVERIFY(form->ComboIncludesTheme[0]->isEnabled());
    QVERIFY(!form->ComboIncludesTheme[3]->isEnabled());
    form->optDescriptionOr[3]->setChecked(true);
    QVERIFY(form->ComboIncludesTheme[3]->isEnabled());
    form->ComboIncludesTheme[0]->setCurrentIndex(4);
    QCOMPARE(form->txtIncludesTheme[0]->text(), QStringLiteral("5"));
    form->chkDescriptionsIncludesInclude->setChecked(false);
    QCOMPARE(form->ComboIncludesTheme[0]->currentText(), QString());

    form->chkPictureSizeWidthInclude->setChecked(true);
    QVERIFY(!form->txtPictureSizeWidth->isEnabled());
    form->chkPictureSizeInclude->setChecked(true);
    QVERIFY(form->txtPictureSizeWidth->isEnabled());
    QVERIFY(!form->txtPictureSizeHeight->isEnabled());

    form->chkOmitBanners->setChecked(true);
    QVERIFY(form->HScrollRatio->isEnabled() && form->chkAutoDetectBanners->isEnabled());
    form->optSelectXNumberOfPics->setChecked(true);
    QVERIFY(form->txtMaxNumPics->isEnabled());
  }

  void runQueryHandsOver() {
    auto form = makeForm();
    form->chkFileSizeInclude->setChecked(true);
    form->txtFileSize->setText(QStringLiteral("100"));
    form->chkRatingInclude[0]->setChecked(true);
    form->txtRating[0]->setText(QStringLiteral("3"));
    form->optViewOnlyNewPics->setChecked(true);
    form->chkDescriptionsIncludesInclude->setChecked(true);
    form->ComboIncludesTheme[0]->setCurrentIndex(2);
    form->chkTGA->setChecked(true);
    form->chkJPEG->setChecked(false);
    form->cmdOK_Click();

    const AppState& s = appState();
    QCOMPARE(viewerShows_, 1);
    QCOMPARE(s.QueryCaller, QStringLiteral("QueryForm"));
    QCOMPARE(s.QuerySQL, QStringLiteral("SELECT * FROM tbl1 WHERE FileSize > 102400 AND "
                                        "OverallRating > 3 AND NewFile = 1"));
    QCOMPARE(s.QueryFilter1, themeMatchClause(3) + u' ');
    QCOMPARE(s.QueryFilter2, QStringLiteral("Extension = 'pic' OR Extension = 'gif' OR "
                                            "Extension = 'png' OR Extension = 'tga'"));

    // View New Files keeps that theme filter and rebuilds the file-type filter.
    form->chkTGA->setChecked(false);
    form->cmdViewNewFiles_Click();
    QCOMPARE(s.QuerySQL, buildNewFilesStatement(QDate::currentDate()));
    QCOMPARE(s.QueryFilter1, themeMatchClause(3) + u' ');
    QCOMPARE(s.QueryFilter2, QStringLiteral("Extension = 'pic' OR Extension = 'gif' OR "
                                            "Extension = 'png'"));
  }

  void emptyFirstThemeUnticksBox() {
    auto form = makeForm();
    appState().QueryFilter1 = QStringLiteral("old");
    form->chkDescriptionsIncludesInclude->setChecked(true);
    form->optDescriptionOr[2]->setChecked(true);
    form->cmdOK_Click();
    QVERIFY(!form->chkDescriptionsIncludesInclude->isChecked());
    QVERIFY(!form->ComboIncludesTheme[0]->isEnabled());
    QCOMPARE(appState().QueryFilter1, QString());
    QCOMPARE(appState().QuerySQL, QStringLiteral("SELECT * FROM tbl1 WHERE FileERROR = 0"));
  }

  void saveAndLoad() {
    auto form = makeForm();
    form->optViewOnlyNewPics->setChecked(true);
    form->chkOrderedThemes->setChecked(true);
    form->chkDescriptionInclude[1]->setChecked(true);
    form->ComboOrderedTheme[1]->setCurrentIndex(4);
    form->chkOmitLowColors->setChecked(true);
    form->txtOmitUnderXColors->setText(QStringLiteral("4096"));
    saveAs(*form, QStringLiteral("holiday.qry"));
    const QString path = frmQuery::userFolder() + QStringLiteral("holiday.qry");
    QCOMPARE(glim::test::readBytes(path).size(), 3522);
    QVERIFY(!form->filelistSavedQueries->findItems(QStringLiteral("holiday.qry"), Qt::MatchExactly)
                 .isEmpty());
    QVERIFY(dialogs_->messages().isEmpty());

    auto fresh = makeForm();
    selectSaved(*fresh, QStringLiteral("holiday.qry"));
    fresh->cmdLoadQuery_Click();
    QVERIFY(dialogs_->messages().isEmpty());
    QVERIFY(fresh->optViewOnlyNewPics->isChecked());
    QCOMPARE(fresh->ComboOrderedTheme[1]->currentIndex(), 4);
    QVERIFY(fresh->ComboOrderedTheme[1]->isEnabled());
    QVERIFY(fresh->chkOmitLowColors->isChecked());
    QCOMPARE(fresh->txtOmitUnderXColors->text(), QStringLiteral("4096"));
  }

  void saveNames_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");  // empty: refused
    QTest::newRow("plain") << "set"
                           << "set";
    QTest::newRow("extension dropped") << "holiday.qry"
                                       << "holiday";
    QTest::newRow("blanks trimmed") << "  trip "
                                    << "trip";
    QTest::newRow("one letter") << "h"
                                << "h";
    QTest::newRow("dot") << "a.b"
                         << "";
    QTest::newRow("comma") << "a,b"
                           << "";
    QTest::newRow("slash") << "../x"
                           << "";
    QTest::newRow("quote") << "it's"
                           << "";
    QTest::newRow("star") << "*"
                          << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks only") << "   "
                                 << "";
  }
  void saveNames() {
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QCOMPARE(frmQuerySave::queryName(typed).value_or(QString()), name);
  }

  void invalidNameKeepsDialogOpen() {
    auto form = makeForm();
    onSaveDialog([this](frmQuerySave* d) {
      d->txtFilename->setText(QStringLiteral("a.b"));
      d->cmdSave_Click();
      QVERIFY(d->isVisible());
      QCOMPARE(d->txtFilename->text(), QString());
      QCOMPARE(dialogs_->messages().size(), 1);
      QCOMPARE(dialogs_->messages().first().title, QStringLiteral("Filename Error"));
      QCOMPARE(dialogs_->messages().first().text,
               QStringLiteral("Invalid Filename!  Enter ONLY the filename.  Do not enter the "
                              "path or extension.  Check for invalid characters."));
      d->cmdCancel_Click();
    });
    form->cmdSaveQuery_Click();
    QCOMPARE(form->txtSaveFileName->text(), kUserCanceled);
    QVERIFY(QDir(frmQuery::userFolder()).entryList({"*.qry"}).isEmpty());
  }

  void replaceExisting() {
    auto form = makeForm();
    const QString path = frmQuery::userFolder() + QStringLiteral("x.qry");
    glim::test::writeBytes(path, QByteArray(5000, 'z'));
    dialogs_->answer(MsgResult::No);
    saveAs(*form, QStringLiteral("x"));
    QCOMPARE(dialogs_->messages().last().text,
             QStringLiteral("The File x already exists.  Replace it?"));
    QCOMPARE(glim::test::readBytes(path), QByteArray(5000, 'z'));
    dialogs_->answer(MsgResult::Yes);
    saveAs(*form, QStringLiteral("x"));
    QCOMPARE(glim::test::readBytes(path).size(), 3522);
  }

  void clickingAFileNamesIt() {
    auto form = makeForm();
    saveAs(*form, QStringLiteral("first"));
    onSaveDialog([](frmQuerySave* d) {
      d->FileSaveQuery->setCurrentRow(0);
      d->FileSaveQuery_Click();
      QCOMPARE(d->txtFilename->text(), QStringLiteral("first"));
      d->cmdCancel_Click();
    });
    form->cmdSaveQuery_Click();
  }

  void loadFailures_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QueryRecord bad;
    bad.fileTypes.fill(1);
    bad.fileSize = 40000;
    QTest::newRow("truncated") << QByteArray(100, '\0') << kLoadErrorText
                               << int(MsgIcon::Exclamation);
    QTest::newRow("size beyond the slider")
        << encodeRecord(bad) << kApplyErrorText << int(MsgIcon::Critical);
  }
  void loadFailures() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(int, icon);
    auto form = makeForm();
    glim::test::writeBytes(frmQuery::userFolder() + QStringLiteral("bad.qry"), bytes);
    form->refreshSavedQueries();
    selectSaved(*form, QStringLiteral("bad.qry"));
    form->cmdLoadQuery_Click();
    QCOMPARE(dialogs_->messages().size(), 1);
    QCOMPARE(dialogs_->messages().first().text, text);
    QCOMPARE(dialogs_->messages().first().title, kLoadErrorTitle);
    QCOMPARE(int(dialogs_->messages().first().icon), icon);
  }

  void loadAndDeleteNeedASelection() {
    auto form = makeForm();
    form->cmdLoadQuery_Click();
    form->cmdDeleteQueryFile_Click();
    QCOMPARE(dialogs_->messages().size(), 2);
    for (const auto& m : dialogs_->messages()) {
      QCOMPARE(m.text, QStringLiteral("Please select a filename."));
      QCOMPARE(m.title, QStringLiteral("No filename selected"));
    }
  }

  void deleteAsks() {
    auto form = makeForm();
    saveAs(*form, QStringLiteral("gone"));
    selectSaved(*form, QStringLiteral("gone.qry"));
    dialogs_->answer(MsgResult::No);
    form->cmdDeleteQueryFile_Click();
    QCOMPARE(dialogs_->messages().last().text, QStringLiteral("Delete the file gone.qry now?"));
    QCOMPARE(dialogs_->messages().last().buttons, MsgButtons::YesNoCancel);
    QCOMPARE(form->filelistSavedQueries->count(), 1);
    selectSaved(*form, QStringLiteral("gone.qry"));
    dialogs_->answer(MsgResult::Yes);
    form->cmdDeleteQueryFile_Click();
    QCOMPARE(form->filelistSavedQueries->count(), 0);
  }

  void commandLineStartRunsTheFile() {
    QueryCriteria c = initialCriteria(themeNamesFromSettings(), QDate::currentDate());
    c.omitSpam = true;
    QueryRecord r;
    captureQueryRecord(c, r);
    const QString path = env_->folder(QStringLiteral("sets")) + QStringLiteral("/spam.qry");
    QVERIFY(writeQueryFile(path, r));
    AppState& s = appState();
    s.QueryFileStart = true;
    s.CommandLine = path + QStringLiteral("  ");
    frmQuery* form = startFromQueryFile();
    QTRY_COMPARE(viewerShows_, 1);
    QCOMPARE(s.QuerySQL, QStringLiteral("SELECT * FROM tbl1 WHERE SPAM <> 1"));
    QVERIFY(form->chkOmitSpam->isChecked());
    // While the flag stays set the tick runs it again; the viewer clears it and closes us.
    s.QueryFileStart = false;
    QTRY_VERIFY(!form->timerActive());
  }

  void commandLineFileMissing() {
    AppState& s = appState();
    s.QueryFileStart = true;
    s.CommandLine = env_->folder(QStringLiteral("x")) + QStringLiteral("/missing.qry");
    frmQuery* form = startFromQueryFile();
    QTRY_VERIFY(!s.QueryFileStart);
    QTRY_VERIFY(!form->timerActive());
    QCOMPARE(viewerShows_, 0);
    QCOMPARE(dialogs_->messages().size(), 1);
    QCOMPARE(dialogs_->messages().first().text,
             QStringLiteral("The query file %1 does not exist.").arg(s.CommandLine));
    QCOMPARE(dialogs_->messages().first().title, kLoadErrorTitle);
    QVERIFY(form->isVisible());
  }

  void commandLineNoViewer() {
    frmQuery::setViewerOpener([] { return false; });
    QueryRecord r;
    captureQueryRecord(initialCriteria(themeNamesFromSettings(), QDate::currentDate()), r);
    const QString path = env_->folder(QStringLiteral("sets")) + QStringLiteral("/plain.qry");
    QVERIFY(writeQueryFile(path, r));
    AppState& s = appState();
    s.QueryFileStart = true;
    s.CommandLine = path;
    startFromQueryFile();
    QTRY_VERIFY(!s.QueryFileStart);
    QCOMPARE(dialogs_->messages().size(), 1);
    QCOMPARE(dialogs_->messages().first().text, kRunErrorText);
  }

  void viewingPassword_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("password");  // empty: the dialog stays open
    QTest::newRow("same, case and blanks aside") << " Secret "
                                                 << "secret" << false << "Secret";
    QTest::newRow("different") << "abc"
                               << "abd" << false << "";
    QTest::newRow("don't show") << "abc"
                                << "abc" << true << "None";
  }
  void viewingPassword() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, cancel);
    QFETCH(QString, password);
    QPointer<frmPicPasswordqry> dialog = showPicturePasswordPrompt();
    QVERIFY(appState().QueryPasswordPending);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Password for Encrypted Images"));
    dialog->Text1->setText(first);
    dialog->Text2->setText(second);
    cancel ? dialog->cmdCancel_Click() : dialog->cmdOK_Click();
    if (password.isEmpty()) {
      QVERIFY(dialog && dialog->isVisible());
      QVERIFY(appState().QueryPasswordPending);
      QCOMPARE(dialogs_->lastText(), QStringLiteral("Passwords do not match.  Please try again."));
      QCOMPARE(dialog->Text2->selectedText(), second);
      dialog->close();
    } else {
      QCOMPARE(appState().PicturePassword, password);
    }
    QVERIFY(!appState().QueryPasswordPending);
  }
};

QTEST_MAIN(TestFrmQuery)
#include "tst_frmquery.moc"
