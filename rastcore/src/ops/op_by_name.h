// Runs a processing method of an engine instance by its member name with text arguments, as
// the command-line tool's --op NAME:ARG,... does.
#pragma once

#include <string>
#include <vector>

#include "rastcore3.h"

namespace rastcore {

// Returns the instance's error after the call (0 success); an unknown name or a wrong number
// of arguments gives the engine's unsupported-option error.
int16_t applyNamedOp(CV_HANDLE handle, const std::string& name,
                     const std::vector<std::string>& args);

// Every name applyNamedOp knows, for --help.
std::vector<std::string> namedOps();

// The name with its argument kinds, as "Rotate:REAL" or "Resize:N,N"; "" for an unknown name.
std::string namedOpUsage(const std::string& name);

}  // namespace rastcore
