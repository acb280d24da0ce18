// Contents and index files of any shape: the parser must take them all.
#include <cstdint>
#include <string>

#include "platform/help/Sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)help::ParseSitemap(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
