#include "ops/op_by_name.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "instance.h"
#include "rastcore3_errors.h"
#include "rastcore3_ops.h"

namespace rastcore {
namespace {

// Argument kinds, one letter each: s 16-bit, i 32-bit, u 32-bit colour (decimal or 0x hex),
// f 32-bit float, d 64-bit float, p picture file (loaded into a handle for the call).
struct Arg {
  int64_t i = 0;
  double d = 0;
  uint32_t dib = 0;
};

struct Entry {
  const char* kinds;
  std::function<void(CV_HANDLE, const std::vector<Arg>&)> call;
};

#define S(n) int16_t(a[n].i)
#define I(n) int32_t(a[n].i)
#define U(n) uint32_t(a[n].i)

const std::map<std::string, Entry>& table() {
  using A = const std::vector<Arg>&;
  static const std::map<std::string, Entry> t = {
      {"Undo", {"", [](CV_HANDLE h, A) { CV_Undo(h); }}},
      {"UndoEnabled", {"s", [](CV_HANDLE h, A a) { CV_SetUndoEnabled(h, S(0)); }}},
      {"Flip", {"", [](CV_HANDLE h, A) { CV_Flip(h); }}},
      {"Mirror", {"", [](CV_HANDLE h, A) { CV_Mirror(h); }}},
      {"Negate", {"", [](CV_HANDLE h, A) { CV_Negate(h); }}},
      {"AutoContrast", {"", [](CV_HANDLE h, A) { CV_AutoContrast(h); }}},
      {"Equalize", {"", [](CV_HANDLE h, A) { CV_Equalize(h); }}},
      {"Blur", {"", [](CV_HANDLE h, A) { CV_Blur(h); }}},
      {"Emboss", {"", [](CV_HANDLE h, A) { CV_Emboss(h); }}},
      {"Outline", {"", [](CV_HANDLE h, A) { CV_Outline(h); }}},
      {"Median", {"", [](CV_HANDLE h, A) { CV_Median(h); }}},
      {"Despeckle", {"", [](CV_HANDLE h, A) { CV_Despeckle(h); }}},
      {"Dilate", {"", [](CV_HANDLE h, A) { CV_Dilate(h); }}},
      {"Erode", {"", [](CV_HANDLE h, A) { CV_Erode(h); }}},
      {"Diffuse", {"", [](CV_HANDLE h, A) { CV_Diffuse(h); }}},
      {"Deskew", {"", [](CV_HANDLE h, A) { CV_Deskew(h); }}},
      {"Sharpen", {"s", [](CV_HANDLE h, A a) { CV_Sharpen(h, S(0)); }}},
      {"Soften", {"s", [](CV_HANDLE h, A a) { CV_Soften(h, S(0)); }}},
      {"Rotate", {"d", [](CV_HANDLE h, A a) { CV_Rotate(h, a[0].d); }}},
      {"Brightness", {"s", [](CV_HANDLE h, A a) { CV_Brightness(h, S(0)); }}},
      {"Contrast", {"s", [](CV_HANDLE h, A a) { CV_Contrast(h, S(0)); }}},
      {"AdjustRGB", {"ssss", [](CV_HANDLE h, A a) { CV_AdjustRGB(h, S(0), S(1), S(2), S(3)); }}},
      {"AdjustHSL", {"ssss", [](CV_HANDLE h, A a) { CV_AdjustHSL(h, S(0), S(1), S(2), S(3)); }}},
      {"Gamma", {"f", [](CV_HANDLE h, A a) { CV_Gamma(h, float(a[0].d)); }}},
      {"Solarize", {"s", [](CV_HANDLE h, A a) { CV_Solarize(h, S(0)); }}},
      {"Posterize", {"s", [](CV_HANDLE h, A a) { CV_Posterize(h, S(0)); }}},
      {"Parabolic", {"s", [](CV_HANDLE h, A a) { CV_Parabolic(h, S(0)); }}},
      {"ColorDepth", {"sss", [](CV_HANDLE h, A a) { CV_ColorDepth(h, S(0), S(1), S(2)); }}},
      {"ColorSeparation", {"s", [](CV_HANDLE h, A a) { CV_ColorSeparation(h, S(0)); }}},
      {"Resize", {"ss", [](CV_HANDLE h, A a) { CV_Resize(h, S(0), S(1)); }}},
      {"Resample", {"ss", [](CV_HANDLE h, A a) { CV_Resample(h, S(0), S(1)); }}},
      {"PICResize", {"ss", [](CV_HANDLE h, A a) { CV_PICResize(h, S(0), S(1)); }}},
      {"Crop", {"iiii", [](CV_HANDLE h, A a) { CV_Crop(h, I(0), I(1), I(2), I(3)); }}},
      {"CropBorder", {"ii", [](CV_HANDLE h, A a) { CV_CropBorder(h, I(0), I(1)); }}},
      {"AutoCrop", {"s", [](CV_HANDLE h, A a) { CV_AutoCrop(h, S(0)); }}},
      {"Mosaic", {"s", [](CV_HANDLE h, A a) { CV_Mosaic(h, S(0)); }}},
      {"Noise", {"ss", [](CV_HANDLE h, A a) { CV_Noise(h, S(0), S(1)); }}},
      {"MBlur", {"sss", [](CV_HANDLE h, A a) { CV_MBlur(h, S(0), S(1), S(2)); }}},
      {"ReplaceColors", {"uuu", [](CV_HANDLE h, A a) { CV_ReplaceColors(h, U(0), U(1), U(2)); }}},
      {"Twist", {"ss", [](CV_HANDLE h, A a) { CV_Twist(h, S(0), S(1)); }}},
      {"Tile", {"ss", [](CV_HANDLE h, A a) { CV_Tile(h, S(0), S(1)); }}},
      {"Area", {"siiii", [](CV_HANDLE h, A a) { CV_Area(h, S(0), I(1), I(2), I(3), I(4)); }}},
      {"Matrix",
       {"ssssssssssss",
        [](CV_HANDLE h, A a) {
          int16_t k[9];
          for (int i = 0; i < 9; ++i) k[i] = S(i);
          CV_Matrix(h, k, S(9), S(10), S(11));
        }}},
      {"Merge",
       {"pssssu",
        [](CV_HANDLE h, A a) {
          CV_Merge(h, a[0].dib, S(1), S(2), S(3), S(4), int16_t(a[5].i ? -1 : 0), U(5));
        }}},
      {"Blend", {"ps", [](CV_HANDLE h, A a) { CV_Blend(h, a[0].dib, S(1)); }}},
      {"Perspective", {"ss", [](CV_HANDLE h, A a) { CV_Perspective(h, S(0), S(1)); }}},
      {"Ripple", {"sss", [](CV_HANDLE h, A a) { CV_Ripple(h, S(0), S(1), S(2)); }}},
      {"PWarp",
       {"iiiiiiii",
        [](CV_HANDLE h, A a) { CV_PWarp(h, I(0), I(1), I(2), I(3), I(4), I(5), I(6), I(7)); }}},
      {"Swirl", {"d", [](CV_HANDLE h, A a) { CV_Swirl(h, a[0].d); }}},
      {"Buttonize", {"sss", [](CV_HANDLE h, A a) { CV_Buttonize(h, S(0), S(1), S(2)); }}},
      {"Pinch", {"s", [](CV_HANDLE h, A a) { CV_Pinch(h, S(0)); }}},
      {"DrawLine",
       {"iiiiu", [](CV_HANDLE h, A a) { CV_DrawLine(h, I(0), I(1), I(2), I(3), U(4)); }}},
      {"DrawCircle", {"iiiu", [](CV_HANDLE h, A a) { CV_DrawCircle(h, I(0), I(1), I(2), U(3)); }}},
      {"DrawArc",
       {"iiiiiiiiu",
        [](CV_HANDLE h,
           A a) { CV_DrawArc(h, I(0), I(1), I(2), I(3), I(4), I(5), I(6), I(7), U(8)); }}},
      {"DrawPie",
       {"iiiiiiiiu",
        [](CV_HANDLE h,
           A a) { CV_DrawPie(h, I(0), I(1), I(2), I(3), I(4), I(5), I(6), I(7), U(8)); }}},
      {"DrawCurve",
       {"iiiiiiiiu",
        [](CV_HANDLE h,
           A a) { CV_DrawCurve(h, I(0), I(1), I(2), I(3), I(4), I(5), I(6), I(7), U(8)); }}},
      {"DrawRoundRect",
       {"iiiiiiu",
        [](CV_HANDLE h, A a) { CV_DrawRoundRect(h, I(0), I(1), I(2), I(3), I(4), I(5), U(6)); }}},
      {"DrawFillColor", {"u", [](CV_HANDLE h, A a) { CV_SetDrawFillColor(h, U(0)); }}},
      {"DrawFillStyle", {"s", [](CV_HANDLE h, A a) { CV_SetDrawFillStyle(h, S(0)); }}},
      {"DrawMode", {"s", [](CV_HANDLE h, A a) { CV_SetDrawMode(h, S(0)); }}},
      {"DrawStyle", {"s", [](CV_HANDLE h, A a) { CV_SetDrawStyle(h, S(0)); }}},
      {"DrawWidth", {"s", [](CV_HANDLE h, A a) { CV_SetDrawWidth(h, S(0)); }}},
  };
  return t;
}

#undef S
#undef I
#undef U

bool parseNumber(const std::string& text, char kind, Arg& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  if (kind == 'f' || kind == 'd') {
    out.d = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(out.d);
  }
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0') return false;
  out.i = v;
  switch (kind) {
    case 's':
      return v >= INT16_MIN && v <= INT16_MAX;
    case 'i':
      return v >= INT32_MIN && v <= INT32_MAX;
    default:
      return v >= 0 && v <= int64_t(UINT32_MAX);  // 'u'
  }
}

// Loads a picture file into a new handle through a scratch instance.
int16_t loadDib(const std::string& path, uint32_t& dib) {
  CV_HANDLE scratch = 0;
  CV_CreateInstance(&scratch);
  CV_SetFileName(scratch, path.c_str());
  int16_t err = CV_GetImagError(scratch);
  if (err == 0) {
    CV_CopyDib(scratch, &dib);
    err = CV_GetImagError(scratch);
  }
  CV_DestroyInstance(scratch);
  return err;
}

}  // namespace

int16_t applyNamedOp(CV_HANDLE handle, const std::string& name,
                     const std::vector<std::string>& args) {
  Instance* inst = instanceFor(handle);
  if (!inst) return CV_ERR_BAD_INSTANCE;
  const auto& t = table();
  const auto it = t.find(name);
  const std::string kinds = it == t.end() ? "" : it->second.kinds;
  if (it == t.end() || kinds.size() != args.size()) {
    inst->error = CV_ERR_UNSUPPORTED_OPTION;
    return inst->error;
  }
  std::vector<Arg> values(args.size());
  std::vector<uint32_t> dibs;
  int16_t err = 0;
  for (size_t i = 0; i < args.size() && err == 0; ++i) {
    if (kinds[i] == 'p') {
      err = loadDib(args[i], values[i].dib);
      if (err == 0) dibs.push_back(values[i].dib);
    } else if (!parseNumber(args[i], kinds[i], values[i])) {
      err = CV_ERR_BAD_ARGUMENT;
    }
  }
  if (err == 0) {
    it->second.call(handle, values);
    err = inst->error;
  }
  for (uint32_t d : dibs) CV_DibFree(d);
  inst->error = err;
  return err;
}

std::vector<std::string> namedOps() {
  std::vector<std::string> names;
  for (const auto& [name, entry] : table()) names.push_back(name);
  return names;
}

std::string namedOpUsage(const std::string& name) {
  const auto it = table().find(name);
  if (it == table().end()) return {};
  std::string n = name;
  const std::string kinds = it->second.kinds;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const char k = kinds[i];
    n += i == 0 ? ":" : ",";
    n += k == 'p' ? "FILE" : k == 'u' ? "COLOR" : (k == 'f' || k == 'd') ? "REAL" : "N";
  }
  return n;
}

}  // namespace rastcore
