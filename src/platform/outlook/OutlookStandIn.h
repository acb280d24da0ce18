// Our Outlook: answers the automation members the exports call
// (automation/Outlook.h) and keeps its stores as real .pst files through the
// pst engine. No Qt.
//
// Behaviour callers may rely on:
// - Every application object of one process shares one profile. The profile
//   lives while any Outlook object does, as Outlook itself runs while a client
//   holds it; the list of attached stores (path, display name, format) is kept
//   in $XDG_CONFIG_HOME/addrivo/outlook-profile (~/.config when unset),
//   rewritten atomically on every change; its other lines are kept.
// - The default store and its default contacts folder live in memory only.
// - AddStore creates a missing file in the Unicode format; AddStoreEx takes
//   1 (default, Unicode), 2 (Unicode) or 3 (ANSI, in the system's ANSI code
//   page). An existing file can be attached only when this process wrote it
//   (the engine writes .pst files, it does not read them).
// - RemoveStore and MoveTo write the stores they touch.
// - Every failure is an automation::AutomationError saying what and which file.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/Outlook.h"

namespace outlook {

// Outside the older family ("9.", "10.") that the exports test for.
inline constexpr const char* kVersion = "16.0.0.0";
// What a store is called before anybody renames it.
inline constexpr const char* kNewStoreName = "Personal Folders";
// The default store's default contacts folder.
inline constexpr const char* kDefaultContactsName = "Contacts";

// Registers the stand-in under "Outlook.Application".
void RegisterComponent();

// A new application object on the process's profile.
std::shared_ptr<automation::outlook::Application> NewApplication();

enum class StoreFormat { Ansi, Unicode };

struct AttachedStore {
  std::filesystem::path path;
  std::string displayName;
  StoreFormat format = StoreFormat::Unicode;
};

// Where the profile is kept, from the environment at the time of the call.
// Throws AutomationError when neither $XDG_CONFIG_HOME nor a home folder is
// known: the profile never goes to a shared folder.
std::filesystem::path ProfilePath();

// The stores the saved profile lists, in the order attached. A missing file
// is an empty profile; lines that cannot be read are skipped.
std::vector<AttachedStore> ReadProfile();

}  // namespace outlook
