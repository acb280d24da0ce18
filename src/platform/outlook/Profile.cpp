#include "Profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <system_error>

#include "platform/automation/Automation.h"
#include "platform/codepage/CodePage.h"
#include "platform/os/Os.h"

namespace fs = std::filesystem;
using automation::AutomationError;

namespace outlook {
namespace {

std::string Utf8Name(const fs::path& p) {
  const auto u = p.u8string();
  return {u.begin(), u.end()};
}

}  // namespace

fs::path ProfilePath() {
  // A profile in a shared folder such as /tmp could be read or replaced by
  // anyone: without a folder of the user's own there is no profile.
  const std::string base = os::ConfigFolder();
  if (base.empty())
    throw AutomationError(
        "Outlook cannot keep its profile: neither a configuration folder ($XDG_CONFIG_HOME; %APPDATA% on "
        "Windows) nor a home folder ($HOME) is set.");
  return fs::path(os::Native(base)) / "addrivo" / "outlook-profile";
}

std::vector<AttachedStore> ReadProfile() { return detail::LoadProfileFile(ProfilePath()); }

namespace detail {

namespace {

std::mutex g_profileMutex;
std::weak_ptr<Profile> g_profile;

std::string Escape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// False for a dangling or unknown escape: the line is then not ours.
bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return false;
    switch (s[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      default: return false;
    }
  }
  return true;
}

pst::Format ToPst(StoreFormat f) { return f == StoreFormat::Ansi ? pst::Format::Ansi : pst::Format::Unicode; }

}  // namespace

std::string StoreEntry::Describe() const {
  if (IsDefault()) return "\"" + displayName + "\"";
  return "\"" + displayName + "\" (" + Utf8Name(path) + ")";
}

fs::path NormalPath(const fs::path& path) {
  std::error_code ec;
  fs::path abs = fs::absolute(path, ec);
  if (ec) abs = path;
  return abs.lexically_normal();
}

namespace {

constexpr const char* kProfileHeading =
    "# Addrivo's Outlook profile: the stores attached, one a line: format, display name, path";

// A store's line, or false for a line that is not one (a comment, a line
// written by someone else): those are kept as they are.
bool ParseStoreLine(const std::string& line, AttachedStore& s) {
  if (line.empty() || line[0] == '#') return false;
  const auto t1 = line.find('\t');
  const auto t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
  if (t2 == std::string::npos || line.find('\t', t2 + 1) != std::string::npos) return false;
  const std::string kind = line.substr(0, t1);
  if (kind == "unicode") s.format = StoreFormat::Unicode;
  else if (kind == "ansi") s.format = StoreFormat::Ansi;
  else return false;
  std::string name, path;
  if (!Unescape(line.substr(t1 + 1, t2 - t1 - 1), name) || !Unescape(line.substr(t2 + 1), path) || path.empty())
    return false;
  s.displayName = std::move(name);
  s.path = fs::path(os::Native(path));
  return true;
}

// The stores the file lists, and every other line of it, verbatim.
std::vector<AttachedStore> ReadProfileLines(const fs::path& file, std::vector<std::string>* others) {
  std::vector<AttachedStore> stores;
  std::ifstream in(file, std::ios::binary);
  if (!in) return stores;
  std::string line;
  while (std::getline(in, line)) {
    AttachedStore s;
    if (ParseStoreLine(line, s)) stores.push_back(std::move(s));
    else if (others && line != kProfileHeading) others->push_back(line);
  }
  return stores;
}

void WriteProfileFile(const fs::path& file, const std::vector<AttachedStore>& stores,
                      const std::vector<std::string>& others) {
  std::string text = std::string(kProfileHeading) + "\n";
  for (const auto& line : others) text += line + '\n';
  for (const auto& s : stores) {
    text += s.format == StoreFormat::Ansi ? "ansi" : "unicode";
    text += '\t' + Escape(s.displayName) + '\t' + Escape(Utf8Name(s.path)) + '\n';
  }

  auto fail = [&](const std::string& what, int err) {
    throw AutomationError("Cannot save the Outlook profile " + Utf8Name(file) + ": " + what + ": " +
                          std::strerror(err));
  };
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  if (ec) fail("cannot create its folder", ec.value());

  // Written beside the profile and renamed over it, so a crash leaves either
  // the old profile or the new one, never a mix. Only a new file of our own
  // is written: never one a link points to.
  const std::string target = Utf8Name(file);
  const std::string tmp = target + ".tmp-" + std::to_string(os::ProcessId());
  int fd = os::CreateNew(tmp, 0600);
  if (fd < 0 && errno == EEXIST) {
    // Left by a run of the same number that was killed; ours to remove, as
    // writers hold the profile's lock.
    os::Remove(tmp);
    fd = os::CreateNew(tmp, 0600);
  }
  if (fd < 0) fail("cannot create " + tmp, errno);
  if (os::Write(fd, text.data(), text.size()) < 0) {
    int err = errno;
    os::Close(fd);
    os::Remove(tmp);
    fail("cannot write", err);
  }
  int err = os::Flush(fd);
  if (os::Close(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    os::Remove(tmp);
    fail("cannot write", err);
  }
  if (const int e = os::RenameOver(tmp, target)) {
    os::Remove(tmp);
    fail("cannot replace it", e);
  }
}

}  // namespace

std::vector<AttachedStore> LoadProfileFile(const fs::path& file) { return ReadProfileLines(file, nullptr); }

void SaveProfileFile(const fs::path& file, const std::vector<AttachedStore>& stores) {
  std::vector<std::string> others;
  ReadProfileLines(file, &others);
  WriteProfileFile(file, stores, others);
}

void UpdateProfileFile(const fs::path& file, const std::function<void(std::vector<AttachedStore>&)>& change) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  // Other processes (the window and the command-line tool) share the file:
  // read, change and write it under a lock so no one's change is lost.
  const int lock = os::OpenOrCreate(Utf8Name(file) + ".lock", 0600);
  if (lock < 0)
    throw AutomationError("Cannot lock the Outlook profile " + Utf8Name(file) + ": " + std::strerror(errno));
  if (const int err = os::LockExclusive(lock)) {
    os::Close(lock);
    throw AutomationError("Cannot lock the Outlook profile " + Utf8Name(file) + ": " + std::strerror(err));
  }
  try {
    std::vector<std::string> others;
    auto stores = ReadProfileLines(file, &others);
    change(stores);
    WriteProfileFile(file, stores, others);
  } catch (...) {
    os::Close(lock);
    throw;
  }
  os::Close(lock);
}

std::shared_ptr<Profile> Profile::Acquire() {
  std::lock_guard lock(g_profileMutex);
  if (auto live = g_profile.lock()) return live;
  std::shared_ptr<Profile> profile;
  try {
    profile = std::make_shared<Profile>();
  } catch (const AutomationError&) {
    throw;
  } catch (const std::exception& e) {
    throw AutomationError(std::string("Outlook cannot open its profile: ") + e.what());
  }
  g_profile = profile;
  return profile;
}

bool IsUnfinishedExportName(const fs::path& path) {
  const std::string name = Utf8Name(path.filename());
  return name.size() > 13 && name.rfind(".addrivo-", 0) == 0 && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

namespace {

// Lines of stores that an export was still writing when it was killed: the
// file goes (when its process is gone), and with it the line.
void DropUnfinishedLines(const fs::path& profile, std::vector<AttachedStore>& stores) {
  bool any = false;
  for (const auto& s : stores) {
    if (!IsUnfinishedExportName(s.path)) continue;
    const auto folder = s.path.parent_path();
    os::RemoveStaleTemporaries(folder.empty() ? std::string() : Utf8Name(folder) + "/", ".addrivo-", ".tmp");
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(s.path, ec))) any = true;
  }
  if (!any) return;
  auto gone = [](const AttachedStore& s) {
    std::error_code ec;
    return IsUnfinishedExportName(s.path) && !fs::exists(fs::symlink_status(s.path, ec));
  };
  try {
    UpdateProfileFile(profile, [&](std::vector<AttachedStore>& lines) { std::erase_if(lines, gone); });
  } catch (...) {
    // Left for the next start; the lines are not attached here either way.
  }
  std::erase_if(stores, gone);
}

}  // namespace

