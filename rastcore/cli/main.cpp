// rastcore3-cli: prints picture information and converts pictures through the engine.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "instance.h"
#include "ops/op_by_name.h"
#include "rastcore3.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  rastcore3-cli info FILE...\n"
    "      One line per file: FILE width=W height=H bpp=B size=S colors=C error=E\n"
    "      (bpp is the picture's bits per pixel, size the file's bytes, colors the number of\n"
    "      distinct colours, error 0 or the engine's error number).\n"
    "  rastcore3-cli convert IN OUT [options] [--op NAME[:ARG,...]]...\n"
    "      Loads IN, applies the operations in order, saves OUT in the format its extension\n"
    "      names (jpg jpeg jif png tif tiff gif bmp pcx tga wpg wmf ppm pnm pgm pbm pic webp).\n"
    "  rastcore3-cli --help | --version\n"
    "\n"
    "Options of convert:\n"
    "  --quality N          JPEG, TIFF-JPEG, ePIC and WebP quality, 1 (smallest) to 100 (best)\n"
    "  --lossless           lossless WebP\n"
    "  --progressive        progressive JPEG or ePIC\n"
    "  --grayscale          grey JPEG or ePIC\n"
    "  --interlaced         interlaced PNG or GIF\n"
    "  --tif-compression N  0 none, 1 CCITT RLE, 2 CCITT fax 3, 3 CCITT fax 4, 4 LZW,\n"
    "                       5 PackBits, 6 JPEG, 7 Deflate, 8 CCITT fax 3 two-dimensional\n"
    "                       (1, 2, 3 and 8 write black and white)\n"
    "  --password P         protect the saved ePIC file with P (its first 8 characters count)\n"
    "  --load-password P    password of a protected ePIC input\n"
    "  --op NAME[:ARG,...]  run a processing method of the engine by its name, for example\n"
    "                       --op Rotate:90 --op Resample:800,600; repeatable, in order\n"
    "\n"
    "Exit status: 0 on success; on failure 1 and a line naming the error number and meaning.\n";

int fail(int16_t error, const std::string& what) {
  std::fprintf(stderr, "%s: error %d: %s\n", what.c_str(), error, CV_ErrorText(error));
  return 1;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "rastcore3-cli: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

int info(int argc, char** argv) {
  if (argc < 3) return usageError("info needs at least one file");
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    CV_SetFileName(h, argv[i]);
    int16_t error = CV_GetImagError(h);
    int32_t colors = 0;
    if (error == CV_OK) {
      CV_UniqueColors(h, &colors);
      error = CV_GetImagError(h);
    }
    std::printf("%s width=%d height=%d bpp=%d size=%d colors=%d error=%d\n", argv[i],
                CV_GetIWidth(h), CV_GetIHeight(h), CV_GetIPBitsPixel(h), CV_GetIFileSize(h), colors,
                error);
    if (error != CV_OK) status = 1;
  }
  CV_DestroyInstance(h);
  return status;
}

bool parseInt(const char* text, int lo, int hi, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < lo || v > hi) return false;
  out = int(v);
  return true;
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i)
    if (i == text.size() || text[i] == sep) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  return parts;
}

int convert(int argc, char** argv) {
  if (argc < 4) return usageError("convert needs IN and OUT");
  const std::string in = argv[2], out = argv[3];
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  std::vector<std::string> ops;
  for (int i = 4; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    int n = 0;
    if (a == "--quality" && hasValue) {
      if (!parseInt(argv[++i], 1, 100, n)) return usageError("--quality takes 1 to 100");
      // The scale every other tool uses, not the engine's 1-255 factor.
      rastcore::instanceFor(h)->save.jpgQuality = int16_t(n);
      CV_SetSaveWEBPQuality(h, int16_t(n));
    } else if (a == "--lossless") {
      CV_SetSaveWEBPLossless(h, -1);
    } else if (a == "--progressive") {
      CV_SetSaveJPGProgressive(h, -1);
    } else if (a == "--grayscale") {
      CV_SetSaveJPGGrayscale(h, -1);
    } else if (a == "--interlaced") {
      CV_SetSavePNGInterlaced(h, -1);
      CV_SetSaveGIFInterlaced(h, -1);
    } else if (a == "--tif-compression" && hasValue) {
      if (!parseInt(argv[++i], 0, 8, n)) return usageError("--tif-compression takes 0 to 8");
      CV_SetSaveTIFCompression(h, int16_t(n));
    } else if (a == "--password" && hasValue) {
      ops.push_back(std::string("\x01") + argv[++i]);  // applied after loading
    } else if (a == "--load-password" && hasValue) {
      CV_SetPICPassword(h, argv[++i]);
    } else if (a == "--op" && hasValue) {
      ops.push_back(argv[++i]);
    } else {
      return usageError("unknown or incomplete option " + a);
    }
  }
  CV_SetFileName(h, in.c_str());
  if (CV_GetImagError(h) != CV_OK) return fail(CV_GetImagError(h), in);
  for (const std::string& op : ops) {
    if (op[0] == '\x01') {
      CV_SetPICPassword(h, op.c_str() + 1);
      continue;
    }
    const size_t colon = op.find(':');
    const std::string name = op.substr(0, colon);
    const std::vector<std::string> args =
        colon == std::string::npos ? std::vector<std::string>{} : split(op.substr(colon + 1), ',');
    const int16_t rc = rastcore::applyNamedOp(h, name, args);
    if (rc != CV_OK) return fail(rc, "--op " + op);
  }
  CV_SetSaveFileName(h, out.c_str());
  CV_SaveFile(h);
  const int16_t rc = CV_GetImagError(h);
  CV_DestroyInstance(h);
  return rc == CV_OK ? 0 : fail(rc, out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    if (argc >= 2) {
      std::puts("\nOperations for --op:");
      for (const std::string& name : rastcore::namedOps()) std::printf("  %s\n", name.c_str());
    }
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  if (command == "--version") {
    std::puts("rastcore3-cli " RASTCORE3_CLI_VERSION);
    return 0;
  }
  if (command == "info") return info(argc, argv);
  if (command == "convert") return convert(argc, argv);
  if (command[0] == '-') return usageError("unknown option " + command);
  return usageError("unknown command " + command);
}
