// Shared by the personal folders tests: contacts with every field set,
// the properties libpff is asked for, and small helpers around the readers.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "PffRead.h"
#include "platform/pst/PstStore.h"

// ctest names a parameter by what gtest prints of it.
namespace pst {
inline void PrintTo(Format f, std::ostream* os) { *os << (f == Format::Ansi ? "Ansi" : "Unicode"); }
}  // namespace pst

namespace psttest {

// Every field set, each value naming its field and the number i.
pst::Contact FullContact(int i);

// The properties the read-back tests compare (named ones by their numbers).
const PffWanted& ContactWanted();

// Writes a store holding `count` FullContact()s in one contacts folder
// under Top of Personal Folders; returns the folder's name.
std::string WriteContactsFile(const std::filesystem::path& file, pst::Format format, int count,
                              int codePage = 1252);

// Output of a shell command, and its exit status through *status.
std::string Run(const std::string& command, int* status = nullptr);

// Number of lines in text that start with prefix.
std::size_t CountLines(const std::string& text, const std::string& prefix);

}  // namespace psttest
