// The profile behind every Outlook object of the process: the default store,
// the stores attached, and the models of the files this process wrote.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "OutlookStandIn.h"
#include "platform/pst/PstStore.h"

namespace outlook::detail {

struct StoreEntry {
  std::filesystem::path path;  // empty for the default store
  std::string displayName;     // as the profile lists it
  StoreFormat format = StoreFormat::Unicode;
  std::unique_ptr<pst::Store> model;  // null: attached in an earlier run, not open here
  bool dirty = false;                 // changed since last written
  bool fileHoldsItems = false;        // the file as last written holds items
  // The file as last written, to know it again under a new name.
  std::uintmax_t fileSize = 0;
  std::filesystem::file_time_type fileTime{};

  bool IsDefault() const { return path.empty(); }
  std::string Describe() const;  // for messages: the name and the file
};

class Profile {
 public:
  // The process's profile: the live one, or a new one loaded from disk.
  static std::shared_ptr<Profile> Acquire();

  Profile();
  // Writes stores left changed, so nothing saved is lost when the last
  // client lets Outlook go.
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  const std::shared_ptr<StoreEntry>& DefaultStore() const { return default_; }
  pst::FolderId DefaultContacts() const { return defaultContacts_; }
  const std::vector<std::shared_ptr<StoreEntry>>& Attached() const { return attached_; }

  // Attaches path, creating and writing it in the format given when missing.
  // Attaching a store that is attached already does nothing; a line whose
  // file is gone is replaced. A file this session wrote and that was then
  // renamed (same size and time, gone from its old name) is known again.
  void AddStore(const std::filesystem::path& path, StoreFormat formatIfNew);
  // Writes the store's file, then detaches it.
  void RemoveStore(const std::shared_ptr<StoreEntry>& entry);
  void RenameStore(StoreEntry& entry, const std::string& name);
  // Writes a store's file if it has one; engine failures become AutomationError.
  void WriteStore(StoreEntry& entry);

 private:
  std::shared_ptr<StoreEntry> default_;
  pst::FolderId defaultContacts_ = 0;
  std::vector<std::shared_ptr<StoreEntry>> attached_;
  // Files this process wrote, by normalised absolute path, with their models.
  std::map<std::filesystem::path, std::shared_ptr<StoreEntry>> written_;
};

// Reading and writing the profile file. Lines that are not a store's
// (comments, lines of other versions) are kept verbatim by every save.
std::vector<AttachedStore> LoadProfileFile(const std::filesystem::path& file);
void SaveProfileFile(const std::filesystem::path& file, const std::vector<AttachedStore>& stores);
// Reads the file, applies change and writes it back, holding a lock that
// other processes sharing the profile respect.
void UpdateProfileFile(const std::filesystem::path& file,
                       const std::function<void(std::vector<AttachedStore>&)>& change);

// Whether the name is one an unfinished export writes under
// (".addrivo-PID-....tmp"): its line is dropped once the file is gone.
bool IsUnfinishedExportName(const std::filesystem::path& path);

// The path as the profile keys it: absolute and normalised.
std::filesystem::path NormalPath(const std::filesystem::path& path);

}  // namespace outlook::detail
