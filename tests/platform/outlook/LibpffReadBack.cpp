#include "LibpffReadBack.h"

#include <libpff.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "support/LittleEndian.h"

namespace readback {

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04x", v);
  return buf;
}

std::string Unhex(const std::string& value) {
  std::string out;
  for (std::size_t i = 2; i + 1 < value.size(); i += 2)
    out += static_cast<char>(std::stoi(value.substr(i, 2), nullptr, 16));
  return out;
}

std::vector<std::string> MultiValues(const std::string& v) {
  std::vector<std::string> out;
  if (v.size() < 4) return out;
  auto u32 = [&](std::size_t at) { return testsupport::le::Get32(v, at); };
  const std::uint32_t n = u32(0);
  for (std::uint32_t i = 0; i < n && 8 + 4 * i <= v.size(); ++i) {
    const std::size_t from = u32(4 + 4 * i), to = i + 1 < n ? u32(8 + 4 * i) : v.size();
    if (from > to || to > v.size()) break;
    out.push_back(v.substr(from, to - from));
  }
  return out;
}

namespace {

[[noreturn]] void Fail(const std::string& what, libpff_error_t* error) {
  char text[1024] = "";
  if (error) {
    libpff_error_sprint(error, text, sizeof text);
    libpff_error_free(&error);
  }
  throw std::runtime_error("libpff: " + what + ": " + text);
}

struct ItemDeleter {
  void operator()(libpff_item_t* item) const { libpff_item_free(&item, nullptr); }
};
using Item = std::unique_ptr<libpff_item_t, ItemDeleter>;


Properties ReadProperties(libpff_item_t* item) {
  Properties props;
  int sets = 0;
  if (libpff_item_get_number_of_record_sets(item, &sets, nullptr) != 1 || sets < 1) return props;
  libpff_record_set_t* set = nullptr;
  if (libpff_item_get_record_set_by_index(item, 0, &set, nullptr) != 1) return props;
  int entries = 0;
  libpff_record_set_get_number_of_entries(set, &entries, nullptr);
  for (int i = 0; i < entries; ++i) {
    libpff_record_entry_t* entry = nullptr;
    if (libpff_record_set_get_entry_by_index(set, i, &entry, nullptr) != 1) continue;
    std::uint32_t type = 0, valueType = 0;
    libpff_record_entry_get_entry_type(entry, &type, nullptr);
    libpff_record_entry_get_value_type(entry, &valueType, nullptr);
    std::string key = Hex(type);
    libpff_name_to_id_map_entry_t* named = nullptr;
    if (libpff_record_entry_get_name_to_id_map_entry(entry, &named, nullptr) == 1 && named) {
      std::uint8_t kind = 0;
      std::uint32_t number = 0;
      std::size_t nameSize = 0;
      if (libpff_name_to_id_map_entry_get_type(named, &kind, nullptr) == 1 &&
          kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC &&
          libpff_name_to_id_map_entry_get_number(named, &number, nullptr) == 1) {
        key = "lid:" + Hex(number);
      } else if (libpff_name_to_id_map_entry_get_utf8_string_size(named, &nameSize, nullptr) == 1 &&
                 nameSize > 1) {
        std::string name(nameSize, '\0');
        if (libpff_name_to_id_map_entry_get_utf8_string(named, reinterpret_cast<std::uint8_t*>(name.data()),
                                                        nameSize, nullptr) == 1) {
          name.resize(nameSize - 1);
          key = "name:" + name;
        }
      }
    }
    if (valueType == 0x001e || valueType == 0x001f) {
      std::size_t size = 0;
      std::string value;
      if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, nullptr) == 1 && size > 0) {
        value.resize(size);
        if (libpff_record_entry_get_data_as_utf8_string(entry, reinterpret_cast<std::uint8_t*>(value.data()),
                                                         size, nullptr) == 1)
          value.resize(size - 1);
        else
          value.clear();
      }
      props[key] = value;
    } else {
      // Other types as "x:" and their bytes in hex, as stored.
      std::size_t size = 0;
      std::string bytes;
      if (libpff_record_entry_get_data_size(entry, &size, nullptr) == 1 && size > 0) {
        bytes.resize(size);
        if (libpff_record_entry_get_data(entry, reinterpret_cast<std::uint8_t*>(bytes.data()), size, nullptr) != 1)
          bytes.clear();
      }
      std::string hex = "x:";
      static const char* digits = "0123456789abcdef";
      for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
      }
      props[key] = hex;
    }
    libpff_record_entry_free(&entry, nullptr);
  }
  libpff_record_set_free(&set, nullptr);
  return props;
}

