// Rastrel3: the imaging control's component interface as seen by its hosts.
#pragma once

#include <cstdint>

extern "C" {
// Component entry points, resolved by name from librastrel3.so.
int32_t DllCanUnloadNow();
int32_t DllRegisterServer();
int32_t DllUnregisterServer();
}
