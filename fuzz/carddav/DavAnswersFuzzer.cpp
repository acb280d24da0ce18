// Everything a CardDAV server's answer reaches: the multistatus parser, the
// refusal's reason, an href or Location made absolute, a stored card
// compared with ours.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "carddav/DavAnswers.h"
#include "carddav/Upload.h"
#include "carddav/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<carddav::DavResource> found;
  std::string why;
  if (carddav::ParseMultistatus(text, found, why)) {
    carddav::Url base, out;
    carddav::ParseUrl("https://dav.example.org:8443/home/user/", base);
    for (const auto& r : found) carddav::Resolve(base, r.href, out);
  }
  const std::string reason = carddav::RefusalReason(text);
  if (reason.size() > 260) __builtin_trap();  // a reason is always shortened
  carddav::Url url;
  carddav::ParseUrl(text, url);
  (void)carddav::Comparable(text);
  return 0;
}
