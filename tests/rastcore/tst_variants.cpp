// Real-world variants of the formats, each read by the engine and by an independent reader
// (Pillow, or ImageMagick's convert where Pillow cannot): camera orientation, PNG end chunks,
// GIF frames as pages. The files and the peer's pixels are made by a Python script per test
// (python3-pil); a missing peer skips the test.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "formats_helpers.h"
#include "peer_scripts_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

class Orientation : public testing::TestWithParam<int> {};

// Every orientation a camera records, in JPEG's Exif block and in TIFF's own tag, comes out
// upright as Pillow's exif_transpose turns it.
TEST_P(Orientation, LoadsUpright) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const int o = GetParam();
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, "o = " + std::to_string(o) + R"(
im = pattern()
exif = Image.Exif()
exif[0x0112] = o
im.save(d + '/o.jpg', exif=exif.tobytes(), quality=95)
im.save(d + '/o.tif', tiffinfo={274: o})
ref(d + '/o.jpg.ref', ImageOps.exif_transpose(Image.open(d + '/o.jpg')))
# Pillow turns TIFF pictures by their tag itself when it loads them.
ref(d + '/o.tif.ref', Image.open(d + '/o.tif'))
)"));
  expectMatches(dir + "/o.jpg", dir + "/o.jpg.ref", 2);
  expectMatches(dir + "/o.tif", dir + "/o.tif.ref", 0);
}

INSTANTIATE_TEST_SUITE_P(EveryValue, Orientation, testing::Range(1, 9));

// A turned photo saved again is written upright, with no orientation left to turn it twice.
TEST(Orientation, SavedUprightWithoutTag) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
exif = Image.Exif()
exif[0x0112] = 6
pattern().save(d + '/in.jpg', exif=exif.tobytes(), quality=95)
)"));
  CV_HANDLE h = load(dir + "/in.jpg");
  ASSERT_EQ(CV_GetImagError(h), 0);
  EXPECT_EQ(CV_GetIWidth(h), 24);
  EXPECT_EQ(CV_GetIHeight(h), 40);
  for (const char* ext : {"jpg", "tif"}) {
    const std::string out = dir + "/out." + ext;
    CV_SetSaveFileName(h, out.c_str());
    CV_SaveFile(h);
    ASSERT_EQ(CV_GetImagError(h), 0);
    ASSERT_TRUE(runScript(dir, "im = Image.open(d + '/out." + std::string(ext) + R"(')
assert im.size == (24, 40), im.size
assert im.getexif().get(0x0112, 1) == 1
)")) << ext;
  }
  CV_DestroyInstance(h);
}

// PNG: complete image data is read whatever follows it (no end chunk, a damaged one, bytes
// after it), as libpng's own tools and Pillow read it; data that is cut stays refused.
TEST(PngEnd, CompleteDataIsReadWhateverFollows) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
pattern().save(d + '/whole.png')
b = open(d + '/whole.png', 'rb').read()
assert b[-12:-8] == b'\0\0\0\0' and b[-8:-4] == b'IEND'
open(d + '/no_iend.png', 'wb').write(b[:-12])
open(d + '/bad_iend.png', 'wb').write(b[:-4] + b'\0\0\0\0')
open(d + '/trailing.png', 'wb').write(b + b'trailing bytes' * 10)
ref(d + '/whole.ref', Image.open(d + '/whole.png'))
i = b.index(b'IDAT') - 4
n = struct.unpack('>I', b[i:i + 4])[0]
open(d + '/cut_idat.png', 'wb').write(b[:i + 8 + n // 2])
)"));
  for (const char* name : {"no_iend", "bad_iend", "trailing"})
    expectMatches(dir + "/" + name + ".png", dir + "/whole.ref", 0);
  CV_HANDLE h = load(dir + "/cut_idat.png");
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_TRUNCATED);
  EXPECT_EQ(CV_GetIWidth(h), 0);
  CV_DestroyInstance(h);
}

// GIF: every frame is a page, composed on the screen as the frames' disposal and transparency
// say (kept, cleared to the background, restored to the screen before it).
TEST(GifFrames, EveryFrameIsAComposedPage) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
colours = [(255, 0, 0), (0, 160, 0), (0, 0, 255), (250, 200, 0), (120, 0, 120)]
frames = []
for i, c in enumerate(colours):
    im = Image.new('P', (30, 20), 0)
    im.putpalette([255, 255, 255] + [v for col in colours for v in col] + [0, 0, 0] * 250)
    for y in range(3 + 2 * i, 12 + i):
        for x in range(2 + 4 * i, 9 + 4 * i):
            im.putpixel((x, y), i + 1)
    frames.append(im)
