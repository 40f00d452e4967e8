// WordPerfect Graphics version 2 bitmaps: every depth, with and without a colour palette, raw
// and run-length encoded, read as ImageMagick reads them. No tool writes version 2 files, so
// the script below does; its run-length encoder uses every code the format has (unit size,
// repeated and literal units, zero and 0xFF runs, run extension, row repeats).
#include <gtest/gtest.h>

#include <string>

#include "formats_helpers.h"
#include "peer_scripts_helpers.h"
#include "rastcore3.h"

using namespace fmt_test;

namespace {

const char kWriter[] = R"(
def number(n):
    if n < 0xFF: return bytes([n])
    if n < 0x8000: return b'\xff' + struct.pack('<H', n)
    return b'\xff' + struct.pack('<HH', 0x8000 | (n >> 16), n & 0xFFFF)
def record(kind, body):
    return bytes([0, kind]) + number(0) + number(len(body)) + body
def wpg2(*records):
    head = b'\xffWPC' + struct.pack('<I', 16) + bytes([1, 0x16, 2, 0, 0, 0, 0, 0])
    start = record(0x01, struct.pack('<HHhhhh', 1200, 0, 0, 0, 1000, 1000))
    return head + start + b''.join(records) + record(0x02, b'')
def palette(colours):
    return record(0x0C, struct.pack('<HH', 0, len(colours)) +
                  b''.join(bytes([r, g, b, 0]) for r, g, b in colours))
def bitmap(w, h, code, compression, data):
    return record(0x0E, struct.pack('<HHBB', w, h, code, compression) + data)
def units_rle(data, unit):
    units = [data[i:i + unit] for i in range(0, len(data), unit)]
    out, i = bytearray(), 0
    while i < len(units):
        run = 1
        while i + run < len(units) and units[i + run] == units[i]: run += 1
        if run >= 2:
            u = units[i]
            if u == bytes(unit) or u == b'\xff' * unit:
                n = min(run, 256)
                out += bytes([0x7F if u[0] == 0 else 0xFF, n - 1])
            else:
                n = min(run, 125)
                out += bytes([0x80 | (n - 1)]) + u
                if run > n:  # the rest of the run extends it
                    more = min(run - n, 256)
                    out += bytes([0xFD, more - 1])
                    n += more
            i += n
            continue
        n = 1
        while i + n < len(units) and n < 125 and not (
                i + n + 1 < len(units) and units[i + n] == units[i + n + 1]):
            n += 1
        out += bytes([n - 1]) + b''.join(units[i:i + n])
        i += n
    return bytes(out)
def rle(rows, unit):
    # Rows equal to the one above become row repeats; the others are one stream, so runs
    # cross rows.
    out = bytearray([0x7D, unit]) if unit != 1 else bytearray()
    y = 0
    while y < len(rows):
        if y and rows[y] == rows[y - 1]:
            n = 1
            while y + n < len(rows) and rows[y + n] == rows[y] and n < 256: n += 1
            out += bytes([0xFE, n - 1])
            y += n
            continue
        n = 1
        while y + n < len(rows) and rows[y + n] != rows[y + n - 1]: n += 1
        out += units_rle(b''.join(rows[y:y + n]), unit)
        y += n
    return bytes(out)
def pack(indices, bits):
    out, acc, nbits = bytearray(), 0, 0
    for v in indices:
        acc, nbits = acc << bits | v, nbits + bits
        if nbits == 8: out.append(acc); acc, nbits = 0, 0
    if nbits: out.append(acc << (8 - nbits))
    return bytes(out)
def peer(name, w, h):
    raw = subprocess.run(['convert', name, '-depth', '8', 'rgba:-'], check=True,
                         capture_output=True).stdout
    ref(name + '.ref', Image.frombytes('RGBA', (w, h), raw))
)";

// The file names the script writes: d<bits>_<map|nomap>_<raw|rle>.wpg.
std::vector<std::string> everyVariant() {
  std::vector<std::string> names;
  for (int bits : {1, 2, 4, 8, 24})
    for (const char* map : {"map", "nomap"})
      for (const char* compression : {"raw", "rle"})
        if (bits != 24 || std::string(map) == "nomap")
          names.push_back("d" + std::to_string(bits) + "_" + map + "_" + compression + ".wpg");
  return names;
}

