// The system layer on the system it was built for (under Wine for Windows).
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/os/HalfEven.h"
#include "platform/os/Os.h"
#include "support/TestData.h"

namespace {

std::string Utf8(const std::filesystem::path& p) {
  const auto u = p.u8string();
  return {u.begin(), u.end()};
}

std::string Slurp(const std::string& path) {
  const int fd = os::OpenForReading(path);
  EXPECT_GE(fd, 0) << path;
  if (fd < 0) return {};
  std::string bytes(64, '\0');
  const long long n = os::ReadAt(fd, bytes.data(), bytes.size(), 0);
  os::Close(fd);
  bytes.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return bytes;
}

// Names a user may give: non-Latin letters, and a folder deeper than the
// old 260-character limit of Windows.
class OsNames : public ::testing::TestWithParam<std::string> {};

TEST_P(OsNames, CreatesWritesPatchesRenamesAndReads) {
  testsupport::TempDir dir;
  std::string folder = Utf8(dir.path()) + "/" + GetParam();
  std::filesystem::create_directories(std::filesystem::path(os::Native(folder)));
  const std::string name = folder + "/Адреса.wab";

  const int fd = os::CreateNew(name, 0644);
  ASSERT_GE(fd, 0) << name;
  ASSERT_EQ(os::Write(fd, "abcdef", 6), 6);
  // A positioned write leaves the file position where it was.
  ASSERT_EQ(os::WriteAt(fd, "XY", 2, 2), 2);
  ASSERT_EQ(os::Write(fd, "gh", 2), 2);
  EXPECT_EQ(os::Flush(fd), 0);
  ASSERT_EQ(os::Close(fd), 0);
  EXPECT_EQ(Slurp(name), "abXYefgh");

  os::FileInfo info;
  ASSERT_TRUE(os::StatPath(name, info));
  EXPECT_TRUE(info.regular);
  EXPECT_EQ(info.size, 8u);
  EXPECT_EQ(os::CreateNew(name, 0644), -1);
  EXPECT_EQ(errno, EEXIST);

  std::string temp;
  const int t = os::CreateTemporary(folder + "/.staged-", temp);
  ASSERT_GE(t, 0);
  EXPECT_EQ(temp.rfind(folder + "/.staged-", 0), 0u) << temp;
  ASSERT_EQ(os::Write(t, "new", 3), 3);
  os::Close(t);
  // Never over an existing name; over it when asked.
  EXPECT_EQ(os::RenameNoReplace(temp, name), EEXIST);
  EXPECT_EQ(Slurp(name), "abXYefgh");
  EXPECT_EQ(os::RenameOver(temp, name), 0);
  EXPECT_EQ(Slurp(name), "new");
  EXPECT_FALSE(os::StatPath(temp, info));
  EXPECT_EQ(os::Remove(name), 0);
  EXPECT_FALSE(os::StatPath(name, info));
}

INSTANTIATE_TEST_SUITE_P(Names, OsNames,
                         ::testing::Values("plain", "Łukasz/Kontakty", "日本語",
                                           std::string(120, 'a') + "/" + std::string(120, 'b') + "/" +
                                               std::string(40, 'c')));

TEST(Os, LowerCaseFollowsUnicodeWhateverTheLocale) {
  const std::pair<char32_t, char32_t> rows[] = {
      {U'A', U'a'}, {U'Ł', U'ł'}, {U'Ż', U'ż'}, {U'Д', U'д'}, {U'Ё', U'ё'}, {U'Ω', U'ω'}, {U'ß', U'ß'}, {U'太', U'太'}};
  for (const auto& [upper, lower] : rows) EXPECT_EQ(os::ToLower(upper), lower) << static_cast<unsigned>(upper);
}

TEST(Os, LocksAndReadsTheBookBack) {
  testsupport::TempDir dir;
  const std::string name = Utf8(dir.path()) + "/profile.lock";
  const int fd = os::OpenOrCreate(name, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(os::LockExclusive(fd), 0);
  EXPECT_EQ(os::Close(fd), 0);

  // Mapped where the system can, read elsewhere: the same bytes either way.
  testsupport::WriteFile(dir / "book", std::string(10000, 'w'));
  const int book = os::OpenForReading(Utf8(dir / "book"));
  ASSERT_GE(book, 0);
  const os::FileMap map = os::FileMap::Map(book, 10000);
  if (map.Valid()) {
    EXPECT_EQ(std::string(map.data(), map.size()), std::string(10000, 'w'));
    EXPECT_TRUE(map.Intact());
  }
  os::Close(book);
}

}  // namespace

namespace {

// Only a file a finished process left, with our name's shape, goes.
TEST(Os, RemovesOnlyTheTemporariesOfProcessesThatAreGone) {
  testsupport::TempDir dir;
  const std::string folder = Utf8(dir.path()) + "/";
  const std::string own = ".addrivo-" + std::to_string(os::ProcessId()) + "-1.tmp";
  const struct {
    std::string name;
    bool stays;
  } rows[] = {
      {".addrivo-4194303-7.tmp", false},  // no process has that number
      {own, true},                        // ours, still being written
      {".addrivo-4194303-7.txt", true},   // another suffix
      {"addrivo-4194303-7.tmp", true},    // another prefix
      {".addrivo-x1-7.tmp", true},        // no process number
      {".addrivo--7.tmp", true},
      {"book.xls", true},
  };
  for (const auto& r : rows) testsupport::WriteFile(dir / r.name, "x");
  os::RemoveStaleTemporaries(folder, ".addrivo-", ".tmp");
  os::FileInfo info;
  for (const auto& r : rows) EXPECT_EQ(os::StatPath(folder + r.name, info), r.stays) << r.name;
}

TEST(Os, NamesAConfigurationFolderOfTheUsersOwn) {
  const std::string folder = os::ConfigFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::path(os::Native(folder)).is_absolute()) << folder;
}

}  // namespace

TEST(Os, HundredthRoundsHalvesToEven) {
  EXPECT_EQ(os::HundredthRoundedHalfEven(0), 0);
  EXPECT_EQ(os::HundredthRoundedHalfEven(50), 0);
  EXPECT_EQ(os::HundredthRoundedHalfEven(51), 1);
  EXPECT_EQ(os::HundredthRoundedHalfEven(149), 1);
  EXPECT_EQ(os::HundredthRoundedHalfEven(150), 2);
  EXPECT_EQ(os::HundredthRoundedHalfEven(250), 2);
  EXPECT_EQ(os::HundredthRoundedHalfEven(350), 4);
  EXPECT_EQ(os::HundredthRoundedHalfEven(32766), 328);
  EXPECT_EQ(os::HundredthRoundedHalfEven(2147483647), 21474836);
}
