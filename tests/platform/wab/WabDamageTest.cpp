// Bad input: files that are missing, unreadable or not address books, and
// books with damaged parts. The reader must fail with a clear message or
// skip what is damaged, and never crash, hang or read out of bounds (the
// asan preset runs these under AddressSanitizer).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabReader.h"
#include "support/LittleEndian.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

namespace {

using automation::kNotAnAddressBook;
using automation::kReaderFieldKeys;
using namespace testsupport::wab;

using testsupport::le::Get32;
void Put32(std::string& b, std::size_t at, std::uint32_t v) { testsupport::le::Set32(b, at, v); }

std::string OpenError(const std::string& path) {
  wab::WabReader r(1252);
  try {
    r.Open(path);
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(r.GetCount(), 0);
    return e.what();
  }
  return "(opened)";
}

std::string BytesError(std::string bytes) {
  wab::WabReader r(1252);
  try {
    r.OpenBytes(std::move(bytes), "x");
  } catch (const automation::AutomationError& e) {
    EXPECT_EQ(r.GetCount(), 0);
    return e.what();
  }
  return "(opened)";
}

// Reads every field of every contact; returns the names in order.
std::vector<std::string> ReadAll(wab::WabReader& r) {
  std::vector<std::string> names;
  for (int i = 0; i < r.GetCount(); ++i) {
    r.Select(i);
    for (auto k : kReaderFieldKeys) (void)r.GetValue(std::string(k));
    names.push_back(r.GetValue("Name"));
  }
  return names;
}

// Five contacts in a book with small tables, so damage tests stay quick.
Book FiveContacts() {
  Book book;
  book.capacity = 8;
  const char* names[] = {"Ann", "Bob", "Cyd", "Dee", "Eve"};
  for (std::uint32_t i = 0; i < 5; ++i)
    book.records.push_back(Contact(2 + i, {Unicode(kGivenName, names[i]), Unicode(kSurname, "Family"),
                                           MvUnicode(kEmailAddresses, {"x@y", "z@w"}),
                                           Long(kDefaultAddressIndex, 1), Unicode(kComment, "note")}));
  return book;
}

TEST(WabDamage, FilesThatCannotBeReadNameTheFileAndTheCause) {
  testsupport::TempDir dir;
  const std::string missing = (dir / "missing.wab").string();
  std::string e = OpenError(missing);
  EXPECT_NE(e.find(missing), std::string::npos) << e;
  EXPECT_NE(e.find("No such file or directory"), std::string::npos) << e;

  e = OpenError(dir.path().string());
  EXPECT_NE(e.find(dir.path().string()), std::string::npos) << e;
  EXPECT_NE(e.find("Is a directory"), std::string::npos) << e;

  // A named pipe must be refused, not waited on.
  const std::string fifo = (dir / "pipe.wab").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  e = OpenError(fifo);
  EXPECT_NE(e.find(fifo), std::string::npos) << e;
  EXPECT_NE(e.find("not a regular file"), std::string::npos) << e;

  const std::string locked = (dir / "locked.wab").string();
  WriteBookFile(locked, FiveContacts());
  chmod(locked.c_str(), 0);
  if (geteuid() != 0) {  // root reads anything
    e = OpenError(locked);
    EXPECT_NE(e.find(locked), std::string::npos) << e;
    EXPECT_NE(e.find("Permission denied"), std::string::npos) << e;
  }
}

TEST(WabDamage, FilesThatAreNotAddressBooksGetTheFixedMessage) {
  testsupport::TempDir dir;
  const std::string good = WriteBook(FiveContacts());
  std::vector<std::pair<std::string, std::string>> cases{
      {"empty", ""},
      {"text", "name,email\nAnn,ann@example.com\n"},
      {"signature only", good.substr(0, 16)},
      {"header cut short", good.substr(0, 0x93)},
  };
  std::string wrongMagic = good;
  wrongMagic[3] ^= 0x01;
  cases.emplace_back("one signature bit wrong", wrongMagic);
  for (auto& [what, bytes] : cases) {
    testsupport::WriteFile(dir / "f.wab", bytes);
    EXPECT_EQ(OpenError((dir / "f.wab").string()), kNotAnAddressBook) << what;
  }
}

TEST(WabDamage, ALargeFileThatIsNotABookIsRefusedWithoutReadingIt) {
  testsupport::TempDir dir;
  const auto big = dir / "video.wab";
  testsupport::WriteFile(big, "RIFF....AVI LIST");
  std::filesystem::resize_file(big, 2ull << 30);  // sparse: no disk used
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  EXPECT_EQ(OpenError(big.string()), kNotAnAddressBook);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB of peak memory grew";
}

TEST(WabDamage, ABookLargerThanAnyRealOneIsRefusedWithItsSizeWithoutReadingIt) {
  testsupport::TempDir dir;
  const auto big = dir / "huge.wab";
  testsupport::WriteFile(big, WriteBook(FiveContacts()));
  std::filesystem::resize_file(big, wab::kMaxBookSize + 1);  // sparse: no disk used
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const std::string e = OpenError(big.string());
  getrusage(RUSAGE_SELF, &after);
  EXPECT_NE(e.find(big.string()), std::string::npos) << e;
  EXPECT_NE(e.find("1024 MiB, larger than an address book can be"), std::string::npos) << e;
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB of peak memory grew";
}

// A book opened from its file is mapped, not copied: a file cut short while
// the reader holds it must end the pass with a message naming the file, at
// any point of the cut, and never with a crash.
TEST(WabDamage, ABookCutShortWhileItIsReadFailsWithAMessage) {
  testsupport::TempDir dir;
  const auto original = dir / "original.wab";
  testsupport::WriteGeneratedBook(original, 1500);  // some 2 MB: many pages
  const std::uintmax_t size = std::filesystem::file_size(original);
  const std::pair<const char*, std::uintmax_t> cuts[] = {
      {"to its header", 0x94}, {"to half", size / 2}, {"by a quarter", size * 3 / 4}};
  for (const auto& [what, keep] : cuts) {
    const auto path = dir / "cut.wab";
    std::filesystem::copy_file(original, path, std::filesystem::copy_options::overwrite_existing);
    wab::WabReader r(1252);
    r.Open(path.string());
    const int count = r.GetCount();
    ASSERT_EQ(count, 1500);
    std::filesystem::resize_file(path, keep);
    int read = 0;
    std::string error;
    try {
      for (; read < count; ++read) {
        r.Select(read);
        for (auto k : kReaderFieldKeys) (void)r.GetValue(std::string(k));
      }
    } catch (const automation::AutomationError& e) {
      error = e.what();
    }
    EXPECT_LT(read, count) << what;
    EXPECT_NE(error.find("cut short"), std::string::npos) << what << ": " << error;
    EXPECT_NE(error.find(path.string()), std::string::npos) << what << ": " << error;
  }
}

// Books stay mapped while their readers live; past the maps the SIGBUS guard
// can watch, further books are read into memory and read the same.
TEST(WabDamage, ManyBooksOpenAtOnceAllRead) {
  testsupport::TempDir dir;
  const auto path = dir / "five.wab";
  WriteBookFile(path, FiveContacts());
  std::vector<std::unique_ptr<wab::WabReader>> readers;
  for (int i = 0; i < 100; ++i) {
    readers.push_back(std::make_unique<wab::WabReader>(1252));
    readers.back()->Open(path.string());
  }
  for (auto& r : readers) ASSERT_EQ(ReadAll(*r), (std::vector<std::string>{"Ann", "Bob", "Cyd", "Dee", "Eve"}));
}

TEST(WabDamage, ImpossibleTablesAreNotAnAddressBook) {
  const std::string good = WriteBook(FiveContacts());
  const std::size_t size = good.size();
  struct Case {
    const char* what;
    int table;
    int field;  // 0 allocated, 1 used, 2 offset, 3 count
    std::uint32_t value;
  };
  const Case cases[] = {
      {"index used size disagrees with its count", 0, 1, 4 * 8},
      {"index count disagrees with its used size", 0, 3, 6},
      {"index larger than its room", 0, 0, 5 * 8 - 1},
      {"index outside the file", 0, 2, static_cast<std::uint32_t>(size - 8)},
      {"index offset wraps around", 0, 2, 0xFFFFFFF0u},
      {"index inside the header", 0, 2, 0x10},
      {"huge index count", 0, 3, 0x40000000},
      {"text table size disagrees", 3, 1, 68 * 5 + 1},
      {"text table outside the file", 5, 0, static_cast<std::uint32_t>(size)},
  };
  for (const auto& c : cases) {
    std::string bad = good;
    Put32(bad, kDescriptorOffset + 16 * c.table + 4 * c.field, c.value);
    EXPECT_EQ(BytesError(bad), kNotAnAddressBook) << c.what;
  }
}

TEST(WabDamage, DamagedRecordsAreSkippedAndCounted) {
  Layout layout;
  const std::string good = WriteBook(FiveContacts(), &layout);
  const std::uint32_t bob = layout.recordOffsets[1];
  const std::uint32_t bobValues = bob + 0x20 + 4 * Get32(good, bob + 12);
  const std::uint32_t indexAt = layout.tableOffsets[0];
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* why;  // the reason the skipped record is listed with
  };
  const Case cases[] = {
      {"header size word", [&](std::string& b) { Put32(b, bob + 16, 0x24); }, "bad record header size"},
      {"tag list sizes disagree", [&](std::string& b) { Put32(b, bob + 24, Get32(b, bob + 24) + 4); }, "tag list sizes disagree"},
      {"property count too large", [&](std::string& b) { Put32(b, bob + 12, 0x3FFFFFFF); }, "tag list size"},
      {"value area past the end", [&](std::string& b) { Put32(b, bob + 28, 0xFFFFFFF0u); }, "record runs past the end of the file"},
      // A consistent tag list with far more tags than the value area has room for.
      {"more properties than values", [&](std::string& b) {
         const std::uint32_t n = Get32(b, bob + 12) + 16;
         Put32(b, bob + 12, n);
         Put32(b, bob + 20, 4 * n);
         Put32(b, bob + 24, 4 * n);
         Put32(b, bob + 28, 8);
       }, "more properties than the value area holds"},
      {"value area one byte short", [&](std::string& b) { Put32(b, bob + 28, Get32(b, bob + 28) - 1); }, "value outside the record"},
      // Longer than its values: it would swallow the next record's header.
      {"value area longer than its values", [&](std::string& b) { Put32(b, bob + 28, Get32(b, bob + 28) + 4); }, "value area length does not match its values"},
      {"value does not repeat its tag", [&](std::string& b) { b[bobValues] ^= 0x01; }, "value tag does not repeat the tag list"},
      {"string length past the record", [&](std::string& b) { Put32(b, bobValues + 4, 0x7FFFFFFF); }, "value outside the record"},
      {"string length one too long", [&](std::string& b) { Put32(b, bobValues + 4, Get32(b, bobValues + 4) + 1); }, "value tag does not repeat the tag list"},
      {"copy marked obsolete", [&](std::string& b) { Put32(b, bob, 0); }, "the copy it points at is marked obsolete"},
      {"record ID differs from the index", [&](std::string& b) { Put32(b, bob + 8, 99); }, "the record there has another record ID"},
      {"index points past the end", [&](std::string& b) { Put32(b, indexAt + 8 + 4, static_cast<std::uint32_t>(b.size() - 8)); }, "record header outside the file"},
      {"index points into the middle of a record", [&](std::string& b) { Put32(b, indexAt + 8 + 4, bob + 4); }, "the record there has another record ID"},
      {"index repeats a record ID", [&](std::string& b) { Put32(b, indexAt + 8, 2); }, "its record ID is listed earlier in the index"},
  };
  for (const auto& c : cases) {
    std::string bad = good;
    c.damage(bad);
    wab::WabReader r(1252);
    ASSERT_NO_THROW(r.OpenBytes(bad, "x")) << c.what;
    EXPECT_EQ(r.SkippedRecords(), 1) << c.what;
    const auto& skipped = r.File()->SkippedList();
    ASSERT_EQ(skipped.size(), 1u) << c.what;
    EXPECT_EQ(skipped[0].why, c.why) << c.what;
    EXPECT_EQ(skipped[0].recordId, std::string(c.what) == "index repeats a record ID" ? 2u : 3u) << c.what;
    EXPECT_EQ(ReadAll(r), (std::vector<std::string>{"Ann", "Cyd", "Dee", "Eve"})) << c.what;
  }
}

