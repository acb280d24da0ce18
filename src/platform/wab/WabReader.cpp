#include "WabReader.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "platform/codepage/CodePage.h"
#include "platform/os/LittleEndian.h"
#include "platform/os/Os.h"

namespace wab {
namespace {

using automation::FieldIndex;
using automation::ReaderField;

constexpr std::size_t kNameField = FieldIndex(ReaderField::Name);
constexpr std::size_t kSurnameField = FieldIndex(ReaderField::Surname);
constexpr std::size_t kEmailField = FieldIndex(ReaderField::HomeEmail);
constexpr std::uint16_t kDisplayName = 0x3001;
constexpr std::uint16_t kEmailList = 0x3A56;
constexpr std::uint16_t kDefaultEmailIndex = 0x3A55;

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { os::Close(fd_); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  int fd_;
};

[[noreturn]] void FailOn(const char* what, const std::string& path, int err) {
  throw automation::AutomationError(std::string(what) + " \"" + path + "\": " + std::strerror(err));
}

// The whole file, or AutomationError naming the file and the cause.
//
// The book is mapped rather than read: reading copies every byte into fresh
// memory that the kernel zero-fills first, which cost more than decoding the
// whole book. The map keeps every check the decoder makes (it sees a fixed
// length, as it does a string) and BookBytes turns a file cut short under
// us into a flag instead of a crash. A file that cannot be mapped is read.
BookBytes MapBookFile(const std::string& path) {
  // A named pipe does not block the open; it is refused below.
  int fd = os::OpenForReading(path);
  if (fd < 0) {
    const int err = errno;
    os::FileInfo info;
    FailOn("Cannot open the address book", path, os::StatPath(path, info) && info.directory ? EISDIR : err);
  }
  FileCloser closer(fd);
  os::FileInfo st;
  if (!os::Stat(fd, st)) FailOn("Cannot open the address book", path, errno);
  if (st.directory) FailOn("Cannot open the address book", path, EISDIR);
  if (!st.regular)
    throw automation::AutomationError("Cannot open the address book \"" + path +
                                      "\": not a regular file");
  // Look at the signature before anything else, so opening some large
  // file that is not an address book costs no memory.
  char head[16];
  const long long read = os::ReadAt(fd, head, sizeof head, 0);
  if (read < 0) FailOn("Cannot read the address book", path, errno);
  const auto got = static_cast<std::size_t>(read);
  if (got < sizeof head || (std::memcmp(head, kSignature.data(), sizeof head) != 0 &&
                            std::memcmp(head, kOldSignature.data(), sizeof head) != 0))
    throw automation::AutomationError(automation::kNotAnAddressBook);
  const std::uint64_t size = st.size;
  if (size > kMaxBookSize)
    throw automation::AutomationError("Cannot open the address book \"" + path + "\": it is " +
                                      std::to_string(size >> 20) + " MiB, larger than an address book can be (at most " +
                                      std::to_string(kMaxBookSize >> 20) + " MiB)");

  if (BookBytes mapped = BookBytes::Map(fd, static_cast<std::size_t>(size)); mapped.Mapped()) return mapped;

  std::string bytes;
  // One byte more than the file holds, so the end is seen without growing.
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      // The file may have grown since fstat; read on in small steps.
      if (bytes.size() > kMaxBookSize) throw automation::AutomationError(automation::kNotAnAddressBook);
      bytes.resize(bytes.size() + 65536);
    }
    const long long n = os::ReadAt(fd, bytes.data() + have, bytes.size() - have, have);
    if (n < 0) FailOn("Cannot read the address book", path, errno);
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  bytes.resize(have);
  return BookBytes(std::move(bytes));
}

[[noreturn]] void FailCutShort(const std::string& name) {
  throw automation::AutomationError("Cannot read the address book \"" + name +
                                    "\": " + kBookCutShort);
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
  for (const FieldSource& s : kFieldSources)
    t[static_cast<std::size_t>(s.id - kSourceBase)] = static_cast<std::int8_t>(FieldIndex(s.field));
  return t;
}
constexpr auto kFieldOfId = MakeFieldOfId();

constexpr bool SourcesFitTable() {
  for (const FieldSource& s : kFieldSources)
    if (s.id < kSourceBase || static_cast<std::size_t>(s.id - kSourceBase) >= kSourceSpan) return false;
  // Two fields from one ID would need more than one slot per ID.
  for (std::size_t a = 0; a < kFieldSources.size(); ++a)
    for (std::size_t b = a + 1; b < kFieldSources.size(); ++b)
      if (kFieldSources[a].id == kFieldSources[b].id) return false;
  return true;
}
static_assert(SourcesFitTable(), "field source IDs must be distinct and inside the look-up table");

int FieldOfId(std::uint16_t id) {
  const std::size_t at = static_cast<std::size_t>(id) - kSourceBase;  // wraps for IDs below the base
  return at < kSourceSpan ? kFieldOfId[at] : kNoField;
}

// Reader keys by a hash of length, first and last character that is
// collision-free over the reader's keys (checked below); a hit is then
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
  for (const auto& [field, key] : automation::kReaderKeyTable)
    t[KeySlot(key)] = static_cast<std::int8_t>(FieldIndex(field));
  return t;
}
constexpr auto kKeyTable = MakeKeyTable();

