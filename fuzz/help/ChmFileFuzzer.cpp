// Damaged help files: opening and reading everything must neither crash, hang
// nor exhaust memory. chmlib reads from a path, so each input goes to a file.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/help/ChmFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/addrivo-chm-fuzz-" + std::to_string(getpid()) + ".chm";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  help::ChmStatus status;
  if (auto file = help::ChmFile::Open(path, &status)) {
    (void)file->StartPage();
    for (const std::string& f : file->Files()) (void)file->Read(f);
  }
  return 0;
}