frames[0].save(d + '/anim.gif', save_all=True, append_images=frames[1:], transparency=0,
               disposal=[1, 2, 3, 1, 0], duration=50, loop=0, optimize=False)
im = Image.open(d + '/anim.gif')
assert im.n_frames == 5
for i in range(im.n_frames):
    im.seek(i)
    ref(d + '/anim.%d.ref' % i, im)
)"));
  int16_t pages = 0;
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_NumPages(h, (dir + "/anim.gif").c_str(), &pages);
  EXPECT_EQ(pages, 5);
  CV_SetPageNbr(h, 5);
  CV_SetFileName(h, (dir + "/anim.gif").c_str());
  EXPECT_EQ(CV_GetImagError(h), 0);
  EXPECT_EQ(CV_GetNumPages(h), 5);
  CV_SetPageNbr(h, 6);
  CV_SetFileName(h, (dir + "/anim.gif").c_str());
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_NO_PAGE);
  CV_DestroyInstance(h);
  for (int page = 0; page < 5; ++page)
    expectMatches(dir + "/anim.gif", dir + "/anim." + std::to_string(page) + ".ref", 0, page);
}

// PGM and PPM with a maxval other than 255, plain and raw, 8- and 16-bit samples: values are
// scaled to the nearest level as netpbm's pamdepth (and ImageMagick) scale them.
TEST(PnmMaxval, ScaledToTheNearestLevel) {
  if (!havePillow() || !haveProgram("pamdepth")) GTEST_SKIP() << "Pillow or netpbm missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
def write(name, magic, maxval, channels, plain):
    w, h = 23, 7
    values = [(i * 37 + i // 5) % (maxval + 1) for i in range(w * h * channels)]
    head = b'P%d\n%d %d\n%d\n' % (magic, w, h, maxval)
    if plain:
        body = ' '.join(str(v) for v in values).encode() + b'\n'
    elif maxval > 255:
        body = b''.join(struct.pack('>H', v) for v in values)
    else:
        body = bytes(values)
    open(d + '/' + name, 'wb').write(head + body)
    out = subprocess.run(['pamdepth', '255', d + '/' + name], check=True, capture_output=True).stdout
    im = Image.open(__import__('io').BytesIO(out))
    ref(d + '/' + name + '.ref', im)
write('g100.pgm', 5, 100, 1, False)
write('g100p.pgm', 2, 100, 1, True)
write('c1000.ppm', 6, 1000, 3, False)
write('c7p.ppm', 3, 7, 3, True)
write('g65535.pgm', 5, 65535, 1, False)
)"));
  for (const char* name : {"g100.pgm", "g100p.pgm", "c1000.ppm", "c7p.ppm", "g65535.pgm"})
    expectMatches(dir + "/" + name, dir + "/" + name + ".ref", 0);
}

struct TiffVariant {
  const char* name;
  const char* options;  // ImageMagick's, writing the variant from an RGBA PNG
  // ImageMagick's pixels are the reference where Pillow cannot read the file, or reads it
  // through 8-bit premultiplied samples (16-bit associated alpha)
  bool magickReference;
};

class TiffAlpha : public testing::TestWithParam<TiffVariant> {};

// Alpha in every layout (associated or not, tiled, planar, 16-bit) and floating-point samples
// (in strips, tiles and planes) come out straight, as the peer reads them (alpha 57 and up, where
// premultiplying at 8 bits loses at most 2 levels).
TEST_P(TiffAlpha, MatchesThePeer) {
  if (!havePillow() || !haveProgram("convert")) GTEST_SKIP() << "Pillow or ImageMagick missing";
  const TiffVariant& v = GetParam();
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, std::string("opts = '") + v.options + "'.split()\nmagick = " +
                                 (v.magickReference ? "True" : "False") + R"(
im = Image.new('RGBA', (40, 24))
px = im.load()
for y in range(24):
    for x in range(40):
        px[x, y] = (237 if x % 2 else x * 6, 255 - y * 5, 5 + x, 57 + x * 4)
im.save(d + '/src.png')
subprocess.run(['convert', d + '/src.png'] + opts + [d + '/v.tif'], check=True)
if magick:
    raw = subprocess.run(['convert', d + '/v.tif', '-depth', '8', 'rgba:-'], check=True,
                         capture_output=True).stdout
    ref(d + '/v.ref', Image.frombytes('RGBA', (40, 24), raw))
else:
    ref(d + '/v.ref', Image.open(d + '/v.tif'))
)"));
  expectMatches(dir + "/v.tif", dir + "/v.ref", 1);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffAlpha,
    testing::Values(TiffVariant{"associated", "-define tiff:alpha=associated", false},
                    TiffVariant{"unassociated", "-define tiff:alpha=unassociated", false},
                    TiffVariant{"tiled",
                                "-define tiff:alpha=associated -define tiff:tile-geometry=16x16",
                                false},
                    TiffVariant{"planar", "-define tiff:alpha=associated -interlace plane", false},
                    TiffVariant{"deep_associated", "-define tiff:alpha=associated -depth 16", true},
                    TiffVariant{"deep", "-depth 16", false},
                    TiffVariant{"float", "-define quantum:format=floating-point -depth 32", true},
                    TiffVariant{"float_grey",
                                "-colorspace gray -define quantum:format=floating-point -depth 32",
                                true},
                    TiffVariant{"float_tiled",
                                "-define quantum:format=floating-point -depth 32 "
                                "-define tiff:tile-geometry=16x16 -compress lzw",
                                true},
                    TiffVariant{"float_planar",
                                "-define quantum:format=floating-point -depth 32 -interlace plane "
                                "-define tiff:rows-per-strip=5",
                                true},
                    TiffVariant{"float_tiled_planar_zip",
                                "-define quantum:format=floating-point -depth 32 -interlace plane "
                                "-define tiff:tile-geometry=16x16 -compress zip "
                                "-define tiff:predictor=3",
                                true},
                    TiffVariant{"float_associated",
                                "-define quantum:format=floating-point -depth 32 "
                                "-define tiff:alpha=associated -define tiff:tile-geometry=32x16",
                                true},
                    TiffVariant{"float_grey_tiled",
                                "-colorspace gray -define quantum:format=floating-point -depth 32 "
                                "-define tiff:tile-geometry=16x16",
                                true}),
    [](const testing::TestParamInfo<TiffVariant>& info) { return std::string(info.param.name); });

