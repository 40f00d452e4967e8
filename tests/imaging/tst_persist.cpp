// Persistence of the control's design-time properties in property bags and streams, and the
// property pages that edit them.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QtEndian>
#include <QtTest>
#include <memory>

#include "objects.h"

#include "imaging_helpers.h"
#include "persist.h"
#include "propertypages.h"
#include "rastrel3.h"
#include "support/testenv.h"

using namespace rastrel;
using glim::test::getProp;
using glim::test::MemoryBag;
using glim::test::MemoryStream;
using glim::test::putProp;

namespace {

struct Control {
  Control() : dispatch(glim::test::newControl()), object(glim::test::objectOf(dispatch)) {
    dispatch->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag));
    dispatch->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&stream));
    object->SetClientSite(&host);
    uint32_t cookie = 0;
    object->Advise(IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(&host), &cookie);
  }
  ~Control() {
    object->SetClientSite(nullptr);
    for (IUnknown* u : std::initializer_list<IUnknown*>{bag, stream, object, dispatch})
      u->Release();
  }
  Variant get(DISPID id) {
    Variant v;
    getProp(dispatch, id, &v);
    return v;
  }
  IRastrel* dispatch;
  IRastrelObject* object;
  IPersistPropertyBag* bag = nullptr;
  IPersistStreamInit* stream = nullptr;
  glim::test::RecordingHost host;
};

VarType typeOf(IRastrel* c, DISPID id) {
  for (int i = 0; i < c->MemberCount(); ++i) {
    MemberInfo m;
    c->GetMemberInfo(i, &m);
    if (m.dispid == id) return m.type;
  }
  return VT_EMPTY;
}

QString describe(const Variant& v) {
  if (v.isObject()) {
    QFont font;
    IFont* f = nullptr;
    if (v.object() &&
        succeeded(v.object()->QueryInterface(IID_IFont, reinterpret_cast<void**>(&f)))) {
      f->get_Font(&font);
      f->Release();
      return QStringLiteral("font ") + font.toString();
    }
    return v.object() ? QStringLiteral("object") : QStringLiteral("nothing");
  }
  Variant text;
  v.changeType(VT_BSTR, &text);
  return QString::number(v.type()) + u':' + text.string();
}

}  // namespace