Profile::Profile() {
  default_ = std::make_shared<StoreEntry>();
  default_->displayName = kNewStoreName;
  default_->model = std::make_unique<pst::Store>(pst::Format::Unicode, kNewStoreName);
  defaultContacts_ = default_->model->AddFolder(default_->model->TopOfPersonalFolders(),
                                                kDefaultContactsName, "IPF.Contact");
  auto stores = ReadProfile();
  DropUnfinishedLines(ProfilePath(), stores);
  for (auto& s : stores) {
    auto entry = std::make_shared<StoreEntry>();
    entry->path = NormalPath(s.path);
    entry->displayName = std::move(s.displayName);
    entry->format = s.format;
    attached_.push_back(std::move(entry));
  }
}

Profile::~Profile() {
  for (auto& [path, entry] : written_) {
    if (!entry->dirty) continue;
    try {
      WriteStore(*entry);
    } catch (...) {
      // Nobody is left to tell; the file keeps what was last written.
    }
  }
}

void Profile::AddStore(const fs::path& rawPath, StoreFormat formatIfNew) {
  if (rawPath.empty()) throw AutomationError("Cannot attach a personal folders file: no file name given.");
  const fs::path path = NormalPath(rawPath);
  std::error_code ec;
  const auto status = fs::status(path, ec);
  for (auto e = attached_.begin(); e != attached_.end(); ++e) {
    if ((*e)->path != path) continue;
    // A line whose file was deleted holds nothing: a new store takes its place.
    if (fs::exists(status) || (*e)->model) return;
    attached_.erase(e);
    break;
  }

  std::shared_ptr<StoreEntry> entry;
  bool created = false;
  if (fs::exists(status)) {
    auto it = written_.find(path);
    if (it == written_.end() && fs::is_regular_file(status)) {
      // Renamed since this session wrote it: the same bytes under a new name.
      const auto size = fs::file_size(path, ec);
      const auto time = fs::last_write_time(path, ec);
      for (auto w = written_.begin(); w != written_.end(); ++w) {
        std::error_code gone;
        if (w->second->fileSize != size || w->second->fileTime != time || fs::exists(fs::symlink_status(w->first, gone)) ||
            std::count(attached_.begin(), attached_.end(), w->second))
          continue;
        auto moved = w->second;
        written_.erase(w);
        moved->path = path;
        it = written_.emplace(path, std::move(moved)).first;
        break;
      }
    }
    if (!fs::is_regular_file(status) || it == written_.end())
      throw AutomationError("Cannot open the personal folders file " + Utf8Name(path) +
                            ": only files this program created in this session can be attached.");
    entry = it->second;
    entry->displayName = entry->model->displayName();
  } else {
    entry = std::make_shared<StoreEntry>();
    entry->path = path;
    entry->displayName = kNewStoreName;
    entry->format = formatIfNew;
    try {
      entry->model = std::make_unique<pst::Store>(ToPst(formatIfNew), kNewStoreName,
                                                  codepage::SystemAnsiCodePage());
    } catch (const std::exception& e) {
      throw AutomationError("Cannot create the personal folders file " + Utf8Name(path) + ": " + e.what());
    }
    WriteStore(*entry);
    written_[path] = entry;
    created = true;
  }

  try {
    UpdateProfileFile(ProfilePath(), [&](std::vector<AttachedStore>& stores) {
      std::erase_if(stores, [&](const AttachedStore& s) { return NormalPath(s.path) == path; });
      stores.push_back({path, entry->displayName, entry->format});
    });
  } catch (...) {
    // Not attached: a file made just now for it would only mislead.
    if (created) {
      written_.erase(path);
      std::error_code removed;
      fs::remove(path, removed);
    }
    throw;
  }
  attached_.push_back(entry);
}

