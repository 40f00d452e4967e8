#include "ops/registry.h"

#include "instance.h"

namespace rastcore {

int16_t applyNamedOp(CV_HANDLE handle, const std::string&, const std::vector<std::string>&) {
  Instance* inst = instanceFor(handle);
  if (!inst) return -1;
  inst->error = -1;
  return inst->error;
}

std::vector<std::string> namedOps() { return {}; }

}  // namespace rastcore
