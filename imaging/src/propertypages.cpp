#include "propertypages.h"

#include <algorithm>

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dibimage.h"
#include "engine.h"
#include "objects.h"
#include "rastcore3_names.h"

namespace rastrel::impl {

namespace {

namespace d = dispid;

enum class Kind { Check, List, Edit, File, Color, Font, Picture, Note, Group, Unbound };

struct FieldSpec {
  Kind kind;
  QString caption;
  DISPID id = 0;
};

struct PageSpec {
  QString className;
  QString title;
  std::vector<FieldSpec> fields;
};

QStringList numbered(const QString& stem, int count) {
  QStringList out;
  for (int i = 1; i <= count; ++i) out << QStringLiteral("%1 #%2").arg(stem).arg(i);
  return out;
}

const std::vector<PageSpec>& pageSpecs() {
  static const std::vector<PageSpec> specs = {
      {QStringLiteral("GenProps"),
       QStringLiteral("&General"),
       {{Kind::File, QStringLiteral("FileName:"), d::FileName},
        {Kind::List, QStringLiteral("AutoSize:"), d::AutoSize}}},
      {QStringLiteral("MiscPpg"),
       QStringLiteral("&Misc"),
       {{Kind::Check, QStringLiteral("Show Hourglass"), d::ShowHourglass},
        {Kind::Check, QStringLiteral("Undo Enabled"), d::UndoEnabled},
        {Kind::Check, QStringLiteral("Multitask"), d::Multitask},
        {Kind::Check, QStringLiteral("Printer Banding"), d::PrinterBanding},
        {Kind::Check, QStringLiteral("Progress"), d::ProgressEnabled},
        {Kind::Check, QStringLiteral("Notify"), d::Notify},
        {Kind::Check, QStringLiteral("Cancel Remove"), d::CancelRemove},
        {Kind::Check, QStringLiteral("Cancel Load"), d::CancelLoad},
        {Kind::Check, QStringLiteral("Persistence"), d::Persistence},
        {Kind::Check, QStringLiteral("PictureEnabled"), d::PictureEnabled},
        {Kind::List, QStringLiteral("Mouse Pointer"), d::MousePointer},
        {Kind::List, QStringLiteral("Cancel Mode"), d::CancelMode},
        {Kind::Edit, QStringLiteral("Notify Delay"), d::NotifyDelay}}},
      {QStringLiteral("PICViewPpg"),
       QStringLiteral("&PICView"),
       {{Kind::Note, QStringLiteral("Properties apply to loading JPEG adn ePIC files only.")},
        {Kind::Check, QStringLiteral("PICCropEnabled"), d::PICCropEnabled},
        {Kind::Edit, QStringLiteral("PICCropX"), d::PICCropX},
        {Kind::Edit, QStringLiteral("PICCropY"), d::PICCropY},
        {Kind::Edit, QStringLiteral("PICCropWidth"), d::PICCropWidth},
        {Kind::Edit, QStringLiteral("PICCropHeight"), d::PICCropHeight},
        {Kind::List, QStringLiteral("PICThumbnail"), d::PICThumbnail}}},
      {QStringLiteral("SavePpg"),
       QStringLiteral("&Save"),
       {{Kind::Group, QStringLiteral("GIF")},
        {Kind::List, QStringLiteral("Type"), d::SaveGIFType},
        {Kind::Check, QStringLiteral("Interlaced"), d::SaveGIFInterlaced},
        {Kind::Check, QStringLiteral("Transparent"), d::SaveGIFTransparent},
        {Kind::Note, QStringLiteral("(See Colors Tab for GIF Transparent Color)")},
        {Kind::Group, QStringLiteral("PNG")},
        {Kind::Check, QStringLiteral("Interlaced"), d::SavePNGInterlaced},
        {Kind::Group, QStringLiteral("JPEG/ePIC")},
        {Kind::Check, QStringLiteral("Progressive"), d::SaveJPGProgressive},
        {Kind::Check, QStringLiteral("Grayscale"), d::SaveJPGGrayscale},
        {Kind::Edit, QStringLiteral("Lum Factor"), d::SaveJPGLumFactor},
        {Kind::Edit, QStringLiteral("Chrom Factor"), d::SaveJPGChromFactor},
        {Kind::Edit, QStringLiteral("Password"), d::PICPassword},
        {Kind::Note, QStringLiteral("(Optional, ePIC Only)")},
        {Kind::Group, QStringLiteral("TIF")},
        {Kind::List, QStringLiteral("Type"), d::SaveTIFCompression},
        {Kind::Group, QStringLiteral("WebP")},
        {Kind::Edit, QStringLiteral("Quality"), d::SaveWEBPQuality},
        {Kind::Check, QStringLiteral("Lossless"), d::SaveWEBPLossless}}},
      {QStringLiteral("ViewPpg"),
       QStringLiteral("&View"),
       {{Kind::File, QStringLiteral("PFileName"), d::PFileName},
        {Kind::List, QStringLiteral("BorderType"), d::BorderType},
        {Kind::List, QStringLiteral("Palette"), d::Palette},
        {Kind::List, QStringLiteral("ShowDithered"), d::ShowDithered},
        {Kind::List, QStringLiteral("DisplayMode"), d::DisplayMode},
        {Kind::List, QStringLiteral("Antialias"), d::Antialias},
        {Kind::Unbound, QStringLiteral("PNumColors")},
        {Kind::Edit, QStringLiteral("CropX"), d::CropX},
        {Kind::Edit, QStringLiteral("CropY"), d::CropY},
        {Kind::Group, QStringLiteral("Scroll Bars")},
        {Kind::List, QString(), d::ScrollBars},
        {Kind::Edit, QStringLiteral("Large Change"), d::ScrollBarLargeChange},
        {Kind::Edit, QStringLiteral("Small Change"), d::ScrollBarSmallChange}}},
      {QStringLiteral("DrawPpg"),
       QStringLiteral("&Draw"),
       {{Kind::List, QStringLiteral("DrawStyle"), d::DrawStyle},
        {Kind::List, QStringLiteral("DrawMode"), d::DrawMode},
        {Kind::List, QStringLiteral("DrawFillStyle"), d::DrawFillStyle},
        {Kind::Edit, QStringLiteral("DrawWidth"), d::DrawWidth}}},
      // The stock pages of the map: the font, and the colour properties.
      {QStringLiteral("FontPpg"),
       QStringLiteral("&Font"),
       {{Kind::Font, QStringLiteral("Font"), d::Font}}},
      {QStringLiteral("ColorPpg"),
       QStringLiteral("&Colors"),
       {{Kind::Color, QStringLiteral("BackColor"), d::BackColor},
        {Kind::Color, QStringLiteral("SaveGIFTColor"), d::SaveGIFTColor},
        {Kind::Color, QStringLiteral("DrawFillColor"), d::DrawFillColor}}},
      {QStringLiteral("PicturePpg"),
       QStringLiteral("P&icture"),
       {{Kind::Picture, QStringLiteral("Picture"), d::Picture},
        {Kind::Picture, QStringLiteral("MouseIcon"), d::MouseIcon}}},
  };
  return specs;
}

OpenFileHook& openFileHook() {
  static OpenFileHook hook;
  return hook;
}

ChooseColorHook& chooseColorHook() {
  static ChooseColorHook hook;
  return hook;
}

QColor chooseColor(QWidget* parent, const QColor& start) {
  if (chooseColorHook()) return chooseColorHook()(start);
  return QColorDialog::getColor(start, parent);
}

// OLE colours hold red in the low byte.
QColor fromOleColor(uint32_t ole) {
  return QColor(int(ole & 0xff), int((ole >> 8) & 0xff), int((ole >> 16) & 0xff));
}
uint32_t toOleColor(const QColor& c) {
  return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

void showSwatch(QPushButton* swatch, const QColor& c) {
  swatch->setText(c.name(QColor::HexRgb).toUpper());
  swatch->setStyleSheet(
      QStringLiteral("background-color: %1; color: %2")
          .arg(c.name(), c.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black")));
}

QList<EnumChoice> fromTable(const CV_NAMED_VALUE* table, int count) {
  QList<EnumChoice> out;
  for (int i = 0; i < count; ++i) out.append({table[i].value, QString::fromLatin1(table[i].name)});
  return out;
}

// The picture of a picture object (an engine DIB handle), or a null image for none.
QImage pictureOf(const Variant& v) {
  if (!v.isObject() || !v.object()) return QImage();
  void* typed = nullptr;
  if (failed(v.object()->QueryInterface(IID_IPicture, &typed)) || !typed) return QImage();
  auto* picture = static_cast<IPicture*>(typed);
  uint32_t handle = 0;
  const bool ok = succeeded(picture->get_Handle(&handle));
  picture->Release();
  return ok ? imageFromDib(handle) : QImage();
}

QString chooseFile(QWidget* parent, const QString& start) {
  if (openFileHook()) return openFileHook()(start, pictureFileFilter());
  QFileDialog dialog(parent, QString(), start, pictureFileFilter());
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("jpg"));
  if (!start.isEmpty()) dialog.selectFile(start);
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
             ? dialog.selectedFiles().first()
             : QString();
}

}  // namespace

QList<EnumChoice> enumChoices(DISPID id) {
  // The drawing lists come from the engine's own table of the values it accepts.
  switch (id) {
    case d::DrawStyle:
      return fromTable(CV_DrawStyleNames, CV_NAMES_COUNT(CV_DrawStyleNames));
    case d::DrawFillStyle:
      return fromTable(CV_DrawFillStyleNames, CV_NAMES_COUNT(CV_DrawFillStyleNames));
    case d::DrawMode:
      return fromTable(CV_DrawModeNames, CV_NAMES_COUNT(CV_DrawModeNames));
    case d::Antialias:
      return fromTable(CV_AntialiasNames, CV_NAMES_COUNT(CV_AntialiasNames));
    default:
      break;
  }
  const QStringList texts = enumTexts(id);
  QList<EnumChoice> out;
  for (int i = 0; i < texts.size(); ++i)
    out.append({id == d::MousePointer && i == texts.size() - 1 ? 99 : i, texts[i]});
  return out;
}

QStringList enumTexts(DISPID id) {
  switch (id) {
    case d::DrawStyle:
    case d::DrawFillStyle:
    case d::DrawMode:
    case d::Antialias: {
      QStringList texts;
      for (const EnumChoice& c : enumChoices(id)) texts << c.text;
      return texts;
    }
    case d::AutoSize:
      return {"Crop Image To Control", "Resize Control To Image",        "Resize Image To Control",
              "Tile Image To Control", "Resize Image Preserving Aspect", "Crop"};
    case d::MousePointer:
      return QStringList{"Default",  "Arrow",       "Cross",       "I-Beam",     "Icon",
                         "Size",     "Size NE SW",  "Size N S",    "Size NW SE", "Size W E",
                         "Up Arrow", "Hourglass",   "Boy",         "Brush",      "Button Push",
                         "Clock",    "Cup Hand #1", "Cup Hand #2", "Girl"} +
             numbered(QStringLiteral("Hand"), 7) +
             QStringList{"Help #1", "Help #2", "Key", "Lightning", "Magnify", "Mouse"} +
             numbered(QStringLiteral("No Drop"), 3) + QStringList{"Pencil #1",
                                                                  "Pencil #2",
                                                                  "Phone",
                                                                  "Question #1",
                                                                  "Question #2",
                                                                  "Wand",
                                                                  "Arrow and Hourglass",
                                                                  "Arrow and Question",
                                                                  "Size All",
                                                                  "Custom"};
    case d::CancelMode:
      return {"None",
              "ESC Key",
              "Enter Key",
              "Space Key",
              "Key Press",
              "Mouse Left",
              "Mouse Right",
              "Mouse Move",
              "Key Press or Mouse Button",
              "Key Press or Mouse Move"};
    case d::PICThumbnail:
      return {"None", "1/4", "1/16", "1/64"};
    case d::SaveGIFType:
      return {"GIF89a", "GIF87a"};
    case d::SaveTIFCompression:
      return {
          "Uncompressed", "CCITT RLE", "CCITT Group 3 Fax", "CCITT Group 4 Fax", "LZW", "Pack Bits",
          "JPEG",         "Deflate"};
    case d::BorderType:
      return {"None", "Inset", "Raised", "Flat"};
    case d::Palette:
      return {"Optimized",        "Fixed",
              "Grayscale",        "Palette File",
              "User Defined",     "Optimized with Dither",
              "Gray with Dither", "Palette File with Dither"};
    case d::ShowDithered:
      return {"None", "Floyd-Steinberg", "Ordered", "Corvane"};
    case d::DisplayMode:
      return {"True Color (24-bit)", "256 Color (8-bit)", "16 Color VGA"};
    case d::ScrollBars:
      return {"None", "Horizontal", "Vertical", "Both"};
    default:
      return {};
  }
}

QString pictureFileFilter() {
  // Only what the engine reads (its codec table, rastcore/src/fileformat/codec_table.cpp).
  static const char* const kFilters[][2] = {
      {"BMP - OS/2 or Windows Bitmap", "*.bmp;*.dib"},
      {"DCX - ZSoft Multiple Page", "*.dcx"},
      {"GIF - CompuServe", "*.gif"},
      {"ICO - Windows Icon", "*.ico"},
      {"JPG - JFIF Compliant JPEG", "*.jpg;*.jpeg;*.jpe;*.jif;*.jfif"},
      {"PBM - Portable Bitmap", "*.pbm"},
      {"PCX - Zsoft", "*.pcx"},
      {"PGM - Portable Graymap", "*.pgm"},
      {"PIC - ePIC", "*.pic"},
      {"PNG - Portable Network Graphics", "*.png"},
      {"PPM - Portable Pixmap", "*.ppm;*.pnm;*.pam"},
      {"TGA - Truevision Targa", "*.tga;*.vda;*.icb;*.vst"},
      {"TIF - Tagged Image File Format", "*.tif;*.tiff"},
      {"WMF - Windows Metafile", "*.wmf"},
      {"WPG - Word Perfect Bitmap", "*.wpg"},
      {"HEIC - High Efficiency Image File", "*.heic;*.heif;*.hif"},
      {"AVIF - AV1 Image File", "*.avif"},
      {"WEBP - WebP", "*.webp"},
      {"JXL - JPEG XL", "*.jxl"},
      {"Camera Raw", "*.cr2;*.nef;*.nrw;*.arw;*.srf;*.sr2;*.dng;*.raf;*.orf;*.rw2;*.pef;*.srw"},
  };
  QStringList all;
  for (const auto& f : kFilters) all << QString::fromLatin1(f[1]).split(u';');
  QStringList parts{QStringLiteral("All Supported Formats (%1)").arg(all.join(u' '))};
  for (const auto& f : kFilters)
    parts << QStringLiteral("%1 (%2)").arg(QLatin1String(f[0]),
                                           QString::fromLatin1(f[1]).replace(u';', u' '));
  return parts.join(QStringLiteral(";;"));
}

void setOpenFileHook(OpenFileHook hook) {
  openFileHook() = std::move(hook);
}

void setChooseColorHook(ChooseColorHook hook) {
  chooseColorHook() = std::move(hook);
}

// One bound control of a page.
struct PropertyPage::Field {
  Kind kind;
  DISPID id;
  QCheckBox* check = nullptr;
  QComboBox* list = nullptr;
  QLineEdit* edit = nullptr;
  QPushButton* swatch = nullptr;
  QFontComboBox* family = nullptr;
  QSpinBox* points = nullptr;
  QCheckBox* bold = nullptr;
  QCheckBox* italic = nullptr;
  QLabel* preview = nullptr;
  QLabel* pictureInfo = nullptr;
  QString pictureFile;  // the file last chosen, where the next choice starts
  Variant picture;      // the picture object shown, put on apply
  QColor color;
  Variant loaded;
  bool dirty = false;

  Variant value() const {
    if (preview) return picture;
    if (check) return Variant::boolean(check->isChecked());
    if (list) return Variant::i2(int16_t(list->currentData().toInt()));
    if (swatch) return Variant::ui4(toOleColor(color));
    if (family) {
      QFont font = family->currentFont();
      font.setPointSize(points->value());
      font.setBold(bold->isChecked());
      font.setItalic(italic->isChecked());
      auto* object = new FontObject(font);
      Variant v = Variant::object(object, VT_DISPATCH);
      object->Release();
      return v;
    }
    return Variant::str(edit->text());
  }
  void show(const Variant& v) {
    loaded = v;
    if (preview) showPicture(v);
    if (check) check->setChecked(v.toBool());
    if (swatch) {
      Variant n;
      color = fromOleColor(succeeded(v.changeType(VT_UI4, &n)) ? uint32_t(n.whole()) : 0);
      showSwatch(swatch, color);
    }
    if (family) {
      QFont font;
      if (fontOf(v.object(), &font)) {
        family->setCurrentFont(font);
        points->setValue(font.pointSize() > 0 ? font.pointSize() : 8);
        bold->setChecked(font.bold());
        italic->setChecked(font.italic());
      }
    }
    if (list) {
      Variant n;
      const int value = succeeded(v.changeType(VT_I4, &n)) ? int(n.whole()) : 0;
      const int index = list->findData(value);
      list->setCurrentIndex(index);
    }
    if (edit) {
      Variant text;
      edit->setText(succeeded(v.changeType(VT_BSTR, &text)) ? text.string() : QString());
    }
    dirty = false;
  }
  void showPicture(const Variant& v) {
    picture = v.isObject() ? v : Variant::object(nullptr, VT_DISPATCH);
    const QImage image = pictureOf(picture);
    if (image.isNull()) {
      preview->setPixmap(QPixmap());
      preview->setText(QStringLiteral("(None)"));
      pictureInfo->setText(QStringLiteral("No picture."));
      return;
    }
    // A picture larger than the box is fitted to it in the screen's own pixels.
    const qreal ratio = preview->devicePixelRatioF();
    const QSize box = preview->contentsRect().size() * ratio;
    QPixmap shown;
    if (image.width() > box.width() || image.height() > box.height()) {
      shown = QPixmap::fromImage(image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
      shown.setDevicePixelRatio(ratio);
    } else {
      shown = QPixmap::fromImage(image);
    }
    preview->setPixmap(shown);
    pictureInfo->setText(
        QStringLiteral("%1 \u00d7 %2 pixels").arg(image.width()).arg(image.height()));
  }
};

PropertyPage::PropertyPage(const QString& className, const QString& title, IRastrel* control,
                           QWidget* parent)
    : QWidget(parent), className_(className), title_(title), control_(control) {
  setObjectName(className);
  build();
  load();
}

PropertyPage::~PropertyPage() = default;

void PropertyPage::build() {
  auto* outer = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  outer->addLayout(form);
  const PageSpec* layout = nullptr;
  for (const PageSpec& s : pageSpecs())
    if (s.className == className_) layout = &s;
  if (!layout) return;
  for (const FieldSpec& f : layout->fields) {
    auto field = std::make_unique<Field>();
    field->kind = f.kind;
    field->id = f.id;
    Field* raw = field.get();
    auto markDirty = [raw] { raw->dirty = true; };
    switch (f.kind) {
      case Kind::Group: {
        auto* group = new QGroupBox(f.caption, this);
        form = new QFormLayout(group);
        outer->addWidget(group);
        continue;
      }
      case Kind::Note:
        form->addRow(new QLabel(f.caption, this));
        continue;
      case Kind::Unbound: {
        // No member of the interface carries this value: shown, not editable.
        auto* edit = new QLineEdit(this);
        edit->setEnabled(false);
        form->addRow(f.caption, edit);
        continue;
      }
      case Kind::Check:
        raw->check = new QCheckBox(f.caption, this);
        connect(raw->check, &QCheckBox::toggled, this, markDirty);
        form->addRow(raw->check);
        break;
      case Kind::List: {
        raw->list = new QComboBox(this);
        raw->list->setObjectName(f.caption);
        for (const EnumChoice& choice : enumChoices(f.id))
          raw->list->addItem(choice.text, choice.value);
        connect(raw->list, &QComboBox::activated, this, markDirty);
        connect(raw->list, &QComboBox::currentIndexChanged, this, markDirty);
        form->addRow(f.caption, raw->list);
        break;
      }
      case Kind::Color: {
        raw->swatch = new QPushButton(this);
        raw->swatch->setObjectName(f.caption);
        connect(raw->swatch, &QPushButton::clicked, this, [this, raw] {
          const QColor chosen = chooseColor(this, raw->color);
          if (!chosen.isValid()) return;
          raw->color = chosen;
          showSwatch(raw->swatch, chosen);
          raw->dirty = true;
        });
        form->addRow(f.caption, raw->swatch);
        break;
      }
      case Kind::Font: {
        raw->family = new QFontComboBox(this);
        raw->family->setObjectName(QStringLiteral("FontName"));
        raw->points = new QSpinBox(this);
        raw->points->setObjectName(QStringLiteral("FontSize"));
        raw->points->setRange(1, 720);
        raw->bold = new QCheckBox(QStringLiteral("Bold"), this);
        raw->italic = new QCheckBox(QStringLiteral("Italic"), this);
        connect(raw->family, &QFontComboBox::currentFontChanged, this, markDirty);
        connect(raw->points, &QSpinBox::valueChanged, this, markDirty);
        connect(raw->bold, &QCheckBox::toggled, this, markDirty);
        connect(raw->italic, &QCheckBox::toggled, this, markDirty);
        form->addRow(QStringLiteral("Font:"), raw->family);
        form->addRow(QStringLiteral("Size:"), raw->points);
        form->addRow(raw->bold);
        form->addRow(raw->italic);
        break;
      }
      case Kind::Picture:
        buildPictureField(raw, f.caption, outer);
        break;
      case Kind::Edit:
      case Kind::File: {
        raw->edit = new QLineEdit(this);
        raw->edit->setObjectName(f.caption);
        connect(raw->edit, &QLineEdit::textEdited, this, markDirty);
        connect(raw->edit, &QLineEdit::textChanged, this, markDirty);
        if (f.kind == Kind::Edit) {
          form->addRow(f.caption, raw->edit);
          break;
        }
        auto* row = new QHBoxLayout;
        auto* browse = new QPushButton(QStringLiteral("..."), this);
        browse->setObjectName(f.caption + QStringLiteral("..."));
        // A small button beside the box: the box takes the row's width.
        browse->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(browse->text()) +
                              4 * browse->style()->pixelMetric(QStyle::PM_ButtonMargin));
        connect(browse, &QPushButton::clicked, this, [this, raw] {
          const QString chosen = chooseFile(this, raw->edit->text());
          if (!chosen.isEmpty()) raw->edit->setText(chosen);
        });
        row->addWidget(raw->edit, 1);
        row->addWidget(browse);
        form->addRow(f.caption, row);
        break;
      }
    }
    fields_.push_back(std::move(field));
  }
  outer->addStretch();
}

// A picture property: its picture in a preview box, "Browse..." to take one from a picture
// file, "Clear" for none. The property takes the shown picture when the changes are applied.
void PropertyPage::buildPictureField(Field* raw, const QString& caption, QVBoxLayout* outer) {
  auto* group = new QGroupBox(caption, this);
  group->setObjectName(caption);
  auto* row = new QHBoxLayout(group);
  raw->preview = new QLabel(group);
  raw->preview->setObjectName(caption + QStringLiteral("Preview"));
  raw->preview->setFrameShape(QFrame::StyledPanel);
  raw->preview->setAlignment(Qt::AlignCenter);
  raw->preview->setFixedSize(160, 120);
  raw->pictureInfo = new QLabel(group);
  raw->pictureInfo->setObjectName(caption + QStringLiteral("Info"));
  raw->pictureInfo->setWordWrap(true);
  auto* browse = new QPushButton(QStringLiteral("&Browse..."), group);
  browse->setObjectName(caption + QStringLiteral("Browse"));
  auto* clear = new QPushButton(QStringLiteral("C&lear"), group);
  clear->setObjectName(caption + QStringLiteral("Clear"));
  auto* side = new QVBoxLayout;
  side->addWidget(raw->pictureInfo);
  side->addWidget(browse, 0, Qt::AlignLeft);
  side->addWidget(clear, 0, Qt::AlignLeft);
  side->addStretch();
  row->addWidget(raw->preview);
  row->addLayout(side, 1);
  outer->addWidget(group);
  connect(browse, &QPushButton::clicked, this, [this, raw] {
    const QString chosen = chooseFile(this, raw->pictureFile);
    if (chosen.isEmpty()) return;
    raw->pictureFile = chosen;
    int16_t error = 0;
    PictureObject* object = pictureFromFile(chosen, &error);
    if (!object) {  // the property keeps the picture it has
      raw->pictureInfo->setText(
          QStringLiteral("%1 cannot be used: %2.")
              .arg(QFileInfo(chosen).fileName(), QString::fromUtf8(CV_ErrorText(error))));
      return;
    }
    raw->showPicture(Variant::object(object, VT_DISPATCH));
    object->Release();
    raw->dirty = true;
  });
  connect(clear, &QPushButton::clicked, this, [raw] {
    raw->showPicture(Variant::object(nullptr, VT_DISPATCH));
    raw->dirty = true;
  });
}

void PropertyPage::load() {
  for (auto& f : fields_) {
    Variant v;
    control_->Invoke(f->id, InvokeKind::Get, nullptr, 0, &v, nullptr);
    f->show(v);
  }
}

bool PropertyPage::isDirty() const {
  for (const auto& f : fields_)
    if (f->dirty) return true;
  return false;
}

HRESULT PropertyPage::apply() {
  refusal_.clear();
  for (auto& f : fields_) {
    if (!f->dirty) continue;
    const Variant v = f->value();
    HRESULT hr = control_->Invoke(f->id, InvokeKind::Put, &v, 1, nullptr, nullptr);
    // The engine keeps its value when it refuses one; the control then reports why.
    Variant now;
    control_->Invoke(f->id, InvokeKind::Get, nullptr, 0, &now, nullptr);
    if (succeeded(hr) && f->list && now.whole() != v.whole()) hr = E_INVALIDARG;
    if (failed(hr)) {
      refusal_ = refusalText(f->list ? f->list->objectName() : QString(), hr);
      f->show(now);  // the page keeps the value the control still has
      return hr;
    }
    f->dirty = false;
  }
  return S_OK;
}

QString PropertyPage::refusalText(const QString& caption, HRESULT hr) const {
  Variant error;
  control_->Invoke(dispid::ImagError, InvokeKind::Get, nullptr, 0, &error, nullptr);
  const auto code = int16_t(error.whole());
  QString text = code != 0 ? QString::fromUtf8(CV_ErrorText(code))
                           : QStringLiteral("error 0x%1").arg(quint32(hr), 8, 16, QLatin1Char('0'));
  if (code != 0) text = QStringLiteral("%1 (%2)").arg(text).arg(code);
  return caption.isEmpty() ? QStringLiteral("A value on this page cannot be set: %1").arg(text)
                           : QStringLiteral("%1 cannot be set: %2").arg(caption, text);
}

PropertyDialog::PropertyDialog(IRastrel* control, QWidget* parent)
    : QDialog(parent), control_(control), tabs_(new QTabWidget(this)) {
  control_->AddRef();
  setWindowTitle(QStringLiteral("Rastrel Properties"));
  // Every tab caption visible where the screen allows; a narrower screen scrolls the tabs.
  tabs_->setUsesScrollButtons(true);
  for (const PageSpec& page : pageSpecs()) {
    // A page taller than a small (or scaled) screen scrolls instead of pushing the buttons off it.
    auto* scroller = new QScrollArea(tabs_);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidget(new PropertyPage(page.className, page.title, control_, scroller));
    tabs_->addTab(scroller, page.title);
  }
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (succeeded(applyAll())) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          [this] { applyAll(); });
  lblError_ = new QLabel(this);
  lblError_->setObjectName(QStringLiteral("lblError"));
  lblError_->setWordWrap(true);
  lblError_->setStyleSheet(QStringLiteral("color: #a00000"));
  lblError_->hide();  // shown with a refusal only, so it takes no room otherwise
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(lblError_);
  layout->addWidget(buttons);
  fitToScreen();
}

// As large as the pages and tabs want, but never larger than the screen's free area.
void PropertyDialog::fitToScreen() {
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
  if (!screen) return;
  const QSize room = screen->availableGeometry().size() - QSize(40, 60);  // frame and title
  QSize wanted = sizeHint();
  for (int i = 0; i < tabs_->count(); ++i) {
    const QSize page = this->page(i)->sizeHint();
    wanted = wanted.expandedTo(QSize(page.width() + 60, page.height() + 160));
  }
  wanted.setWidth(std::max(wanted.width(), tabs_->tabBar()->sizeHint().width() + 40));
  resize(wanted.boundedTo(room));
}

PropertyDialog::~PropertyDialog() {
  control_->Release();
}

PropertyPage* PropertyDialog::page(int index) const {
  const auto* scroller = qobject_cast<QScrollArea*>(tabs_->widget(index));
  return scroller ? qobject_cast<PropertyPage*>(scroller->widget()) : nullptr;
}

HRESULT PropertyDialog::applyAll() {
  lblError_->clear();
  lblError_->hide();
  for (int i = 0; i < tabs_->count(); ++i) {
    const HRESULT hr = page(i)->apply();
    if (failed(hr)) {
      tabs_->setCurrentIndex(i);
      lblError_->setText(page(i)->refusal());
      lblError_->show();
      return hr;
    }
  }
  return S_OK;
}

std::unique_ptr<PropertyDialog> createPropertyDialog(IRastrel* control, QWidget* parent) {
  return std::make_unique<PropertyDialog>(control, parent);
}

}  // namespace rastrel::impl
