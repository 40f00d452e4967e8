// Python scripts that make test files and the peers' pixels of them (python3-pil, with
// ImageMagick or netpbm called from the script where Pillow cannot read a format), and the
// comparison of those pixels with the engine's.
#pragma once

#include <string>

namespace fmt_test {

// The scripts share ref(path, im), which writes a picture's pixels as "W H\n" and R, G, B, A
// bytes, and pattern(w, h, mode), a picture whose quadrants and corners tell every turn apart.
// Each script gets the folder `d` to write into.
bool havePillow();
bool runScript(const std::string& dir, const std::string& body);

// Loads `file` (page `page`) and compares it with the reference that ref() wrote: colour within
// `tolerance` wherever the reference is not fully transparent, and alpha exactly.
void expectMatches(const std::string& file, const std::string& reference, int tolerance,
                   int page = 0);

}  // namespace fmt_test