void Profile::RemoveStore(const std::shared_ptr<StoreEntry>& entry) {
  if (entry->IsDefault()) throw AutomationError("The default store " + entry->Describe() + " cannot be removed.");
  auto it = std::find(attached_.begin(), attached_.end(), entry);
  if (it == attached_.end())
    throw AutomationError("The store " + entry->Describe() + " is not attached to the profile.");
  if (entry->model) WriteStore(*entry);
  UpdateProfileFile(ProfilePath(), [&](std::vector<AttachedStore>& stores) {
    std::erase_if(stores, [&](const AttachedStore& s) { return NormalPath(s.path) == entry->path; });
  });
  attached_.erase(it);
}

void Profile::RenameStore(StoreEntry& entry, const std::string& name) {
  if (!entry.model)
    throw AutomationError("The store " + entry.Describe() + " is not open in this session.");
  const std::string old = entry.displayName;
  entry.model->Rename(name);
  entry.displayName = name;
  entry.dirty = true;
  const bool listed = std::any_of(attached_.begin(), attached_.end(),
                                  [&](const auto& e) { return e.get() == &entry; });
  if (!listed) return;
  try {
    UpdateProfileFile(ProfilePath(), [&](std::vector<AttachedStore>& stores) {
      for (auto& s : stores)
        if (NormalPath(s.path) == entry.path) s.displayName = name;
    });
  } catch (...) {
    entry.model->Rename(old);
    entry.displayName = old;
    throw;
  }
}

namespace {
bool HoldsItems(const pst::Store& store, pst::FolderId folder) {
  if (store.ContactCount(folder) > 0 || !store.DistLists(folder).empty()) return true;
  for (pst::FolderId f : store.Subfolders(folder))
    if (HoldsItems(store, f)) return true;
  return false;
}
}  // namespace

void Profile::WriteStore(StoreEntry& entry) {
  if (entry.IsDefault() || !entry.model) return;
  try {
    // Only a file that holds items has anything a power cut could cost
    // while it is replaced: the empty store an export attaches first is
    // replaced as freely as a new file is written.
    entry.model->Write(entry.path, entry.fileHoldsItems);
    entry.fileHoldsItems = HoldsItems(*entry.model, entry.model->RootFolder());
    std::error_code ec;
    entry.fileSize = fs::file_size(entry.path, ec);
    entry.fileTime = fs::last_write_time(entry.path, ec);
  } catch (const std::exception& e) {
    throw AutomationError("Cannot write the personal folders file " + Utf8Name(entry.path) + ": " + e.what());
  }
  entry.dirty = false;
}

}  // namespace detail
}  // namespace outlook