void Walk(libpff_item_t* folder, const std::string& path, PstContent& out) {
  FolderContent content{path, {}};
  int messages = 0;
  libpff_folder_get_number_of_sub_messages(folder, &messages, nullptr);
  for (int i = 0; i < messages; ++i) {
    libpff_item_t* raw = nullptr;
    libpff_error_t* error = nullptr;
    if (libpff_folder_get_sub_message(folder, i, &raw, &error) != 1) Fail("sub message of " + path, error);
    Item message(raw);
    content.items.push_back(ReadProperties(message.get()));
    std::uint32_t id = 0;
    if (libpff_item_get_identifier(message.get(), &id, nullptr) == 1) content.items.back()["nid"] = Hex(id);
  }
  out.folders.push_back(std::move(content));

  int folders = 0;
  libpff_folder_get_number_of_sub_folders(folder, &folders, nullptr);
  for (int i = 0; i < folders; ++i) {
    libpff_item_t* raw = nullptr;
    libpff_error_t* error = nullptr;
    if (libpff_folder_get_sub_folder(folder, i, &raw, &error) != 1) Fail("sub folder of " + path, error);
    Item sub(raw);
    std::size_t size = 0;
    std::string name;
    if (libpff_folder_get_utf8_name_size(sub.get(), &size, nullptr) == 1 && size > 0) {
      name.resize(size);
      libpff_folder_get_utf8_name(sub.get(), reinterpret_cast<std::uint8_t*>(name.data()), size, nullptr);
      name.resize(size - 1);
    }
    Walk(sub.get(), path + "/" + name, out);
  }
}

}  // namespace

const std::vector<PropertyPlace>& ContactPropertyPlaces() {
  static const std::vector<PropertyPlace> places{
      {"FirstName", "Name", {"0x3a06"}},
      {"MiddleName", "MiddleName", {"0x3a44"}},
      {"LastName", "Surname", {"0x3a11"}},
      {"CompanyName", "CompanyName", {"0x3a16"}},
      {"BusinessTelephoneNumber", "BusinessPhone", {"0x3a08"}},
      {"BusinessFaxNumber", "BusinessFax", {"0x3a24"}},
      {"HomeTelephoneNumber", "HomePhone", {"0x3a09"}},
      {"HomeFaxNumber", "Fax", {"0x3a25"}},
      {"MobileTelephoneNumber", "CellPhone", {"0x3a1c"}},
      {"BusinessAddressStreet", "BusinessAddress", {"lid:0x8045", "0x3a29"}},
      {"BusinessAddressCity", "City", {"lid:0x8046", "0x3a27"}},
      {"BusinessAddressState", "Province", {"lid:0x8047", "0x3a28"}},
      {"BusinessAddressPostalCode", "Postal", {"lid:0x8048", "0x3a2a"}},
      {"BusinessAddressCountry", "Country", {"lid:0x8049", "0x3a26"}},
      {"HomeAddressStreet", "HomeAddress", {"0x3a5d"}},
      {"HomeAddressCountry", "HomeCountry", {"0x3a5a"}},
      {"Email1Address", "HomeEmail", {"lid:0x8083"}},
      {"WebPage", "CompanyURL", {"lid:0x802b", "0x3a51"}},
      {"OfficeLocation", "OfficeLocation", {"0x3a19"}},
      {"Body", "Comment", {"0x1000"}},
      {"Department", "Department", {"0x3a18"}},
  };
  return places;
}

bool HasProperty(const Properties& item, const PropertyPlace& where, const std::string& value) {
  for (const auto& place : where.places) {
    auto it = item.find(place);
    if (it != item.end() && it->second == value) return true;
  }
  // An empty value may simply not be written.
  if (value.empty())
    for (const auto& place : where.places)
      if (item.count(place)) return false;
  return value.empty();
}

const FolderContent* PstContent::Find(const std::string& path) const {
  for (const auto& f : folders)
    if (f.path == path) return &f;
  return nullptr;
}

PstContent ReadWithLibpff(const std::filesystem::path& file, int asciiCodePage) {
  libpff_file_t* pff = nullptr;
  libpff_error_t* error = nullptr;
  if (libpff_file_initialize(&pff, &error) != 1) Fail("initialise", error);
  struct Closer {
    libpff_file_t* f;
    ~Closer() {
      libpff_file_close(f, nullptr);
      libpff_file_free(&f, nullptr);
    }
  } closer{pff};
  libpff_file_set_ascii_codepage(pff, asciiCodePage, nullptr);
  if (libpff_file_open(pff, file.c_str(), LIBPFF_OPEN_READ, &error) != 1) Fail("open " + file.string(), error);

  PstContent out;
  libpff_item_t* raw = nullptr;
  if (libpff_file_get_message_store(pff, &raw, &error) != 1) Fail("message store", error);
  {
    Item store(raw);
    auto props = ReadProperties(store.get());
    out.storeName = props["0x3001"];
  }
  raw = nullptr;  // libpff refuses to fill a pointer that is not null
  if (libpff_file_get_root_folder(pff, &raw, &error) != 1) Fail("root folder", error);
  Item root(raw);
  Walk(root.get(), "", out);
  return out;
}

}  // namespace readback