int16_t pagesOf(const std::string& file) {
  int16_t pages = 0;
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_NumPages(h, file.c_str(), &pages);
  CV_DestroyInstance(h);
  return pages;
}

// PCX of up to 16 colours in every layout netpbm writes (2- and 4-bit packed pixels, two and
// three 1-bit planes), read as netpbm's pcxtoppm reads them.
TEST(PcxLowColour, EveryLayoutMatchesNetpbm) {
  if (!havePillow() || !haveProgram("ppmtopcx") || !haveProgram("pcxtoppm"))
    GTEST_SKIP() << "Pillow or netpbm missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
def picture(colours):
    im = Image.new('P', (37, 9))
    im.putpalette([255, 0, 0, 0, 200, 0, 0, 0, 255, 250, 250, 0, 0, 0, 0, 255, 255, 255,
                   128, 0, 128, 0, 128, 128] + [0] * 744)
    px = im.load()
    for y in range(9):
        for x in range(37):
            px[x, y] = (x * 3 + y) % colours
    return im.convert('RGB')
for name, colours, option in [('packed2', 4, '-packed'), ('packed4', 8, '-packed'),
                              ('planes2', 4, '-planes=2'), ('planes3', 8, '-planes=3')]:
    picture(colours).save(d + '/src.ppm')
    with open(d + '/' + name + '.pcx', 'wb') as f:
        subprocess.run(['ppmtopcx', option, d + '/src.ppm'], check=True, stdout=f,
                       stderr=subprocess.DEVNULL)
    back = subprocess.run(['pcxtoppm', d + '/' + name + '.pcx'], check=True,
                          capture_output=True).stdout
    ref(d + '/' + name + '.ref', Image.open(__import__('io').BytesIO(back)))
)"));
  for (const char* name : {"packed2", "packed4", "planes2", "planes3"})
    expectMatches(dir + "/" + name + ".pcx", dir + "/" + name + ".ref", 0);
}

// DCX: every PCX file in the table is a page, as Pillow reads each PCX file (its DCX reader
// takes an 8-bit page's palette from the end of the whole file); a page past the table is
// refused.
TEST(Dcx, EveryPcxIsAPage) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
import io
pages = [pattern(40, 24), pattern(17, 30).convert('P'), pattern(33, 5).convert('1')]
blobs = []
for im in pages:
    b = io.BytesIO()
    im.save(b, 'PCX')
    blobs.append(b.getvalue())
offset = 4 + 4 * (len(blobs) + 1)
table = struct.pack('<I', 0x3ADE68B1)
for b in blobs:
    table += struct.pack('<I', offset)
    offset += len(b)