class TstPersist : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env_ = std::make_unique<glim::test::TestEnv>();
    picture_ = env_->folder(QStringLiteral("p")) + QStringLiteral("/stored.png");
    QVERIFY(glim::test::writePicture(picture_, 24, 16, "PNG"));
  }
  void cleanup() { env_.reset(); }

  void mapOrder() {
    const auto map = impl::propertyMap();
    QCOMPARE(map.size(), size_t(65));
    QCOMPARE(QString::fromLatin1(map.front().name), QStringLiteral("FileName"));
    QCOMPARE(QString::fromLatin1(map[20].name), QStringLiteral("PlaceHolder"));
    QCOMPARE(map[20].id, DISPID(dispid::FileName));
    QCOMPARE(QString::fromLatin1(map.back().name), QStringLiteral("OLEDropAllowed"));
  }

  void bagRoundTripsEveryEntry() {
    Control a, b;
    setDistinctValues(a);
    MemoryBag bag;
    QCOMPARE(a.bag->Save(&bag, true, true), S_OK);
    QCOMPARE(bag.written.mid(0, 3), (QStringList{"_ExtentX", "_ExtentY", "Persistence"}));
    QCOMPARE(bag.values.value(QStringLiteral("PlaceHolder")).string(), picture_);
    QCOMPARE(bag.values.value(QStringLiteral("BackColor")).type(), VT_I4);  // colours as I4
    QVERIFY(!bag.values.contains(QStringLiteral("MouseIcon")));             // null: skipped
    QCOMPARE(b.bag->Load(&bag), S_OK);
    compareAll(a, b);
    QSize extent;
    b.object->GetExtent(&extent);
    QCOMPARE(extent, QSize(1234, 567));
  }

  // FileName is stored under "FileName" and "PlaceHolder" and loading puts it twice.
  void placeHolderLoadsThePictureAgain() {
    Control a, b;
    QCOMPARE(putProp(a.dispatch, dispid::FileName, Variant::str(picture_)), S_OK);
    MemoryBag bag;
    QCOMPARE(a.bag->Save(&bag, true, true), S_OK);
    QCOMPARE(bag.values.value(QStringLiteral("FileName")).string(), picture_);
    b.host.designMode = true;
    QCOMPARE(b.bag->Load(&bag), S_OK);
    QCOMPARE(b.host.notices.count(DISPID(dispid::FileName)), 2);
    b.host.designMode = false;
    QCOMPARE(b.get(dispid::IWidth).whole(), 24);
  }

  void persistenceOffKeepsOnlyTheExtent() {
    Control a, b;
    setDistinctValues(a);
    QCOMPARE(putProp(a.dispatch, dispid::Persistence, Variant::boolean(false)), S_OK);
    MemoryBag bag;
    QCOMPARE(a.bag->Save(&bag, true, true), S_OK);
    QCOMPARE(bag.written, (QStringList{"_ExtentX", "_ExtentY", "Persistence"}));
    Control fresh;
    QCOMPARE(b.bag->Load(&bag), S_OK);
    QSize extent;
    b.object->GetExtent(&extent);
    QCOMPARE(extent, QSize(1234, 567));
    for (const impl::MapEntry& e : impl::propertyMap())
      if (e.id != dispid::Persistence)
        QVERIFY2(describe(b.get(e.id)) == describe(fresh.get(e.id)), e.name);

    MemoryStream stream;
    QCOMPARE(a.stream->Save(&stream, true), S_OK);
    QCOMPARE(stream.bytes, impl::serializeVariant(Variant::i4(0)));  // the flag alone
  }

  void streamRoundTripsEveryEntry() {
    Control a, b;
    setDistinctValues(a);
    MemoryStream stream;
    QCOMPARE(a.stream->Save(&stream, true), S_OK);
    QCOMPARE(a.object->IsDirty(), S_FALSE);
    QCOMPARE(b.stream->Load(&stream), S_OK);
    QCOMPARE(stream.position, stream.bytes.size());
    compareAll(a, b);
    QSize extent;
    b.object->GetExtent(&extent);
    QCOMPARE(extent, QSize(1234, 567));
  }

  void laterStreamVersionHasNoExtent() {
    Control a, b;
    QCOMPARE(putProp(a.dispatch, dispid::AutoSize, Variant::i2(ISIZE_TileImage)), S_OK);
    MemoryStream stream;
    QCOMPARE(a.stream->Save(&stream, true), S_OK);
    const qsizetype head = impl::serializeVariant(Variant::i4(-1)).size();
    QByteArray later = stream.bytes.left(head);
    const int32_t version = qToLittleEndian<int32_t>(513);
    later.append(reinterpret_cast<const char*>(&version), 4);
    later += stream.bytes.mid(head + 12);  // without the version and the extent
    MemoryStream changed;
    changed.bytes = later;
    b.object->SetExtent(QSize(100, 200));
    QCOMPARE(b.stream->Load(&changed), S_OK);
    QCOMPARE(b.get(dispid::AutoSize).whole(), int64_t(ISIZE_TileImage));
    QSize extent;
    b.object->GetExtent(&extent);
    QCOMPARE(extent, QSize(100, 200));
  }

  void badBagsStopTheLoad_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("text for a number") << "AutoSize"
                                       << "wide" << int(DISP_E_TYPEMISMATCH);
    QTest::newRow("enumeration out of range") << "AutoSize"
                                              << "9" << int(controlError(380));
    QTest::newRow("mouse pointer 44") << "MousePointer"
                                      << "44" << int(controlError(380));
  }
  void badBagsStopTheLoad() {
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(int, expected);
    Control a, b;
    QCOMPARE(putProp(a.dispatch, dispid::FileName, Variant::str(picture_)), S_OK);
    MemoryBag bag;
    QCOMPARE(a.bag->Save(&bag, true, true), S_OK);
    bag.values.insert(name, Variant::str(value));
    bag.values.insert(QStringLiteral("ScrollBars"), Variant::i2(SB_Both));  // after the bad one
    QCOMPARE(b.bag->Load(&bag), HRESULT(expected));
    QCOMPARE(b.get(dispid::FileName).string(), picture_);   // put before the failure: kept
    QVERIFY(b.get(dispid::ScrollBars).whole() != SB_Both);  // never reached
  }

  void badStreamsStopTheLoad_data() {
    QTest::addColumn<int>("cut");  // bytes kept of a good stream; -1: an unknown tag inserted
    QTest::addColumn<int>("expected");
    QTest::newRow("no flag") << 1 << int(STG_E_READFAULT);
    QTest::newRow("no version") << 8 << int(STG_E_READFAULT);
    QTest::newRow("cut inside the entries") << 200 << int(STG_E_READFAULT);
    QTest::newRow("unknown tag") << -1 << int(E_INVALIDARG);
  }
  void badStreamsStopTheLoad() {
    QFETCH(int, cut);
    QFETCH(int, expected);
    Control a, b;
    QCOMPARE(putProp(a.dispatch, dispid::FileName, Variant::str(picture_)), S_OK);
    MemoryStream good;
    QCOMPARE(a.stream->Save(&good, true), S_OK);
    MemoryStream bad;
    const qsizetype head = impl::serializeVariant(Variant::i4(-1)).size() + 12;
    bad.bytes = cut >= 0 ? good.bytes.left(cut) : good.bytes.left(head) + QByteArray("\x63\x00", 2);
    QCOMPARE(b.stream->Load(&bad), HRESULT(expected));
    if (cut == 200) QCOMPARE(b.get(dispid::FileName).string(), picture_);
  }

  // Damaged streams: every load ends with a code, never a crash.
  void garbageStreamsAreRefused() {
    Control a;
    MemoryStream good;
    QCOMPARE(a.stream->Save(&good, true), S_OK);
    QRandomGenerator random(20261208);
    for (int round = 0; round < 300; ++round) {
      MemoryStream bad;
      bad.bytes = good.bytes;
      for (int flips = 1 + int(random.bounded(8)); flips > 0; --flips)
        bad.bytes[qsizetype(random.bounded(int(bad.bytes.size())))] = char(random.bounded(256));
      bad.bytes.truncate(qsizetype(random.bounded(int(bad.bytes.size()) + 1)));
      Control b;
      const HRESULT hr = b.stream->Load(&bad);
      QVERIFY(hr == S_OK || failed(hr));
    }
  }

  void dirtyFlag() {
    Control a;
    QCOMPARE(a.object->IsDirty(), S_FALSE);
    QCOMPARE(a.stream->InitNew(), S_OK);
    QCOMPARE(a.object->IsDirty(), S_OK);
    MemoryBag bag;
    QCOMPARE(a.bag->Save(&bag, false, true), S_OK);
    QCOMPARE(a.object->IsDirty(), S_OK);
    QCOMPARE(a.bag->Save(&bag, true, true), S_OK);
    QCOMPARE(a.object->IsDirty(), S_FALSE);
    uint64_t size = 0;
    QCOMPARE(a.stream->GetSizeMax(&size), E_NOTIMPL);
  }

  // The dialog stays within the screen, and it can shrink to a 1024 x 768 screen shown at
  // twice the scale (512 x 384 points) with OK reachable: its tall pages scroll instead.
  void dialogFitsTheScreen() {
    Control a;
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    const QSize room = dialog->screen()->availableGeometry().size();
    QVERIFY(dialog->width() <= room.width());
    QVERIFY(dialog->height() <= room.height());
    const QSize smallest = dialog->minimumSizeHint();
    QVERIFY2(smallest.width() <= 512 && smallest.height() <= 384,
             qPrintable(QStringLiteral("%1 x %2").arg(smallest.width()).arg(smallest.height())));
    for (int i = 0; i < dialog->tabs()->count(); ++i) QVERIFY(dialog->page(i));
    QVERIFY(dialog->findChild<QLabel*>(QStringLiteral("lblError"))->isHidden());
  }
  void pageChangesReachTheControl_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("value");  // check: "1"/"0"; list: the text; edit: the text
    QTest::addColumn<int>("id");
    QTest::addColumn<qlonglong>("expected");
    QTest::newRow("General AutoSize") << "GenProps"
                                      << "AutoSize:"
                                      << "Tile Image To Control" << int(dispid::AutoSize) << 3LL;
    QTest::newRow("Misc Undo Enabled") << "MiscPpg"
                                       << "Undo Enabled"
                                       << "1" << int(dispid::UndoEnabled) << -1LL;
    QTest::newRow("Misc Notify Delay") << "MiscPpg"
                                       << "Notify Delay"
                                       << "250" << int(dispid::NotifyDelay) << 250LL;
    QTest::newRow("Misc Mouse Pointer") << "MiscPpg"
                                        << "Mouse Pointer"
                                        << "Custom" << int(dispid::MousePointer) << 99LL;
    QTest::newRow("PICView crop") << "PICViewPpg"
                                  << "PICCropWidth"
                                  << "40" << int(dispid::PICCropWidth) << 40LL;
    QTest::newRow("Save TIF type") << "SavePpg"
                                   << "Type@TIF"
                                   << "Pack Bits" << int(dispid::SaveTIFCompression) << 5LL;
    QTest::newRow("Save chrom factor") << "SavePpg"
                                       << "Chrom Factor"
                                       << "200" << int(dispid::SaveJPGChromFactor) << 200LL;
    QTest::newRow("Save WebP quality") << "SavePpg"
                                       << "Quality@WebP"
                                       << "40" << int(dispid::SaveWEBPQuality) << 40LL;
    QTest::newRow("Save WebP lossless") << "SavePpg"
                                        << "Lossless@WebP"
                                        << "1" << int(dispid::SaveWEBPLossless) << -1LL;
    QTest::newRow("Save PNG interlaced") << "SavePpg"
                                         << "Interlaced@PNG"
                                         << "1" << int(dispid::SavePNGInterlaced) << -1LL;
    QTest::newRow("View palette") << "ViewPpg"
                                  << "Palette"
                                  << "Grayscale" << int(dispid::Palette) << 2LL;
    QTest::newRow("View scroll bars") << "ViewPpg"
                                      << "@Scroll Bars"
                                      << "Both" << int(dispid::ScrollBars) << 3LL;
    QTest::newRow("Draw width") << "DrawPpg"
                                << "DrawWidth"
                                << "5" << int(dispid::DrawWidth) << 5LL;
    QTest::newRow("Draw mode") << "DrawPpg"
                               << "DrawMode"
                               << "XOR Pen" << int(dispid::DrawMode) << 7LL;
  }
  void pageChangesReachTheControl() {
    QFETCH(QString, page);
    QFETCH(QString, caption);
    QFETCH(QString, value);
    QFETCH(int, id);
    QFETCH(qlonglong, expected);
    Control a;
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    QStringList titles;
    for (int i = 0; i < dialog->tabs()->count(); ++i) titles << dialog->tabs()->tabText(i);
    QCOMPARE(titles, (QStringList{"&General", "&Misc", "&PICView", "&Save", "&View", "&Draw",
                                  "&Font", "&Colors", "P&icture"}));
    QWidget* p = dialog->findChild<QWidget*>(page);
    QVERIFY(p);
    QWidget* field = fieldOf(p, caption);
    QVERIFY2(field, qPrintable(caption));
    if (auto* check = qobject_cast<QCheckBox*>(field))
      check->setChecked(value == "1");
    else if (auto* list = qobject_cast<QComboBox*>(field)) {
      const int index = list->findText(value);
      QVERIFY(index >= 0);
      list->setCurrentIndex(index);
    } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
      edit->setText(value);
    }
    QCOMPARE(dialog->applyAll(), S_OK);
    QCOMPARE(qlonglong(a.get(id).whole()), expected);
  }

  void browseButtonFillsTheFileName() {
    Control a;
    QString seenFilter;
    impl::setOpenFileHook([&](const QString&, const QString& filter) {
      seenFilter = filter;
      return picture_;
    });
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    auto* browse = dialog->findChild<QPushButton*>(QStringLiteral("FileName:..."));
    QVERIFY(browse);
    browse->click();
    impl::setOpenFileHook(nullptr);
    QVERIFY(seenFilter.contains(QStringLiteral("WPG - Word Perfect Bitmap (*.wpg)")));
    // "All Supported Formats" offers exactly the extensions of the engine's codec table.
    QFile table(QStringLiteral(GLIMMORA_SOURCE_DIR "/rastcore/src/fileformat/codec_table.cpp"));
    QVERIFY(table.open(QIODevice::ReadOnly));
    QSet<QString> engine;
    static const QRegularExpression entry(
        QStringLiteral("\\{FT_\\w+, \"[^\"]*\", \"([a-z0-9 ]+)\""));
    for (auto it = entry.globalMatch(QString::fromUtf8(table.readAll())); it.hasNext();)
      for (const QString& ext : it.next().captured(1).split(u' ', Qt::SkipEmptyParts))
        engine << QStringLiteral("*.") + ext;
    QVERIFY(engine.size() > 30);
    const QString all = seenFilter.section(u'(', 1, 1).section(u')', 0, 0);
    const QStringList offered = all.split(u' ', Qt::SkipEmptyParts);
    QCOMPARE(QSet<QString>(offered.begin(), offered.end()), engine);
    QCOMPARE(dialog->applyAll(), S_OK);
    QCOMPARE(a.get(dispid::FileName).string(), picture_);
    QCOMPARE(a.get(dispid::IWidth).whole(), 24);
  }

  // Every choice of every list on the pages is one the control takes and keeps; the page shows
  // what the control holds.
  void everyListedChoiceSticks() {
    Control a;
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    auto* drawStyle = dialog->findChild<QComboBox*>(QStringLiteral("DrawStyle"));
    QVERIFY(drawStyle);
    QCOMPARE(drawStyle->currentText(), QStringLiteral("Solid"));  // the default pen
    for (DISPID id : {DISPID(dispid::DrawStyle), DISPID(dispid::DrawFillStyle),
                      DISPID(dispid::DrawMode), DISPID(dispid::Antialias)}) {
      for (const impl::EnumChoice& choice : impl::enumChoices(id)) {
        QCOMPARE(putProp(a.dispatch, id, Variant::i2(int16_t(choice.value))), S_OK);
        QVERIFY2(a.get(id).whole() == choice.value, qPrintable(choice.text));
      }
    }
  }

  // A value the control refuses leaves the control and the page at the old value, and the
  // dialog says why.
  void refusedValueKeepsTheOldValue() {
    Control a;
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    auto* list = dialog->findChild<QComboBox*>(QStringLiteral("DrawStyle"));
    QVERIFY(list);
    list->addItem(QStringLiteral("Not a style"), 42);  // what an outdated list would offer
    list->setCurrentIndex(list->count() - 1);
    QVERIFY(failed(dialog->applyAll()));
    QCOMPARE(a.get(dispid::DrawStyle).whole(), 0);  // still solid
    QCOMPARE(list->currentText(), QStringLiteral("Solid"));
    auto* error = dialog->findChild<QLabel*>(QStringLiteral("lblError"));
    QVERIFY(error && error->text().startsWith(QStringLiteral("DrawStyle cannot be set")));
    QCOMPARE(dialog->applyAll(), S_OK);  // nothing left to put
  }

  // What the pages call a line style or a fill pattern is what the engine draws.
  void drawPageChoicesDrawWhatTheySay() {
    const QString white = env_->folder(QStringLiteral("p")) + QStringLiteral("/white.png");
    QImage blank(64, 64, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QVERIFY(blank.save(white));
    auto drawn = [&](const QString& style, const QString& fill) {
      Control a;
      putProp(a.dispatch, dispid::FileName, Variant::str(white));
      auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
      auto* styles = dialog->findChild<QComboBox*>(QStringLiteral("DrawStyle"));
      auto* fills = dialog->findChild<QComboBox*>(QStringLiteral("DrawFillStyle"));
      styles->setCurrentIndex(styles->findText(style));
      fills->setCurrentIndex(fills->findText(fill));
      impl::setChooseColorHook([](const QColor&) { return QColor(Qt::black); });
      dialog->findChild<QPushButton*>(QStringLiteral("DrawFillColor"))->click();
      impl::setChooseColorHook(nullptr);
      if (failed(dialog->applyAll())) return QImage();
      glim::test::callMethod(
          a.dispatch, dispid::DrawLine,
          {Variant::i4(0), Variant::i4(2), Variant::i4(63), Variant::i4(2), Variant::ui4(0)});
      glim::test::callMethod(
          a.dispatch, dispid::DrawPolygon,
          {Variant::str(QStringLiteral("8,8,56,8,56,56,8,56")), Variant::ui4(0)});
      const QString out = env_->folder(QStringLiteral("p")) + QStringLiteral("/drawn.png");
      putProp(a.dispatch, dispid::SaveFileName, Variant::str(out));
      glim::test::callMethod(a.dispatch, dispid::SaveFile);
      return QImage(out);
    };
    auto dark = [](const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 128; };
    auto lineCoverage = [&](const QImage& img) {
      int n = 0;
      for (int x = 0; x < 64; ++x) n += dark(img, x, 2);
      return n;
    };

    const QImage solid = drawn(QStringLiteral("Solid"), QStringLiteral("Transparent"));
    QVERIFY(!solid.isNull());
    QCOMPARE(lineCoverage(solid), 64);
    QVERIFY(!dark(solid, 32, 32));  // a transparent fill leaves the inside alone
    QCOMPARE(lineCoverage(drawn(QStringLiteral("Transparent"), QStringLiteral("Transparent"))), 0);
    const int dashed = lineCoverage(drawn(QStringLiteral("Dash"), QStringLiteral("Transparent")));
    const int dotted = lineCoverage(drawn(QStringLiteral("Dot"), QStringLiteral("Transparent")));
    QVERIFY(dashed > 0 && dashed < 64);
    QVERIFY(dotted > 0 && dotted < dashed);

    // Downward diagonals run from top left to bottom right ("\"), upward ones the other way.
    auto slope = [&](const QImage& img) {
      for (int y = 20; y < 44; ++y)
        for (int x = 20; x < 44; ++x)
          if (dark(img, x, y))
            return dark(img, x + 1, y + 1) ? 1 : dark(img, x - 1, y + 1) ? -1 : 0;
      return 0;
    };
    QCOMPARE(slope(drawn(QStringLiteral("Transparent"), QStringLiteral("Downward Diagonal"))), 1);
    QCOMPARE(slope(drawn(QStringLiteral("Transparent"), QStringLiteral("Upward Diagonal"))), -1);
    QVERIFY(dark(drawn(QStringLiteral("Transparent"), QStringLiteral("Solid")), 32, 32));
  }

  // The font and colour pages put what they show.
  void fontAndColorPages() {
    Control a;
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    impl::setChooseColorHook([](const QColor&) { return QColor(10, 20, 30); });
    dialog->findChild<QPushButton*>(QStringLiteral("BackColor"))->click();
    impl::setChooseColorHook([](const QColor&) { return QColor(); });  // the user cancels
    dialog->findChild<QPushButton*>(QStringLiteral("SaveGIFTColor"))->click();
    impl::setChooseColorHook(nullptr);
    const qint64 transparent = a.get(dispid::SaveGIFTColor).whole();
    dialog->findChild<QSpinBox*>(QStringLiteral("FontSize"))->setValue(21);
    QCOMPARE(dialog->applyAll(), S_OK);
    QCOMPARE(a.get(dispid::BackColor).whole(), 0x1e140aLL);  // red in the low byte
    QCOMPARE(a.get(dispid::SaveGIFTColor).whole(), transparent);
    QFont font;
    QVERIFY(impl::fontOf(a.get(dispid::Font).object(), &font));
    QCOMPARE(font.pointSize(), 21);
  }

  // The picture page takes a picture from a file for Picture (which the control then shows)
  // and for MouseIcon, previews it, and clears either; a file that holds no picture changes
  // nothing and says why.
  void picturePageSetsAndClears() {
    const QString red = env_->folder(QStringLiteral("p")) + QStringLiteral("/red.png");
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QVERIFY(image.save(red));
    const QString text = env_->folder(QStringLiteral("p")) + QStringLiteral("/notes.png");
    glim::test::writeBytes(text, "only words");
    Control a;
    putProp(a.dispatch, dispid::FileName, Variant::str(picture_));
    auto dialog = impl::createPropertyDialog(a.dispatch, nullptr);
    auto* preview = dialog->findChild<QLabel*>(QStringLiteral("PicturePreview"));
    QVERIFY(preview);
    QCOMPARE(preview->pixmap().size(), QSize(24, 16));  // the picture shown now
    auto* iconInfo = dialog->findChild<QLabel*>(QStringLiteral("MouseIconInfo"));
    QCOMPARE(iconInfo->text(), QStringLiteral("No picture."));

    QString chosen = text;
    impl::setOpenFileHook([&](const QString&, const QString&) { return chosen; });
    dialog->findChild<QPushButton*>(QStringLiteral("MouseIconBrowse"))->click();
    QVERIFY2(iconInfo->text().startsWith(QStringLiteral("notes.png cannot be used: ")),
             qPrintable(iconInfo->text()));
    QVERIFY(!dialog->findChild<impl::PropertyPage*>(QStringLiteral("PicturePpg"))->isDirty());
    chosen = red;
    dialog->findChild<QPushButton*>(QStringLiteral("MouseIconBrowse"))->click();
    dialog->findChild<QPushButton*>(QStringLiteral("PictureBrowse"))->click();
    impl::setOpenFileHook(nullptr);
    QCOMPARE(iconInfo->text(), QStringLiteral("40 \u00d7 30 pixels"));
    QCOMPARE(preview->pixmap().toImage().pixelColor(5, 5), QColor(255, 0, 0));
    QCOMPARE(a.get(dispid::IWidth).whole(), 24);  // nothing put before Apply
    QCOMPARE(dialog->applyAll(), S_OK);

    QCOMPARE(a.get(dispid::IWidth).whole(), 40);
    QCOMPARE(a.get(dispid::IHeight).whole(), 30);
    // The icon holds the file's picture: another control shown it saves it.
    Variant icon = a.get(dispid::MouseIcon);
    QVERIFY(icon.object());
    {
      Control b;
      QCOMPARE(b.dispatch->Invoke(dispid::Picture, InvokeKind::PutRef, &icon, 1, nullptr, nullptr),
               S_OK);
      const QString out = env_->folder(QStringLiteral("p")) + QStringLiteral("/icon.png");
      putProp(b.dispatch, dispid::SaveFileName, Variant::str(out));
      glim::test::callMethod(b.dispatch, dispid::SaveFile);
      const QImage saved(out);
      QCOMPARE(saved.size(), QSize(40, 30));
      QCOMPARE(saved.pixelColor(39, 29), QColor(255, 0, 0));
    }

    dialog->findChild<QPushButton*>(QStringLiteral("PictureClear"))->click();
    dialog->findChild<QPushButton*>(QStringLiteral("MouseIconClear"))->click();
    QCOMPARE(preview->text(), QStringLiteral("(None)"));
    QCOMPARE(dialog->applyAll(), S_OK);
    QVERIFY(!a.get(dispid::MouseIcon).object());
    QVERIFY(!a.get(dispid::Picture).object());
    QCOMPARE(a.get(dispid::IWidth).whole(), 0);
  }

  void enumerationTextsInValueOrder() {
    QCOMPARE(impl::enumTexts(dispid::MousePointer).size(), 45);  // 0-43 and Custom (99)
    QCOMPARE(impl::enumTexts(dispid::MousePointer).at(43), QStringLiteral("Size All"));
    QCOMPARE(impl::enumTexts(dispid::DrawMode).size(), 16);  // 1-16; the engine has no "None"
    QCOMPARE(impl::enumTexts(dispid::CancelMode).size(), 10);
  }

 private:
  // A value for every map entry other than the control's initial one.
  void setDistinctValues(Control& c) {
    c.object->SetExtent(QSize(1234, 567));
    for (const impl::MapEntry& e : impl::propertyMap()) {
      const Variant now = c.get(e.id);
      Variant v;
      switch (typeOf(c.dispatch, e.id)) {
        case VT_BOOL:
          v = Variant::boolean(!now.toBool());
          break;
        case VT_I2:
          v = Variant::i2(e.max >= e.min ? int16_t(now.whole() == e.min ? e.min + 1 : e.min) : 7);
          break;
        case VT_I4:
          v = Variant::i4(9);
          break;
        case VT_UI4:
          v = Variant::ui4(0x00123456);
          break;
        case VT_BSTR:
          v = Variant::str(e.id == dispid::FileName ? picture_ : QString::fromLatin1(e.name) + "x");
          break;
        default:
          continue;
      }
      if (e.id == dispid::Persistence || e.id == dispid::PFileName) continue;
      putProp(c.dispatch, e.id, v);
    }
    Variant font = c.get(dispid::Font);
    IFont* f = nullptr;
    QVERIFY(succeeded(font.object()->QueryInterface(IID_IFont, reinterpret_cast<void**>(&f))));
    f->put_Font(QFont(QStringLiteral("Serif"), 13));
    f->Release();
    c.dispatch->Invoke(dispid::Font, InvokeKind::PutRef, &font, 1, nullptr, nullptr);
  }
  void compareAll(Control& a, Control& b) {
    for (const impl::MapEntry& e : impl::propertyMap())
      QVERIFY2(describe(a.get(e.id)) == describe(b.get(e.id)),
               qPrintable(QString::fromLatin1(e.name) + u' ' + describe(a.get(e.id)) + u' ' +
                          describe(b.get(e.id))));
    QVERIFY(describe(b.get(dispid::Font)).contains(QStringLiteral("Serif,13")));
  }
  // The editing widget of a caption on a page; "caption@group" looks inside a group box.
  static QWidget* fieldOf(QWidget* page, const QString& where) {
    const QString caption = where.section(u'@', 0, 0), group = where.section(u'@', 1);
    QWidget* scope = page;
    if (!group.isEmpty())
      for (auto* box : page->findChildren<QGroupBox*>())
        if (box->title() == group) scope = box;
    for (auto* check : scope->findChildren<QCheckBox*>())
      if (check->text() == caption) return check;
    for (auto* layout : scope->findChildren<QFormLayout*>()) {
      for (int row = 0; row < layout->rowCount(); ++row) {
        auto* label = layout->itemAt(row, QFormLayout::LabelRole);
        auto* fieldItem = layout->itemAt(row, QFormLayout::FieldRole);
        const QString text =
            label && label->widget() ? qobject_cast<QLabel*>(label->widget())->text() : QString();
        if (text != caption || !fieldItem) continue;
        if (fieldItem->widget()) return fieldItem->widget();
        if (fieldItem->layout()) return fieldItem->layout()->itemAt(0)->widget();
      }
    }
    return nullptr;
  }

  std::unique_ptr<glim::test::TestEnv> env_;
  QString picture_;
};

QTEST_MAIN(TstPersist)
#include "tst_persist.moc"
