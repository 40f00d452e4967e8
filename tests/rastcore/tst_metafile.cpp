// Metafiles played onto pictures: shapes, pens, clipping, saved states and text, checked
// against ImageMagick (which plays metafiles through its WMF delegate) where it plays the
// records, and against pixels worked out by hand where it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "formats_helpers.h"
#include "peer_scripts_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

// Metafiles: a plain file (no placeable header) takes its window as the picture, one unit a
// pixel; pens keep their widths, PolyPolygon fills leave holes, a pie is its quarter, and the
// clip rectangle cuts the line. ImageMagick maps the drawn bounding box rather than the window,
// so the shapes are checked where the file puts them, and the placeable file at 96 units an
// inch gives the same pixels.
TEST(Metafile, PlainFileShapesPenWidthsAndClipping) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
def rec(fn, *words):
    return struct.pack('<IH', 3 + len(words), fn) + b''.join(struct.pack('<h', w) for w in words)
def body():
    r = b''
    r += rec(0x020B, 0, 0)            # SetWindowOrg y, x
    r += rec(0x020C, 200, 300)        # SetWindowExt y=200, x=300
    # brush 0: solid red; pen 1: null; pen 2: blue, 9 wide
    r += struct.pack('<IHHIH', 7, 0x02FC, 0, 0x0000FF, 0)
    r += struct.pack('<IHHhhI', 8, 0x02FA, 5, 0, 0, 0)
    r += struct.pack('<IHHhhI', 8, 0x02FA, 0, 9, 0, 0xFF0000)
    r += rec(0x012D, 0) + rec(0x012D, 1)
    # PolyPolygon: outer square 10..110, inner square 40..80 (a hole)
    outer = [(10, 10), (110, 10), (110, 110), (10, 110)]
    inner = [(40, 40), (80, 40), (80, 80), (40, 80)]
    pts = b''.join(struct.pack('<hh', x, y) for x, y in outer + inner)
    r += struct.pack('<IHHHH', 3 + 1 + 2 + 16, 0x0538, 2, 4, 4) + pts
    # Pie: box 150..250 x 10..110, from the right (250,60) to the top (200,10): the upper right quarter
    r += rec(0x081A, 10, 200, 60, 250, 110, 250, 10, 150)
    # A thick blue line, clipped to x < 200
    r += rec(0x012D, 2)
    r += rec(0x0416, 200, 200, 0, 0)   # IntersectClipRect bottom, right, top, left
    r += rec(0x0214, 160, 20)           # MoveTo y, x
    r += rec(0x0213, 160, 280)          # LineTo y, x
    r += rec(0x0000)
    return r
b = body()
size_words = (18 + len(b)) // 2
header = struct.pack('<HHHIHIH', 1, 9, 0x0300, size_words, 3, 64, 0)
open(d + '/plain.wmf', 'wb').write(header + b)
ph = struct.pack('<IHhhhhHIH', 0x9AC6CDD7, 0, 0, 0, 300, 200, 96, 0, 0)
x = 0
for i in range(0, 20, 2): x ^= struct.unpack('<H', ph[i:i+2])[0]
ph = ph[:20] + struct.pack('<H', x)
open(d + '/placeable.wmf', 'wb').write(ph + header + b)
)"));
  const auto colourAt = [](const Pixels& p, int x, int y) {
    const uint8_t* c = p.at(x, y);
    return (c[0] << 16) | (c[1] << 8) | c[2];
  };
  Pixels pictures[2];
  for (int i = 0; i < 2; ++i) {
    CV_HANDLE h = load(dir + (i ? "/placeable.wmf" : "/plain.wmf"));
    ASSERT_EQ(CV_GetImagError(h), 0);
    pictures[i] = pixelsOf(h);
    CV_DestroyInstance(h);
  }
  const Pixels& p = pictures[0];
  ASSERT_EQ(p.width, 300);
  ASSERT_EQ(p.height, 200);
  EXPECT_EQ(maxDifference(p, pictures[1], false), 0);
  const int red = 0xFF0000, blue = 0x0000FF, white = 0xFFFFFF;
  EXPECT_EQ(colourAt(p, 20, 20), red);     // the outer ring
  EXPECT_EQ(colourAt(p, 60, 60), white);   // the hole
  EXPECT_EQ(colourAt(p, 5, 5), white);     // outside
  EXPECT_EQ(colourAt(p, 220, 40), red);    // the pie's upper right quarter
  EXPECT_EQ(colourAt(p, 180, 80), white);  // not its lower left
  EXPECT_EQ(colourAt(p, 100, 156), blue);  // the 9-unit pen, 4 above the line
  EXPECT_EQ(colourAt(p, 100, 164), blue);  // and 4 below
  EXPECT_EQ(colourAt(p, 100, 167), white);
  EXPECT_EQ(colourAt(p, 199, 160), blue);  // the clip ends the line at 200
  EXPECT_EQ(colourAt(p, 230, 160), white);
}