constexpr bool KeyHashIsPerfect() {
  for (const auto& [field, key] : automation::kReaderKeyTable)
    if (kKeyTable[KeySlot(key)] != static_cast<std::int8_t>(FieldIndex(field))) return false;
  return true;
}
static_assert(KeyHashIsPerfect(), "two reader keys share a hash slot; change the hash");

int FieldOfKey(std::string_view key) {
  if (key.empty()) return kNoField;
  const int k = kKeyTable[KeySlot(key)];
  if (k == kNoField || automation::Key(static_cast<ReaderField>(k)) != key) return kNoField;
  return k;
}

}  // namespace

WabReader::WabReader() : WabReader(codepage::SystemAnsiCodePage()) {}

WabReader::WabReader(int codePage) : codePage_(codePage) {}

void WabReader::Reset() {
  file_.reset();
  name_.clear();
  release_ = {};
  contacts_.clear();
  contacts_.shrink_to_fit();
  selected_ = false;
  record_.properties.clear();
  fields_ = {};
}

WabFile OpenBookFile(const std::string& path) {
  try {
    WabFile file = WabFile::Parse(MapBookFile(path));
    if (!file.Intact()) FailCutShort(path);
    return file;
  } catch (const NotAnAddressBook&) {
    throw automation::AutomationError(automation::kNotAnAddressBook);
  } catch (const std::bad_alloc&) {
    throw automation::AutomationError("Not enough memory to read the address book \"" + path + "\"");
  }
}

void WabReader::Open(const std::string& path) {
  Reset();
  try {
    Load(MapBookFile(path), path);
  } catch (const std::bad_alloc&) {
    Reset();
    throw automation::AutomationError("Not enough memory to read the address book \"" + path + "\"");
  }
}

void WabReader::OpenBytes(std::string bytes, const std::string& name) { Load(BookBytes(std::move(bytes)), name); }

void WabReader::Load(BookBytes bytes, const std::string& name) {
  Reset();
  try {
    file_.emplace(WabFile::Parse(std::move(bytes)));
  } catch (const NotAnAddressBook&) {
    Reset();
    throw automation::AutomationError(automation::kNotAnAddressBook);
  }
  if (!file_->Intact()) {
    Reset();
    FailCutShort(name);
  }
  name_ = name;
  for (const auto& r : file_->Records())
    if (r.kind == static_cast<std::uint32_t>(RecordKind::Contact)) contacts_.push_back(r.offset);
  // The whole book was just read; the pass over the contacts reads it again
  // from the cache a part at a time (see Select).
  release_.Now(*file_);
}

std::int32_t WabReader::GetCount() {
  return static_cast<std::int32_t>(contacts_.size());
}

std::int32_t WabReader::SkippedRecords() const {
  return file_ ? static_cast<std::int32_t>(file_->Skipped()) : 0;
}

std::optional<std::uint32_t> WabReader::SelectedRecordId() const {
  if (!selected_ || !recordRead_) return std::nullopt;
  return record_.recordId;
}

void WabReader::Select(std::int32_t index) {
  selected_ = false;
  fields_ = {};
  if (index < 0 || static_cast<std::size_t>(index) >= contacts_.size())
    throw automation::AutomationError("Select: no contact " + std::to_string(index) + " (the book has " +
                                      std::to_string(contacts_.size()) + ")");
  selected_ = true;
  const bool read = recordRead_ = file_->ReadRecord(contacts_[static_cast<std::size_t>(index)], record_);
  if (!file_->Intact()) {
    selected_ = false;
    fields_ = {};
    FailCutShort(name_);
  }
  if (!read) return;  // checked by Open
  // Only the records lately read stay mapped, so a long pass holds a few
  // megabytes of the book, not all of it.
  release_.Passed(*file_, record_.size);

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
      const int k = FieldOfId(id);
      if (k != kNoField && !fields_[static_cast<std::size_t>(k)].present) fields_[static_cast<std::size_t>(k)] = t;
    } else if (id == kEmailList && IsTextList(p)) {
      if (!list) list = &p;
    } else if (id == kDefaultEmailIndex && p.type() == kTypeLong && p.data.size() == 4 && !defaultIndex) {
      defaultIndex = le::Get32(p.data.data());
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
      const std::uint32_t len = le::Get32(rest.data());
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
  std::string text;
  Decode(GetStoredValue(key), text);
  return text;
}

StoredText WabReader::GetStoredValue(const std::string& key) const {
  if (!selected_) return {};
  const int k = FieldOfKey(key);
  if (k == kNoField) return {};
  const Text& t = fields_[static_cast<std::size_t>(k)];
  if (!t.present) return {};
  return {t.bytes, t.unicode};
}

void WabReader::Decode(const StoredText& text, std::string& out) const {
  out.clear();
  if (text.bytes.empty()) return;
  DecodeText(text.bytes, text.unicode, codePage_, out);
  if (!file_->Intact()) FailCutShort(name_);
}

// A cross-cast: any reader that also implements HeldBook offers it, not only WabReader.
HeldBook* HeldBookOf(automation::AddressBookReader& reader) { return dynamic_cast<HeldBook*>(&reader); }
const HeldBook* HeldBookOf(const automation::AddressBookReader& reader) {
  return dynamic_cast<const HeldBook*>(&reader);
}

void RegisterComponent() {
  automation::Registry::Instance().Register(automation::kAddressBookReaderProgId, [] {
    return std::static_pointer_cast<automation::Object>(std::make_shared<WabReader>());
  });
}

}  // namespace wab