TEST(WabDamage, DamagedListsAreSkipped) {
  Book book = FiveContacts();
  Layout layout;
  const std::string good = WriteBook(book, &layout);
  // Find Cyd's e-mail list by its tag in the value area.
  const std::uint32_t cyd = layout.recordOffsets[2];
  const std::string listTag = std::string("\x1F\x10\x56\x3A", 4);
  const std::size_t list = good.find(listTag, cyd + 0x20 + 4 * Get32(good, cyd + 12));
  ASSERT_NE(list, std::string::npos);
  const std::function<void(std::string&)> damages[] = {
      [&](std::string& b) { Put32(b, list + 4, 3); },                          // more elements than stored
      [&](std::string& b) { Put32(b, list + 4, 1); },                          // fewer elements than stored
      [&](std::string& b) { Put32(b, list + 4, 0x40000000); },                 // absurd element count
      [&](std::string& b) { Put32(b, list + 8, Get32(b, list + 8) + 2); },     // total too long
      [&](std::string& b) { Put32(b, list + 8, Get32(b, list + 8) - 2); },     // total too short
      [&](std::string& b) { Put32(b, list + 12, 0xFFFFFFFF); },                // element length wraps
  };
  for (const auto& damage : damages) {
    std::string bad = good;
    damage(bad);
    wab::WabReader r(1252);
    r.OpenBytes(bad, "x");
    EXPECT_EQ(r.SkippedRecords(), 1);
    EXPECT_EQ(ReadAll(r), (std::vector<std::string>{"Ann", "Bob", "Dee", "Eve"}));
  }
}

