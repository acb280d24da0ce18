// Checks the structure of a compiled help file before chmlib reads it.
//
// chmlib trusts the sizes, offsets and chunk numbers a file states: a damaged
// file can make it allocate gigabytes, divide by zero, loop forever in its
// directory or read past its buffers. Everything it relies on is checked here
// first, against the layout every help compiler writes.
#pragma once

#include <cstdint>
#include <string>

namespace help {

// True when the file at path is safe to hand to chmlib. Reads the headers,
// the directory and the two small objects that describe the compression.
bool ChmStructureIsSound(const std::string& path);

}  // namespace help
