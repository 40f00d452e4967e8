#include "rastrel3.h"

#include "rastcore3.h"

extern "C" {
__attribute__((visibility("default"))) int32_t DllCanUnloadNow() { return 0; }
__attribute__((visibility("default"))) int32_t DllRegisterServer() { return 0; }
__attribute__((visibility("default"))) int32_t DllUnregisterServer() { return 0; }
}