open(d + '/p.dcx', 'wb').write(table + struct.pack('<I', 0) + b''.join(blobs))
for i, b in enumerate(blobs):
    ref(d + '/p.%d.ref' % i, Image.open(io.BytesIO(b)))
)"));
  const std::string file = dir + "/p.dcx";
  EXPECT_EQ(pagesOf(file), 3);
  for (int page = 0; page < 3; ++page)
    expectMatches(file, dir + "/p." + std::to_string(page) + ".ref", 0, page);
  CV_HANDLE h = 0;
  CV_CreateInstance(&h);
  CV_SetPageNbr(h, 4);
  CV_SetFileName(h, file.c_str());
  EXPECT_EQ(CV_GetImagError(h), CV_ERR_NO_PAGE);
  EXPECT_EQ(CV_GetIWidth(h), 0);
  CV_DestroyInstance(h);
}

// ICO: every picture of the directory is a page, in its order: ImageMagick's 32-bit and PNG
// pictures, and an indexed picture whose mask makes pixels transparent, as Pillow reads them.
TEST(Ico, EveryPictureIsAPage) {
  if (!havePillow() || !haveProgram("convert")) GTEST_SKIP() << "Pillow or ImageMagick missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
from PIL import IcoImagePlugin
pattern(64, 64, 'RGBA').save(d + '/src.png')
subprocess.run(['convert', d + '/src.png', '-define', 'icon:auto-resize=16,48,256',
                d + '/magick.ico'], check=True)
def refs(name):
    data = open(d + '/' + name, 'rb').read()
    ico = IcoImagePlugin.IcoFile(open(d + '/' + name, 'rb'))
    count = struct.unpack('<H', data[4:6])[0]
    for i in range(count):
        w, h, colours, _, planes, bpp = struct.unpack('<BBBBHH', data[6 + 16 * i:14 + 16 * i])
        ref(d + '/%s.%d.ref' % (name, i), ico.getimage((w or 256, h or 256), bpp))
    return count
assert refs('magick.ico') == 3
# A 4-bit picture, 20 x 12, with a mask clearing a square.
w, h = 20, 12
stride = (w * 4 + 31) // 32 * 4
mstride = (w + 31) // 32 * 4
palette = b''.join(struct.pack('<BBBB', (i * 16) % 256, 255 - i * 9, i * 5, 0) for i in range(16))
rows = b''
mask = b''
for y in range(h):
    row = bytearray(stride)
    mrow = bytearray(mstride)
    for x in range(w):
        v = (x + y) % 16
        row[x // 2] |= v << (4 if x % 2 == 0 else 0)
        if 4 <= x < 10 and 3 <= y < 8:
            mrow[x // 8] |= 0x80 >> (x % 8)
    rows += bytes(row)
    mask += bytes(mrow)
dib = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 4, 0, 0, 0, 0, 16, 0) + palette + rows + mask
head = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', w, h, 16, 0, 1, 4, len(dib), 22)
open(d + '/masked.ico', 'wb').write(head + dib)
refs('masked.ico')
)"));
  EXPECT_EQ(pagesOf(dir + "/magick.ico"), 3);
  for (int page = 0; page < 3; ++page)
    expectMatches(dir + "/magick.ico", dir + "/magick.ico." + std::to_string(page) + ".ref", 0,
                  page);
  expectMatches(dir + "/masked.ico", dir + "/masked.ico.0.ref", 0);
}

// BMP 16-bit with an alpha mask (ARGB4444) keeps its alpha, as ImageMagick reads it back
// (ImageMagick widens 4-bit samples by shifting alone; full scale is 15 -> 255).
TEST(BmpAlpha, SixteenBitAlphaMaskKept) {
  if (!havePillow() || !haveProgram("convert")) GTEST_SKIP() << "Pillow or ImageMagick missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
pattern(40, 24, 'RGBA').save(d + '/src.png')
im = Image.open(d + '/src.png')
px = im.load()
for y in range(24):
    for x in range(40):
        px[x, y] = px[x, y][:3] + ((x * 6 + y * 3) % 256,)
im.save(d + '/src.png')
subprocess.run(['convert', d + '/src.png', '-define', 'bmp:subtype=ARGB4444', d + '/v.bmp'],
               check=True)
raw = subprocess.run(['convert', d + '/v.bmp', '-depth', '8', 'rgba:-'], check=True,
                     capture_output=True).stdout
assert all(b & 15 == 0 for b in raw)
ref(d + '/v.ref', Image.frombytes('RGBA', (40, 24), bytes(b | b >> 4 for b in raw)))
)"));
  expectMatches(dir + "/v.bmp", dir + "/v.ref", 0);
}

