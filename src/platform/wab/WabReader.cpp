#include "WabReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "platform/codepage/CodePage.h"

namespace wab {
namespace {

constexpr std::size_t kNameField = 0;
constexpr std::size_t kSurnameField = 2;
constexpr std::size_t kEmailField = 3;
constexpr std::uint16_t kDisplayName = 0x3001;
constexpr std::uint16_t kEmailList = 0x3A56;
constexpr std::uint16_t kDefaultEmailIndex = 0x3A55;
constexpr std::uint16_t kHomeCountryId = 0x3A5A;

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { ::close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

[[noreturn]] void FailOn(const char* what, const std::string& path, int err) {
  throw automation::AutomationError(std::string(what) + " \"" + path + "\": " + std::strerror(err));
}

// The whole file, or AutomationError naming the file and the cause.
std::string ReadWholeFile(const std::string& path) {
  // O_NONBLOCK keeps a named pipe from blocking the open; it is refused below.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) FailOn("Cannot open the address book", path, errno);
  FileCloser closer(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) FailOn("Cannot open the address book", path, errno);
  if (S_ISDIR(st.st_mode)) FailOn("Cannot open the address book", path, EISDIR);
  if (!S_ISREG(st.st_mode))
    throw automation::AutomationError("Cannot open the address book \"" + path +
                                      "\": not a regular file");
  // Offsets inside a book are 32-bit; a larger file cannot be one, and
  // refusing it here keeps memory bounded.
  constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
  if (static_cast<std::uint64_t>(st.st_size) > kLimit)
    throw automation::AutomationError(automation::kNotAnAddressBook);
  // Look at the signature before reading everything, so opening some large
  // file that is not an address book costs no memory.
  char head[16];
  std::size_t got = 0;
  while (got < sizeof head) {
    ssize_t n = ::pread(fd, head + got, sizeof head - got, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      FailOn("Cannot read the address book", path, errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof head || (std::memcmp(head, kSignature.data(), sizeof head) != 0 &&
                            std::memcmp(head, kOldSignature.data(), sizeof head) != 0))
    throw automation::AutomationError(automation::kNotAnAddressBook);

  std::string bytes;
  // One byte more than the file holds, so the end is seen without growing.
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      // The file may have grown since fstat; read on in small steps.
      if (bytes.size() >= kLimit) throw automation::AutomationError(automation::kNotAnAddressBook);
      bytes.resize(bytes.size() + 65536);
    }
    ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      FailOn("Cannot read the address book", path, errno);
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  return bytes;
}

bool IsEmptyText(std::string_view bytes, bool unicode) {
  if (unicode) return bytes.size() < 2 || (bytes[0] == 0 && bytes[1] == 0);
  return bytes.empty() || bytes[0] == 0;
}

bool IsUnicodeType(std::uint16_t type) {
  return (type & ~kMultiValued) == kTypeUnicode;
}

// Field slot of each property ID a field comes from, so Select finds a
// property's field with one look-up instead of a scan of kFieldSources.
// Every source ID lies in 0x3000..0x3AFF: the table covers that block.
constexpr std::uint16_t kSourceBase = 0x3000;
constexpr std::size_t kSourceSpan = 0xB00;
constexpr std::int8_t kNoField = -1;

constexpr std::array<std::int8_t, kSourceSpan> MakeFieldOfId() {
  std::array<std::int8_t, kSourceSpan> t{};
  for (auto& v : t) v = kNoField;
  for (std::size_t k = 0; k < kFieldSources.size(); ++k) {
    const std::size_t at = static_cast<std::size_t>(kFieldSources[k] - kSourceBase);
    if (t[at] == kNoField) t[at] = static_cast<std::int8_t>(k);
  }
  return t;
}
constexpr auto kFieldOfId = MakeFieldOfId();

constexpr bool SourcesFitTable() {
  for (auto id : kFieldSources)
    if (id < kSourceBase || static_cast<std::size_t>(id - kSourceBase) >= kSourceSpan) return false;
  // Two fields from one ID would need more than one slot per ID.
  for (std::size_t a = 0; a < kFieldSources.size(); ++a)
    for (std::size_t b = a + 1; b < kFieldSources.size(); ++b)
      if (kFieldSources[a] == kFieldSources[b]) return false;
  return true;
}
static_assert(SourcesFitTable(), "field source IDs must be distinct and inside the look-up table");

int FieldOfId(std::uint16_t id) {
  const std::size_t at = static_cast<std::size_t>(id) - kSourceBase;  // wraps for IDs below the base
  return at < kSourceSpan ? kFieldOfId[at] : kNoField;
}

// Reader keys by a hash of length, first and last character that is
// collision-free over kReaderFieldKeys (checked below); a hit is then
// confirmed by a full compare, so any other key still finds nothing.
constexpr std::size_t kKeySlots = 64;

constexpr std::size_t KeySlot(std::string_view key) {
  return (key.size() + static_cast<unsigned char>(key.front()) +
          12u * static_cast<unsigned char>(key.back())) %
         kKeySlots;
}

constexpr std::array<std::int8_t, kKeySlots> MakeKeyTable() {
  std::array<std::int8_t, kKeySlots> t{};
  for (auto& v : t) v = kNoField;
  for (std::size_t k = 0; k < automation::kReaderFieldKeys.size(); ++k)
    t[KeySlot(automation::kReaderFieldKeys[k])] = static_cast<std::int8_t>(k);
  return t;
}
constexpr auto kKeyTable = MakeKeyTable();

constexpr bool KeyHashIsPerfect() {
  for (std::size_t k = 0; k < automation::kReaderFieldKeys.size(); ++k)
    if (kKeyTable[KeySlot(automation::kReaderFieldKeys[k])] != static_cast<std::int8_t>(k)) return false;
  return true;
}
static_assert(KeyHashIsPerfect(), "two reader keys share a hash slot; change the hash");

int FieldOfKey(std::string_view key) {
  if (key.empty()) return kNoField;
  const int k = kKeyTable[KeySlot(key)];
  if (k == kNoField || automation::kReaderFieldKeys[static_cast<std::size_t>(k)] != key) return kNoField;
  return k;
}

}  // namespace

WabReader::WabReader() : WabReader(codepage::SystemAnsiCodePage()) {}

WabReader::WabReader(int codePage) : codePage_(codePage) {}

void WabReader::Reset() {
  file_.reset();
  contacts_.clear();
  contacts_.shrink_to_fit();
  selected_ = false;
  record_.properties.clear();
  fields_ = {};
  homeCountry_ = {};
}

WabFile OpenBookFile(const std::string& path) {
  try {
    return WabFile::Parse(ReadWholeFile(path));
  } catch (const NotAnAddressBook&) {
    throw automation::AutomationError(automation::kNotAnAddressBook);
  } catch (const std::bad_alloc&) {
    throw automation::AutomationError("Not enough memory to read the address book \"" + path + "\"");
  }
}

void WabReader::Open(const std::string& path) {
  Reset();
  try {
    file_.emplace(OpenBookFile(path));
  } catch (...) {
    Reset();
    throw;
  }
  FindContacts();
}

void WabReader::OpenBytes(std::string bytes, const std::string& /*name*/) {
  Reset();
  try {
    file_.emplace(WabFile::Parse(std::move(bytes)));
  } catch (const NotAnAddressBook&) {
    Reset();
    throw automation::AutomationError(automation::kNotAnAddressBook);
  }
  FindContacts();
}

void WabReader::FindContacts() {
  for (const auto& r : file_->Records())
    if (r.kind == static_cast<std::uint32_t>(RecordKind::Contact)) contacts_.push_back(r.offset);
}

std::int32_t WabReader::GetCount() {
  return static_cast<std::int32_t>(contacts_.size());
}

std::int32_t WabReader::SkippedRecords() const {
  return file_ ? static_cast<std::int32_t>(file_->Skipped()) : 0;
}

void WabReader::Select(std::int32_t index) {
  selected_ = false;
  fields_ = {};
  homeCountry_ = {};
  if (index < 0 || static_cast<std::size_t>(index) >= contacts_.size())
    throw automation::AutomationError("Select: no contact " + std::to_string(index) + " (the book has " +
                                      std::to_string(contacts_.size()) + ")");
  selected_ = true;
  if (!file_->ReadRecord(contacts_[static_cast<std::size_t>(index)], record_)) return;  // checked by Open

  // One pass: the first text property with each field's ID wins.
  Text display;
  const Property* list = nullptr;
  std::optional<std::uint32_t> defaultIndex;
  for (const auto& p : record_.properties) {
    const std::uint16_t id = p.id();
    if (IsText(p)) {
      const Text t{p.data, IsUnicodeType(p.type()), true};
      if (id == kDisplayName) {
        if (!display.present) display = t;
        continue;
      }
      if (id == kHomeCountryId) {
        if (!homeCountry_.present) homeCountry_ = t;
        continue;
      }
      const int k = FieldOfId(id);
      if (k != kNoField && !fields_[static_cast<std::size_t>(k)].present) fields_[static_cast<std::size_t>(k)] = t;
    } else if (id == kEmailList && IsTextList(p)) {
      if (!list) list = &p;
    } else if (id == kDefaultEmailIndex && p.type() == kTypeLong && p.data.size() == 4 && !defaultIndex) {
      const auto* b = reinterpret_cast<const unsigned char*>(p.data.data());
      defaultIndex = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                     (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
  }

  const Text& given = fields_[kNameField];
  const Text& surname = fields_[kSurnameField];
  if ((!given.present || IsEmptyText(given.bytes, given.unicode)) &&
      (!surname.present || IsEmptyText(surname.bytes, surname.unicode)) && display.present)
    fields_[kNameField] = display;

  // The default address of the e-mail list; else the single address; else
  // the first address of the list, so no address is lost.
  Text single = fields_[kEmailField];
  Text email;
  if (list && defaultIndex) {
    if (auto e = list->Element(*defaultIndex); e && !IsEmptyText(*e, IsUnicodeType(list->type())))
      email = {*e, IsUnicodeType(list->type()), true};
  }
  if (!email.present) email = single;
  if (!email.present && list) {
    // One walk over the list (its bounds were checked when it was parsed).
    std::string_view rest = list->data;
    for (std::uint32_t i = 0; i < list->count && rest.size() >= 4; ++i) {
      const auto* b = reinterpret_cast<const unsigned char*>(rest.data());
      const std::uint32_t len = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
      rest.remove_prefix(4);
      if (len > rest.size()) break;
      const std::string_view e = rest.substr(0, len);
      rest.remove_prefix(len);
      if (!IsEmptyText(e, IsUnicodeType(list->type()))) {
        email = {e, IsUnicodeType(list->type()), true};
        break;
      }
    }
  }
  fields_[kEmailField] = email;
}

std::string WabReader::GetValue(const std::string& key) {
  if (!selected_) return {};
  const int k = FieldOfKey(key);
  if (k == kNoField && key != kHomeCountryKey) return {};
  const Text& t = k == kNoField ? homeCountry_ : fields_[static_cast<std::size_t>(k)];
  return t.present ? DecodeText(t.bytes, t.unicode, codePage_) : std::string();
}

void RegisterComponent() {
  automation::Registry::Instance().Register(automation::kAddressBookReaderProgId, [] {
    return std::static_pointer_cast<automation::Object>(std::make_shared<WabReader>());
  });
}

}  // namespace wab