TEST(Wpg2, EveryDepthMatchesImageMagick) {
  if (!havePillow() || !haveProgram("convert")) GTEST_SKIP() << "Pillow or ImageMagick missing";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, std::string(kWriter) + R"(
w, h = 300, 12  # even: the 8-bit runs are of two bytes
for bits, code in ((1, 1), (2, 2), (4, 3), (8, 4), (24, 8)):
    rows = []
    for y in range(h):
        if y in (3, 4):
            rows.append(rows[2])
        elif y == 6 or y == 7:
            rows.append((b'\0' if y == 6 else b'\xff') * len(rows[0]))
        elif y == 8:  # a run longer than one code holds
            rows.append(b'\1\2\3' * w if bits == 24 else pack([1] * w, bits))
        elif bits == 24:
            rows.append(b''.join(bytes([x // 6 * 40 % 256, y * 20, 200 if x < 150 else 30])
                                 for x in range(w)))
        else:
            rows.append(pack([(x // 5 * 3 + y) % (1 << bits) for x in range(w)], bits))
    colours = [((i * 37) % 256, (i * 91 + 20) % 256, (255 - i * 13) % 256)
               for i in range(1 << bits)] if bits <= 8 else None
    unit = 3 if bits == 24 else 2 if bits == 8 else 1
    for kind in ('map', 'nomap'):
        if bits == 24 and kind == 'map': continue
        for compression in ('raw', 'rle'):
            data = b''.join(rows) if compression == 'raw' else rle(rows, unit)
            maps = (palette(colours),) if kind == 'map' else ()
            name = '%s/d%d_%s_%s.wpg' % (d, bits, kind, compression)
            open(name, 'wb').write(wpg2(*maps, bitmap(w, h, code, compression == 'rle', data)))
            peer(name, w, h)
)"));
  for (const std::string& name : everyVariant()) {
    expectMatches(dir + "/" + name, dir + "/" + name + ".ref", 0);
    CV_HANDLE h = load(dir + "/" + name);
    EXPECT_EQ(CV_GetIFormat(h), FT_WPG);
    EXPECT_EQ(CV_GetIBPP(h), std::stoi(name.substr(1)));  // the depth as stored
    CV_DestroyInstance(h);
  }
}

// The exclusive-or code combines the following bytes with the row above until it comes again.
// (ImageMagick inverts the bytes instead and says it does not know the code, so the pixels are
// worked out here.)
TEST(Wpg2, ExclusiveOrWithTheRowAbove) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, std::string(kWriter) + R"(
data = bytes([0x02, 1, 2, 3, 0x7E, 0x02, 1, 1, 1, 0x02, 2, 2, 2, 0x7E, 0x02, 9, 9, 9])
open(d + '/xor.wpg', 'wb').write(wpg2(palette([(i, 0, 0) for i in range(256)]),
                                      bitmap(3, 4, 4, 1, data)))
)"));
  CV_HANDLE h = load(dir + "/xor.wpg");
  ASSERT_EQ(CV_GetImagError(h), 0);
  const Pixels p = pixelsOf(h);
  CV_DestroyInstance(h);
  ASSERT_EQ(p.width, 3);
  ASSERT_EQ(p.height, 4);
  const int expected[4][3] = {{1, 2, 3}, {0, 3, 2}, {2, 1, 0}, {9, 9, 9}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(p.at(x, y)[0], expected[y][x]) << x << "," << y;
}

// Damaged and hostile version 2 files are refused with the number that says why, before the
// picture is allocated.
TEST(Wpg2, BadFilesRefused) {
  if (!havePillow()) GTEST_SKIP() << "Pillow not installed";
  const std::string dir = tempDir();
  ASSERT_TRUE(runScript(dir, std::string(kWriter) + R"(
def save(name, *records): open(d + '/' + name, 'wb').write(wpg2(*records))
save('cut_raw', bitmap(16, 16, 4, 0, bytes(200)))
save('cut_rle', bitmap(16, 16, 4, 1, bytes([0x8F, 7])))
save('depth5', bitmap(4, 4, 5, 0, bytes(64)))
save('compression2', bitmap(4, 4, 4, 2, bytes(16)))
save('huge', bitmap(65535, 65535, 4, 1, bytes([0xFE, 255]) * 300))
save('empty', bitmap(0, 5, 4, 0, b''))
save('unit9', bitmap(4, 4, 4, 1, bytes([0x7D, 9, 0xFE, 3])))
save('repeat_mid_row', bitmap(4, 4, 4, 1, bytes([0x01, 1, 2, 0xFE, 3])))
save('no_bitmap', palette([(1, 2, 3)]))
open(d + '/cut_head', 'wb').write(wpg2()[:12])
)"));
  const std::vector<std::pair<const char*, int16_t>> cases = {
      {"cut_raw", CV_ERR_TRUNCATED},
      {"cut_rle", CV_ERR_TRUNCATED},
      {"depth5", CV_ERR_UNSUPPORTED_FEATURE},
      {"compression2", CV_ERR_UNSUPPORTED_FEATURE},
      {"huge", CV_ERR_TOO_LARGE},
      {"empty", CV_ERR_DAMAGED},
      {"unit9", CV_ERR_DAMAGED},
      {"repeat_mid_row", CV_ERR_DAMAGED},
      {"no_bitmap", CV_ERR_DAMAGED},
      {"cut_head", 0}};
  std::vector<BadFile> files;
  for (const auto& [name, error] : cases)
    files.push_back({name, readFile(dir + "/" + name), error});
  expectRefused(files, "wpg");
}

}  // namespace