// An animated WebP counts its frames as pages; a still one is one page.
TEST(WebpPages, FramesCounted) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
frames = [Image.new('RGB', (20, 10), c) for c in [(255, 0, 0), (0, 255, 0), (0, 0, 255)]]
frames[0].save(d + '/anim.webp', save_all=True, append_images=frames[1:], duration=40,
               lossless=True)
frames[0].save(d + '/still.webp', lossless=True)
)"));
  EXPECT_EQ(pagesOf(dir + "/anim.webp"), 3);
  EXPECT_EQ(pagesOf(dir + "/still.webp"), 1);
}

// PAM of every depth (grey, grey and alpha, RGB, RGB and alpha) at 8 and 16 bits and an odd
// maxval, read as netpbm's pamdepth and pamtopng read them.
TEST(Pam, EveryDepthMatchesNetpbm) {
  if (!havePillow() || !haveProgram("pamdepth") || !haveProgram("pamtopng"))
    GTEST_SKIP() << "Pillow or netpbm missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
import io
types = {1: 'GRAYSCALE', 2: 'GRAYSCALE_ALPHA', 3: 'RGB', 4: 'RGB_ALPHA'}
for depth in range(1, 5):
    for maxval in (255, 1000, 100):
        w, h = 19, 6
        values = [(i * 37 + i // 5) % (maxval + 1) for i in range(w * h * depth)]
        head = b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL %d\n# comment\nTUPLTYPE %s\nENDHDR\n' % (
            w, h, depth, maxval, types[depth].encode())
        body = b''.join(struct.pack('>H', v) for v in values) if maxval > 255 else bytes(values)
        name = '%s/d%d_%d.pam' % (d, depth, maxval)
        open(name, 'wb').write(head + body)
        deep = subprocess.run(['pamdepth', '255', name], check=True, capture_output=True).stdout
        png = subprocess.run(['pamtopng'], input=deep, check=True, capture_output=True).stdout
        ref(name + '.ref', Image.open(io.BytesIO(png)))
)"));
  for (int depth = 1; depth <= 4; ++depth)
    for (int maxval : {255, 1000, 100}) {
      const std::string name =
          dir + "/d" + std::to_string(depth) + "_" + std::to_string(maxval) + ".pam";
      expectMatches(name, name + ".ref", 0);
    }
}

// WPG 1 bitmaps of 4 and 8 bits without a colour-map record take the format's default colour
// table (the EGA colours, greys, then hues), as ImageMagick reads them. ImageMagick's copy of
// the table exchanges green and blue (its index 1 is green) and has four entries off their
// progression (96, 145, 173, 246); the reference exchanges them back and the picture leaves
// those four out.
TEST(WpgDefaultPalette, MatchesImageMagick) {
  if (!havePillow() || !haveProgram("convert")) GTEST_SKIP() << "Pillow or ImageMagick missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
def record(kind, body):
    return bytes([kind, len(body)]) + body if len(body) < 255 else (
        bytes([kind, 255]) + struct.pack('<H', len(body)) + body)
for depth in (4, 8):
    w, h = 32, 8
    rows = b''
    for y in range(h):
        if depth == 8:
            row = bytes(0 if v in (96, 145, 173, 246) else v
                        for v in ((x + y * 32) % 256 for x in range(w)))
        else:
            row = bytes(((2 * x + y) % 16) << 4 | ((2 * x + 1 + y) % 16) for x in range(w // 2))
        rows += bytes([len(row)]) + row
    head = b'\xffWPC' + struct.pack('<I', 16) + bytes([1, 0x16, 1, 0, 0, 0, 0, 0])
    body = record(0x0F, bytes([1, 0]) + struct.pack('<HH', w, h))
    body += record(0x0B, struct.pack('<HHHHH', w, h, depth, 75, 75) + rows)
    body += record(0x10, b'')
    name = '%s/d%d.wpg' % (d, depth)
    open(name, 'wb').write(head + body)
    raw = subprocess.run(['convert', name, '-depth', '8', 'rgba:-'], check=True,
                         capture_output=True).stdout
    r, g, b, a = Image.frombytes('RGBA', (w, h), raw).split()
    ref(name + '.ref', Image.merge('RGBA', (r, b, g, a)))
)"));
  for (const char* name : {"d4.wpg", "d8.wpg"})
    expectMatches(dir + "/" + name, dir + "/" + name + ".ref", 0);
}

}  // namespace
