#include <cstdio>

#include "Verbs.h"

namespace cli {

int RunList(const std::vector<std::string>&) {
  std::fputs("addrivo-convert: list is not available in this build\n", stderr);
  return 1;
}

}  // namespace cli
