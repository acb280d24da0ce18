// Where the exports of the whole book (vCard, CSV, .xlsx) decide about an
// existing file, write under a temporary name, put the result in place and
// say what could not travel. Kept in this one place so the dialog and the
// command-line tool behave alike. Plain C++, no Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace exports {

// Asked when the output file exists already: true replaces it. An empty
// function refuses, as the command-line tool does without --force.
using ReplaceConsent = std::function<bool(const std::string& path)>;

// An output file that appears under its name only when finished. The bytes
// go to a new temporary file in the same folder; Commit() renames it over
// the target. A failure or an abandoned file leaves nothing behind, and a
// file the user has is replaced only with consent.
class StagedOutput {
 public:
  StagedOutput() = default;
  ~StagedOutput() { Abandon(); }
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  // Asks consent when target exists, then creates the temporary file.
  // Returns "" or what went wrong ("... already exists", no folder, ...).
  std::string Begin(const std::string& target, const ReplaceConsent& consent);

  const std::string& tempPath() const { return temp_; }

  // Appends bytes to the temporary file; the first failure is kept and
  // returned by Commit().
  void Write(const std::string& bytes);

  // Puts the file in place: "" or what went wrong (the temporary file is
  // then gone and the target as it was). A file that appeared under the
  // target name meanwhile is never replaced without consent.
  std::string Commit();

  // Removes the temporary file.
  void Abandon();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool replacing_ = false;
  int error_ = 0;
};

// What could not travel into a format, counted over the whole book. The
// completion message names every count that is not zero.
struct ExportLosses {
  std::int32_t emailsInNotes = 0;    // addresses beyond the layout's slots, moved into the notes
  std::int32_t valuesInNotes = 0;    // values without a column of their own, moved into the notes
  std::int32_t missingMembers = 0;   // group members naming records no longer in the book
  std::int32_t addressMembers = 0;   // group members that are bare addresses, with no place in the format
  std::int32_t nestedGroups = 0;     // groups listed inside groups, where the format has no such thing
  std::int32_t shortenedValues = 0;  // values longer than the format holds, shortened

  // One sentence per count that is not zero.
  std::vector<std::string> Lines() const;
};

}  // namespace exports
