// Reads a .pst back with libpff, a reader nobody here wrote: the message
// store's name and every folder with the string properties of its items.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace readback {

// Property keys: "0x3a06" for a tagged property, "lid:0x8083" for a named
// one with a numeric id, "name:Keywords" for one with a string name. Text
// values as UTF-8; others as "x:" and their bytes in hex. "nid" is the
// item's node id, as Hex() writes it.
using Properties = std::map<std::string, std::string>;

struct FolderContent {
  std::string path;  // "/Top of Personal Folders/WAB Contacts ..."
  std::vector<Properties> items;
};

struct PstContent {
  std::string storeName;
  std::vector<FolderContent> folders;
  const FolderContent* Find(const std::string& path) const;
};

// Where Outlook keeps each of the designed contact-item properties the
// export sets, and the department: its tag, or the named property Outlook
// uses for it.
struct PropertyPlace {
  const char* property;   // the item property ("FirstName", ...)
  const char* readerKey;  // the reader key its value comes from
  std::vector<std::string> places;
};
const std::vector<PropertyPlace>& ContactPropertyPlaces();

// "0x" and the number in lower-case hex, as keys and node ids are written.
std::string Hex(std::uint32_t v);
// The bytes of an "x:" value.
std::string Unhex(const std::string& value);
// The values of a multi-valued binary or text, as stored.
std::vector<std::string> MultiValues(const std::string& bytes);

// True when one of the property's places holds exactly `value`.
bool HasProperty(const Properties& item, const PropertyPlace& where, const std::string& value);

// Throws std::runtime_error with libpff's message when the file does not open.
PstContent ReadWithLibpff(const std::filesystem::path& file, int asciiCodePage = 1252);

}  // namespace readback