// Metafile text is drawn in the selected font at its height (anti-aliased, through the system's
// fonts), placed by the text alignment, in the text colour.
TEST(Metafile, TextInTheSelectedFont) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, R"(
def rec(fn, *words):
    return struct.pack('<IH', 3 + len(words), fn) + b''.join(struct.pack('<h', w) for w in words)
def text_out(y, x, s):
    data = s + (b'\0' if len(s) % 2 else b'')
    return (struct.pack('<IHH', 3 + 1 + len(data) // 2 + 2, 0x0521, len(s)) + data +
            struct.pack('<hh', y, x))
font = struct.pack('<hhhhhBBBBBBBB', 40, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0)
font += b'DejaVu Sans'.ljust(32, b'\0')
r = rec(0x020B, 0, 0) + rec(0x020C, 100, 300)
r += struct.pack('<IH', 3 + len(font) // 2, 0x02FB) + font
r += rec(0x012D, 0)
r += struct.pack('<IHI', 5, 0x0209, 0x000080)   # dark red text
r += rec(0x012E, 24)                            # baseline alignment
r += text_out(70, 20, b'Hello')
r += rec(0x0000)
header = struct.pack('<HHHIHIH', 1, 9, 0x0300, (18 + len(r)) // 2, 1, 64, 0)
open(d + '/text.wmf', 'wb').write(header + r)
)"));
  CV_HANDLE h = load(dir + "/text.wmf");
  ASSERT_EQ(CV_GetImagError(h), 0);
  const Pixels p = pixelsOf(h);
  CV_DestroyInstance(h);
  ASSERT_EQ(p.width, 300);
  int left = p.width, right = -1, top = p.height, bottom = -1, partial = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* c = p.at(x, y);
      if (c[0] == 255 && c[1] == 255 && c[2] == 255) continue;
      EXPECT_GE(c[0], c[1]);  // red ink only
      if (c[1] > 0 && c[1] < 255) ++partial;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  // "Hello" at 40 pixels: capitals about 29 high standing on the baseline at 70.
  EXPECT_GE(left, 20);
  EXPECT_LE(left, 26);
  EXPECT_GE(right, 100);
  EXPECT_LE(right, 140);
  EXPECT_GE(top, 35);
  EXPECT_LE(top, 45);
  EXPECT_GE(bottom, 69);
  EXPECT_LE(bottom, 70);
  EXPECT_GT(partial, 20);  // edges are smoothed
}

// Records for the scripts below: rec() of 16-bit words, pens and brushes, and files with a
// placeable header of 300 x 200 units at 96 an inch (300 x 200 pixels) whose first record
// paints the whole window, so that ImageMagick, which maps what is drawn, maps the window.
const char kRecords[] = R"(
def rec(fn, *words):
    return struct.pack('<IH', 3 + len(words), fn) + b''.join(struct.pack('<h', w) for w in words)
def brush(colour): return struct.pack('<IHHIH', 7, 0x02FC, 0, colour, 0)
def pen(style, width, colour): return struct.pack('<IHHhhI', 8, 0x02FA, style, width, 0, colour)
def font(height, escapement):
    f = struct.pack('<hhhhhBBBBBBBB', height, 0, escapement, escapement, 400, 0, 0, 0, 0, 0, 0, 0, 0)
    f += b'DejaVu Sans'.ljust(32, b'\0')
    return struct.pack('<IH', 3 + len(f) // 2, 0x02FB) + f
def text_out(y, x, s):
    data = s + (b'\0' if len(s) % 2 else b'')
    return (struct.pack('<IHH', 3 + 1 + len(data) // 2 + 2, 0x0521, len(s)) + data +
            struct.pack('<hh', y, x))
SAVE, RESTORE, INTERSECT, EXCLUDE, RECT, ROUNDRECT, SELECT = (
    0x001E, 0x0127, 0x0416, 0x0415, 0x041B, 0x061C, 0x012D)
def placeable(name, records, objects):
    # objects 0 to 2: a null pen, a grey and a white brush; the window painted grey.
    r = (rec(0x020B, 0, 0) + rec(0x020C, 200, 300) + pen(5, 0, 0) + brush(0xC0C0C0) +
         brush(0xFFFFFF) + rec(SELECT, 0) + rec(SELECT, 1) + rec(RECT, 200, 300, 0, 0) +
         records + rec(0))
    header = struct.pack('<HHHIHIH', 1, 9, 0x0300, (18 + len(r)) // 2, 3 + objects, 64, 0)
    ph = struct.pack('<IHhhhhHIH', 0x9AC6CDD7, 0, 0, 0, 300, 200, 96, 0, 0)
    check = 0
    for i in range(0, 20, 2): check ^= struct.unpack('<H', ph[i:i + 2])[0]
    open(d + '/' + name, 'wb').write(ph[:20] + struct.pack('<H', check) + header + r)
def peer(name):
    raw = subprocess.run(['convert', '-density', '96', d + '/' + name, '-depth', '8', 'rgba:-'],
                         check=True, capture_output=True).stdout
    ref(d + '/' + name + '.ref', Image.frombytes('RGBA', (300, 200), raw))
)";

std::string scriptWithRecords(const std::string& body) {
  return std::string(kRecords) + body;
}

// Pixels that differ from the peer's must be edge pixels: the peer has the engine's colour
// within two pixels (ImageMagick smooths edges and takes a shape's right and bottom edges in,
// the engine does neither).
void expectSameShapes(const std::string& file, const std::string& reference) {
  SCOPED_TRACE(file);
  CV_HANDLE h = load(file);
  ASSERT_EQ(CV_GetImagError(h), 0);
  const Pixels ours = pixelsOf(h);
  CV_DestroyInstance(h);
  const std::vector<uint8_t> bytes = readFile(reference);
  int width = 0, height = 0, consumed = 0;
  ASSERT_EQ(std::sscanf(reinterpret_cast<const char*>(bytes.data()), "%d %d\n%n", &width, &height,
                        &consumed),
            2);
  ASSERT_EQ(ours.width, width);
  ASSERT_EQ(ours.height, height);
  const uint8_t* theirs = bytes.data() + consumed;
  auto same = [&](int x, int y, const uint8_t* c) {
    return std::memcmp(theirs + (size_t(y) * width + x) * 4, c, 3) == 0;
  };
  int edges = 0, wrong = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* c = ours.at(x, y);
      if (same(x, y, c)) continue;
      bool near = false;
      for (int j = -2; j <= 2 && !near; ++j)
        for (int i = -2; i <= 2 && !near; ++i)
          near =
              x + i >= 0 && y + j >= 0 && x + i < width && y + j < height && same(x + i, y + j, c);
      ++(near ? edges : wrong);
      if (!near && wrong <= 5) ADD_FAILURE() << "at " << x << "," << y;
    }
  EXPECT_EQ(wrong, 0) << edges << " edge pixels differ";
}

// SaveDC keeps the clipping and the selected brush and RestoreDC(-1) brings back the latest
// state, nested; rounded rectangles take quarter ellipses of the corner size (clamped to the
// rectangle). ImageMagick plays both.
TEST(Metafile, SavedStatesAndRoundedCornersMatchImageMagick) {
  if (!havePillow() || !haveProgram("convert")) GTEST_SKIP() << "Pillow or ImageMagick missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, scriptWithRecords(R"(
red, blue, green = brush(0x0000FF), brush(0xFF0000), brush(0x00FF00)  # objects 3, 4, 5
r = red + blue + green + rec(SELECT, 3)
r += rec(SAVE) + rec(INTERSECT, 100, 100, 0, 0)
r += rec(SAVE) + rec(SELECT, 4) + rec(INTERSECT, 60, 60, 20, 20)
r += rec(RECT, 50, 140, 0, 0)                           # blue, inside both clips
r += rec(RESTORE, -1)
r += rec(RECT, 90, 140, 55, 10)                         # red, clipped to 100 x 100
r += rec(RESTORE, -1)
r += rec(SAVE) + rec(INTERSECT, 200, 200, 50, 150) + rec(SELECT, 4)
r += rec(RECT, 190, 290, 10, 160)                       # blue, clipped to x < 200, y >= 50
r += rec(RESTORE, -1)
r += rec(RECT, 40, 290, 10, 250)                        # red, unclipped
r += rec(SELECT, 5)
r += rec(ROUNDRECT, 40, 60, 190, 140, 110, 10)          # corners of 60 x 40
r += rec(ROUNDRECT, 500, 500, 190, 240, 150, 210)       # corners larger than the box
placeable('saved.wmf', r, 3)
peer('saved.wmf')
)")));
  expectSameShapes(dir + "/saved.wmf", dir + "/saved.wmf.ref");
}

// RestoreDC goes back several states at once (-2), or to a state by its number (1 is the
// first saved, and the states after it are dropped); numbers naming no state change nothing.
// (ImageMagick goes back one state whatever the number, so the pixels are worked out here.)
TEST(Metafile, RestoreDcByCountAndNumber) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, scriptWithRecords(R"(
r = brush(0x0000FF) + brush(0xFF0000) + rec(SELECT, 3)        # red 3, blue 4
r += rec(SAVE) + rec(INTERSECT, 100, 100, 0, 0)
r += rec(SAVE) + rec(SELECT, 4) + rec(INTERSECT, 60, 60, 20, 20)
r += rec(RESTORE, -2) + rec(RECT, 50, 140, 10, 10)            # red, unclipped
r += rec(SAVE) + rec(SELECT, 4) + rec(SAVE) + rec(INTERSECT, 150, 50, 0, 0) + rec(SAVE)
r += rec(RESTORE, 3) + rec(RECT, 190, 140, 110, 10)           # blue, clipped to 50 x 150
r += rec(RESTORE, 0) + rec(RESTORE, 5) + rec(RESTORE, -3)     # no such states
r += rec(RECT, 190, 290, 160, 150)                            # still blue, still clipped
r += rec(RESTORE, 1) + rec(RECT, 190, 290, 160, 250)          # red, unclipped
placeable('restore.wmf', r, 2)
)")));
  CV_HANDLE h = load(dir + "/restore.wmf");
  ASSERT_EQ(CV_GetImagError(h), 0);
  const Pixels p = pixelsOf(h);
  CV_DestroyInstance(h);
  const auto colourAt = [&](int x, int y) {
    const uint8_t* c = p.at(x, y);
    return (c[0] << 16) | (c[1] << 8) | c[2];
  };
  const int red = 0xFF0000, blue = 0x0000FF, grey = 0xC0C0C0;
  EXPECT_EQ(colourAt(130, 45), red);
  EXPECT_EQ(colourAt(40, 130), blue);
  EXPECT_EQ(colourAt(60, 130), grey);
  EXPECT_EQ(colourAt(180, 170), grey);  // the clip at 50 still holds
  EXPECT_EQ(colourAt(280, 170), red);
}

// ExcludeClipRect cuts a hole (its left and top edges in, right and bottom out) out of every
// drawing: fills, lines and text; RestoreDC fills it again. ImageMagick ignores the record,
// so the pixels are worked out here.
TEST(Metafile, ExcludedRectanglesStayUntouched) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, scriptWithRecords(R"(
r = brush(0x0000FF) + pen(0, 1, 0xFF0000) + rec(SELECT, 3)
r += rec(SAVE)
r += rec(EXCLUDE, 60, 60, 20, 20) + rec(EXCLUDE, 60, 130, 20, 110)
r += rec(RECT, 80, 150, 0, 0)                           # red, two holes
r += rec(SELECT, 4) + rec(0x0214, 40, 0) + rec(0x0213, 40, 299)  # a blue line through them
r += font(40, 0) + rec(SELECT, 5) + rec(0x012E, 24) + text_out(55, 100, b'MMMM')  # and text
r += rec(RESTORE, -1)
r += rec(SELECT, 3) + rec(RECT, 180, 80, 100, 0)        # red again, whole
placeable('excluded.wmf', r, 3)
)")));
  CV_HANDLE h = load(dir + "/excluded.wmf");
  ASSERT_EQ(CV_GetImagError(h), 0);
  const Pixels p = pixelsOf(h);
  CV_DestroyInstance(h);
  const auto colourAt = [&](int x, int y) {
    const uint8_t* c = p.at(x, y);
    return (c[0] << 16) | (c[1] << 8) | c[2];
  };
  const int red = 0xFF0000, blue = 0x0000FF, grey = 0xC0C0C0;
  EXPECT_EQ(colourAt(10, 10), red);
  EXPECT_EQ(colourAt(19, 30), red);
  EXPECT_EQ(colourAt(20, 20), grey);  // the hole's top left corner is cut
  EXPECT_EQ(colourAt(59, 59), grey);
  EXPECT_EQ(colourAt(60, 59), red);  // its right and bottom edges are not
  EXPECT_EQ(colourAt(59, 60), red);
  EXPECT_EQ(colourAt(120, 30), grey);  // the second hole
  EXPECT_EQ(colourAt(90, 30), red);
  EXPECT_EQ(colourAt(10, 40), blue);  // the line, outside the holes
  EXPECT_EQ(colourAt(40, 40), grey);  // not inside them
  EXPECT_EQ(colourAt(125, 40), grey);
  EXPECT_EQ(colourAt(285, 40), blue);
  EXPECT_EQ(colourAt(40, 140), red);  // after RestoreDC nothing is cut
  int inkInHole = 0, inkBeside = 0;
  for (int y = 20; y < 60; ++y)
    for (int x = 110; x < 170; ++x)
      if (y != 40 && colourAt(x, y) != grey) ++(x < 130 ? inkInHole : inkBeside);
  EXPECT_EQ(inkInHole, 0);
  EXPECT_GT(inkBeside, 100);
}