TEST(WabDamage, ARecordIdListedTwiceIsReadOnce) {
  // Two copies of record 2 both claim to be current: the index lists the
  // ID twice, each entry at its own sound copy. The first one wins.
  Book book = FiveContacts();
  book.records.push_back(Contact(2, {Unicode(kGivenName, "Ann again")}));
  wab::WabReader r(1252);
  r.OpenBytes(WriteBook(book), "x");
  EXPECT_EQ(ReadAll(r), (std::vector<std::string>{"Ann", "Bob", "Cyd", "Dee", "Eve"}));
  EXPECT_EQ(r.SkippedRecords(), 1);
}

TEST(WabDamage, RecordsSharingBytesAreReadOnce) {
  // A sound record hidden inside another record's value, listed in the
  // index too, and thousands of index entries naming other IDs at one
  // record: each record is read once and the rest is skipped.
  Book tiny;
  tiny.capacity = 1;
  tiny.records.push_back(Contact(8, {Unicode(kGivenName, "Inner")}));
  Layout tinyLayout;
  const std::string inner = WriteBook(tiny, &tinyLayout).substr(tinyLayout.recordOffsets[0]);
  Book book = FiveContacts();
  book.capacity = 5000;
  book.records.push_back(Contact(7, {Unicode(kGivenName, "Outer"), Raw(Tag(0x6001, 0x0102), inner)}));
  Layout layout;
  std::string b = WriteBook(book, &layout);
  const std::uint32_t index = layout.tableOffsets[0];
  const std::size_t innerAt = b.find(inner, layout.recordOffsets[5] + 0x20);
  ASSERT_NE(innerAt, std::string::npos);
  Put32(b, kDescriptorOffset + 4, 4000 * 8);
  Put32(b, kDescriptorOffset + 12, 4000);
  Put32(b, index + 8 * 6, 8);
  Put32(b, index + 8 * 6 + 4, static_cast<std::uint32_t>(innerAt));
  for (std::uint32_t i = 7; i < 4000; ++i) {
    Put32(b, index + 8 * i, 1000 + i);
    Put32(b, index + 8 * i + 4, layout.recordOffsets[4]);
  }
  wab::WabReader r(1252);
  r.OpenBytes(b, "x");
  EXPECT_EQ(ReadAll(r), (std::vector<std::string>{"Ann", "Bob", "Cyd", "Dee", "Eve", "Outer"}));
  EXPECT_EQ(r.SkippedRecords(), 1 + 3993);
  // Reasons are kept for the first entries in index order only: the
  // overlap, found last, still comes first.
  const auto& skipped = r.File()->SkippedList();
  ASSERT_EQ(skipped.size(), wab::WabFile::kKeptSkips);
  EXPECT_EQ(skipped[0].recordId, 8u);
  EXPECT_EQ(skipped[0].why, "it shares bytes with a record before it");
  EXPECT_EQ(skipped.back().recordId, 1000u + 6 + wab::WabFile::kKeptSkips - 1);
}

