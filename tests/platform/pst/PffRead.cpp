#include "PffRead.h"

#include <libpff.h>

#include <memory>
#include <stdexcept>

namespace psttest {

namespace {

[[noreturn]] void Fail(const char* what, libpff_error_t* err) {
  std::string msg = what;
  if (err) {
    char buf[1024];
    libpff_error_sprint(err, buf, sizeof buf);
    msg += ": ";
    msg += buf;
    libpff_error_free(&err);
  }
  throw std::runtime_error(msg);
}

struct ItemPtr {
  libpff_item_t* p = nullptr;
  ~ItemPtr() { if (p) libpff_item_free(&p, nullptr); }
};

void ReadEntries(libpff_item_t* item, const PffWanted& w, PffItem& out) {
  libpff_error_t* err = nullptr;
  int sets = 0;
  if (libpff_item_get_number_of_record_sets(item, &sets, &err) != 1) Fail("record sets", err);
  if (sets < 1) return;
  libpff_record_set_t* rs = nullptr;
  if (libpff_item_get_record_set_by_index(item, 0, &rs, &err) != 1) Fail("record set", err);
  auto entry = [&](std::uint32_t type) -> libpff_record_entry_t* {
    libpff_record_entry_t* re = nullptr;
    int r = libpff_record_set_get_entry_by_type(rs, type, 0, &re,
                                                LIBPFF_ENTRY_VALUE_FLAG_MATCH_ANY_VALUE_TYPE, &err);
    if (r == -1) Fail("entry", err);
    return r == 1 ? re : nullptr;
  };
  for (std::uint32_t t : w.text) {
    libpff_record_entry_t* re = entry(t);
    if (!re) continue;
    std::size_t size = 0;
    if (libpff_record_entry_get_data_as_utf8_string_size(re, &size, &err) != 1) {
      libpff_error_free(&err);
      out.text[t] = "";
    } else {
      std::string s(size, '\0');
      if (size && libpff_record_entry_get_data_as_utf8_string(re, reinterpret_cast<uint8_t*>(s.data()), size, &err) != 1)
        Fail("string", err);
      if (!s.empty() && s.back() == '\0') s.pop_back();
      out.text[t] = s;
    }
    libpff_record_entry_free(&re, nullptr);
  }
  for (std::uint32_t t : w.number) {
    libpff_record_entry_t* re = entry(t);
    if (!re) continue;
    uint32_t v = 0;
    if (libpff_record_entry_get_data_as_32bit_integer(re, &v, &err) != 1) Fail("integer", err);
    out.number[t] = v;
    libpff_record_entry_free(&re, nullptr);
  }
  for (std::uint32_t t : w.binary) {
    libpff_record_entry_t* re = entry(t);
    if (!re) continue;
    std::size_t size = 0;
    if (libpff_record_entry_get_data_size(re, &size, &err) != 1) Fail("size", err);
    std::string s(size, '\0');
    if (size && libpff_record_entry_get_data(re, reinterpret_cast<uint8_t*>(s.data()), size, &err) != 1)
      Fail("data", err);
    out.binary[t] = s;
    libpff_record_entry_free(&re, nullptr);
  }
  libpff_record_set_free(&rs, nullptr);
}

void ReadFolder(libpff_item_t* folder, const PffWanted& w, PffFolder& out) {
  libpff_error_t* err = nullptr;
  std::size_t size = 0;
  if (libpff_folder_get_utf8_name_size(folder, &size, &err) == 1 && size) {
    std::string s(size, '\0');
    if (libpff_folder_get_utf8_name(folder, reinterpret_cast<uint8_t*>(s.data()), size, &err) != 1) Fail("name", err);
    if (!s.empty() && s.back() == '\0') s.pop_back();
    out.name = s;
  } else if (err) {
    libpff_error_free(&err);
  }
  int n = 0;
  if (libpff_folder_get_number_of_sub_folders(folder, &n, &err) != 1) Fail("sub folders", err);
  for (int i = 0; i < n; ++i) {
    ItemPtr sub;
    if (libpff_folder_get_sub_folder(folder, i, &sub.p, &err) != 1) Fail("sub folder", err);
    out.folders.emplace_back();
    ReadFolder(sub.p, w, out.folders.back());
  }
  if (libpff_folder_get_number_of_sub_messages(folder, &n, &err) != 1) Fail("sub messages", err);
  out.itemCount = static_cast<std::size_t>(n);
  std::vector<int> indices = w.onlyItems;
  if (indices.empty())
    for (int i = 0; i < n; ++i) indices.push_back(i);
  for (int i : indices) {
    if (i >= n) continue;
    ItemPtr msg;
    if (libpff_folder_get_sub_message(folder, i, &msg.p, &err) != 1) Fail("sub message", err);
    out.items.emplace_back();
    ReadEntries(msg.p, w, out.items.back());
  }
}

}  // namespace

const PffFolder* PffFolder::Find(const std::string& child) const {
  for (const auto& f : folders)
    if (f.name == child) return &f;
  return nullptr;
}

PffStore ReadWithLibpff(const std::filesystem::path& path, const PffWanted& wanted, int codePage) {
  libpff_error_t* err = nullptr;
  libpff_file_t* file = nullptr;
  if (libpff_file_initialize(&file, &err) != 1) Fail("initialise", err);
  std::unique_ptr<libpff_file_t, void (*)(libpff_file_t*)> guard(file, [](libpff_file_t* f) {
    libpff_file_close(f, nullptr);
    libpff_file_free(&f, nullptr);
  });
  if (codePage && libpff_file_set_ascii_codepage(file, codePage, &err) != 1) Fail("code page", err);
  if (libpff_file_open(file, path.c_str(), libpff_get_access_flags_read(), &err) != 1) Fail("open", err);
  PffStore store;
  uint8_t type = 0;
  if (libpff_file_get_type(file, &type, &err) != 1) Fail("type", err);
  store.unicode = type == LIBPFF_FILE_TYPE_64BIT;
  {
    ItemPtr ms;
    if (libpff_file_get_message_store(file, &ms.p, &err) != 1) Fail("message store", err);
    PffItem item;
    ReadEntries(ms.p, PffWanted{{0x3001}, {}, {}, {}}, item);
    store.name = item.text[0x3001];
  }
  ItemPtr root;
  if (libpff_file_get_root_folder(file, &root.p, &err) != 1) Fail("root folder", err);
  ReadFolder(root.p, wanted, store.root);
  return store;
}

}  // namespace psttest