// The ink's box of a text, relative to its reference point.
struct Ink {
  int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
};

Ink inkOf(const Pixels& p, int x0, int y0) {
  Ink ink;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* c = p.at(x, y);
      if (c[0] == c[1] && c[1] == c[2]) continue;  // the grey window and white
      ink.left = std::min(ink.left, x - x0), ink.right = std::max(ink.right, x - x0);
      ink.top = std::min(ink.top, y - y0), ink.bottom = std::max(ink.bottom, y - y0);
    }
  return ink;
}

// A font's escapement turns the baseline about the reference point, counter-clockwise in
// tenths of a degree: the ink of a turned text is the upright text's ink turned about that
// point (within a pixel or two of rounding); centred text is centred along the turned
// baseline.
TEST(Metafile, EscapementTurnsTheText) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, scriptWithRecords(R"(
for angle in (0, 900, 1800, 2700):
    for align, name in ((24, 'left'), (30, 'centre')):
        r = font(40, angle) + rec(SELECT, 3) + struct.pack('<IHI', 5, 0x0209, 0x000080)
        r += rec(0x012E, align) + text_out(100, 150, b'Hello')
        placeable('text%d_%s.wmf' % (angle, name), r, 1)
)")));
  const auto inkFor = [&](int angle, const char* align) {
    const std::string name = dir + "/text" + std::to_string(angle) + "_" + align + ".wmf";
    CV_HANDLE h = load(name);
    EXPECT_EQ(CV_GetImagError(h), 0) << name;
    const Ink ink = inkOf(pixelsOf(h), 150, 100);
    CV_DestroyInstance(h);
    return ink;
  };
  const Ink up = inkFor(0, "left");
  ASSERT_GT(up.right - up.left, 60);
  const auto near = [](int a, int b) { return std::abs(a - b) <= 2; };
  const Ink quarter = inkFor(900, "left"), half = inkFor(1800, "left"),
            threeQuarters = inkFor(2700, "left");
  // Turned by (u, v) -> (v, -u), (-u, -v) and (-v, u).
  EXPECT_TRUE(near(quarter.left, up.top) && near(quarter.right, up.bottom) &&
              near(quarter.top, -up.right) && near(quarter.bottom, -up.left))
      << quarter.left << " " << quarter.top << " " << quarter.right << " " << quarter.bottom;
  EXPECT_TRUE(near(half.left, -up.right) && near(half.right, -up.left) &&
              near(half.top, -up.bottom) && near(half.bottom, -up.top))
      << half.left << " " << half.top << " " << half.right << " " << half.bottom;
  EXPECT_TRUE(near(threeQuarters.left, -up.bottom) && near(threeQuarters.right, -up.top) &&
              near(threeQuarters.top, up.left) && near(threeQuarters.bottom, up.right))
      << threeQuarters.left << " " << threeQuarters.top << " " << threeQuarters.right << " "
      << threeQuarters.bottom;
  // Centred: upright, the ink straddles the point across; turned a quarter, up and down.
  const Ink centred = inkFor(0, "centre"), centredQuarter = inkFor(900, "centre");
  EXPECT_LE(std::abs(centred.left + centred.right), 4);
  EXPECT_LE(std::abs(centredQuarter.top + centredQuarter.bottom), 4);
  EXPECT_TRUE(near(centredQuarter.left, quarter.left) && near(centredQuarter.right, quarter.right));
}

}  // namespace
