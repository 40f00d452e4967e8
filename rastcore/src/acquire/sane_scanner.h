// Scanners through SANE, the scanner interface of Linux and the BSDs. SANE keeps process-wide
// state between sane_init and sane_exit and is not safe to use from two threads at once, so
// every use is one session under one process-wide lock.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "image.h"

namespace rastcore {

struct ScanSource {
  std::string name;    // SANE's device name, which opens it
  std::string vendor;  // as the backend reports them
  std::string model;
  std::string type;
};

// Asked between waits with the percentage done; true stops the device.
using ScanPoll = std::function<bool(int pct)>;

// The local scanners (network scanners are not looked for) and SANE's version text.
int16_t listScanSources(std::vector<ScanSource>& sources, std::string& versionText,
                        const ScanPoll& poll);

// One page from the named device with its default options, as 1-bit, 8-bit grey or 24-bit.
int16_t scanPage(const std::string& deviceName, Image& out, const ScanPoll& poll);

}  // namespace rastcore
