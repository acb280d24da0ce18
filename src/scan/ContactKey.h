// The key of a contact's tree node and the group it joins. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace scan {

// The contact's 0-based index, then the local time as "d-m-YY-hh-mm-ss"
// (day and month without leading zeros, 24-hour clock), with nothing between:
// index 12 at 14:05:09 on 6 March 2008 gives "126-3-08-14-05-09".
std::string ContactKey(std::int32_t index, const std::tm& when);

// The key of contact `index` read now. The date text is worked out once per
// second of the clock: converting to local time asks the system for the time
// zone each time, which would cost more than the rest of the scan.
class ContactKeyClock {
 public:
  std::string KeyNow(std::int32_t index);

 private:
  std::time_t second_ = -1;
  std::string dateText_;
};

// Removes leading and trailing spaces (U+0020) only; tabs and other white
// space stay, as they do in the names the reader returns. The one trimming
// of the program: book paths and names alike.
std::string TrimSpaces(const std::string& text);

// The text a contact's node shows: its name without surrounding spaces.
inline std::string DisplayText(const std::string& name) { return TrimSpaces(name); }

// The group a contact joins, from its untrimmed name: the initial of the
// trimmed name when it is a Latin letter, of either case, with any accent
// dropped (é joins "E"); "Other" for everything else, including names that
// are empty or spaces only.
std::string GroupKeyFor(const std::string& name);

}  // namespace scan