TEST(WabDamage, EveryTruncationOfASmallBookIsSafe) {
  const std::string good = WriteBook(FiveContacts());
  const std::vector<std::string> all{"Ann", "Bob", "Cyd", "Dee", "Eve"};
  for (std::size_t len = 0; len < good.size(); ++len) {
    wab::WabReader r(1252);
    try {
      r.OpenBytes(good.substr(0, len), "x");
    } catch (const automation::AutomationError& e) {
      ASSERT_EQ(std::string(e.what()), kNotAnAddressBook) << len;
      continue;
    }
    // Whatever survives is an unharmed prefix of the contacts.
    const auto names = ReadAll(r);
    ASSERT_EQ(names.size() + static_cast<std::size_t>(r.SkippedRecords()), all.size()) << len;
    ASSERT_EQ(names, std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(names.size()))) << len;
  }
}

TEST(WabDamage, EveryByteOfASmallBookCanBeWrong) {
  // Each byte in turn replaced by values that break lengths, flags and
  // tags; ASan/UBSan watch for out-of-bounds reads and overflow.
  Book book = FiveContacts();
  book.records.push_back(Group(20, "G", {2, 3}));
  book.records.push_back(Obsolete(Contact(21, {String8(kGivenName, "Old")})));
  const std::string good = WriteBook(book);
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (unsigned char v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
      if (static_cast<unsigned char>(good[at]) == v) continue;
      std::string bad = good;
      bad[at] = static_cast<char>(v);
      wab::WabReader r(1252);
      try {
        r.OpenBytes(std::move(bad), "x");
      } catch (const automation::AutomationError& e) {
        ASSERT_EQ(std::string(e.what()), kNotAnAddressBook) << at;
        continue;
      }
      ASSERT_LE(r.GetCount(), 6) << at;  // the group may turn into a contact
      ReadAll(r);
    }
  }
}

TEST(WabDamage, CutsOfTheRealBookAreSafe) {
  const std::string real = testsupport::ReadFile(testsupport::TestDataPath("wab/HiraokaTaro.WAB"));
  for (std::size_t len = 0x2B054; len <= real.size(); len += 61) {
    wab::WabReader r(1252);
    r.OpenBytes(real.substr(0, len), "x");
    EXPECT_LE(r.GetCount(), 4) << len;
    EXPECT_LE(r.GetCount() + r.SkippedRecords(), 10) << len;
    ReadAll(r);
  }
}

}  // namespace
