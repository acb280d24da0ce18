#include <cstdio>

#include "Verbs.h"

namespace cli {

int RunExport(const std::string& verb, const std::vector<std::string>&) {
  std::fprintf(stderr, "addrivo-convert: %s is not available in this build\n", verb.c_str());
  return 1;
}

}  // namespace cli
