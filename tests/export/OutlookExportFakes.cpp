#include "OutlookExportFakes.h"

#include <atomic>
#include <filesystem>
#include <fstream>

namespace fakes {

namespace ao = automation::outlook;

namespace {

std::atomic<int> g_live{0};

struct Counted {
  Counted() { ++g_live; }
  Counted(const Counted&) { ++g_live; }
  ~Counted() { --g_live; }
};

using Rec = std::shared_ptr<Recorder>;

class FakeItem final : public ao::ContactItem, Counted {
 public:
  FakeItem(Rec r, std::string folder) : r_(std::move(r)), folder_(std::move(folder)) {}
  void SetProperty(const std::string& name, const std::string& value) override {
    r_->Call([&] { return std::string("item." + name + "=" + value); });
    if (r_->logging) text_ += (text_.empty() ? "" : "|") + name + "=" + value;
  }
  void Save() override {
    r_->Call([&] { return std::string("item.Save"); });
    if (r_->logging) r_->saved.push_back(folder_ + ": " + text_);
  }

 private:
  Rec r_;
  std::string folder_, text_;
};

class FakeItems final : public ao::Items, Counted {
 public:
  FakeItems(Rec r, std::string folder) : r_(std::move(r)), folder_(std::move(folder)) {}
  std::shared_ptr<ao::ContactItem> Add() override {
    r_->Call([&] { return std::string("[" + folder_ + "].Items.Add"); });
    return std::make_shared<FakeItem>(r_, folder_);
  }

 private:
  Rec r_;
  std::string folder_;
};

class FakeFolder;

class FakeFolders final : public ao::Folders, Counted {
 public:
  // owner: the folder whose subfolders these are, or "ns<n>" for a namespace's stores.
  FakeFolders(Rec r, std::string owner) : r_(std::move(r)), owner_(std::move(owner)) {}
  std::shared_ptr<ao::Folder> Add(const std::string& name, int type) override;
  std::shared_ptr<ao::Folder> GetLast() override;

 private:
  Rec r_;
  std::string owner_;
};

class FakeFolder final : public ao::Folder, Counted {
 public:
  FakeFolder(Rec r, std::string name) : r_(std::move(r)), name_(std::move(name)) {}
  const std::string& label() const { return name_; }
  std::string Name() override {
    r_->Call([&] { return std::string("[" + name_ + "].Name"); });
    return name_;
  }
  void SetName(const std::string& name) override { r_->Call([&] { return std::string("[" + name_ + "].Name=" + name); }); }
  std::shared_ptr<ao::Folders> Folders() override {
    r_->Call([&] { return std::string("[" + name_ + "].Folders"); });
    return std::make_shared<FakeFolders>(r_, name_);
  }
  std::shared_ptr<ao::Items> Items() override {
    r_->Call([&] { return std::string("[" + name_ + "].Items"); });
    return std::make_shared<FakeItems>(r_, name_);
  }
  void MoveTo(ao::Folder& destination) override {
    r_->Call([&] { return std::string("[" + name_ + "].MoveTo([" + dynamic_cast<FakeFolder&>(destination).label() + "])"); });
  }

 private:
  Rec r_;
  std::string name_;
};

// Subfolders of the default contacts folder are remembered by their last name only.
std::string g_lastSubfolder;

std::shared_ptr<ao::Folder> FakeFolders::Add(const std::string& name, int type) {
  r_->Call([&] { return std::string("[" + owner_ + "].Folders.Add(" + name + "," + std::to_string(type) + ")"); });
  g_lastSubfolder = name;
  return std::make_shared<FakeFolder>(r_, name);
}

std::shared_ptr<ao::Folder> FakeFolders::GetLast() {
  r_->Call([&] { return std::string("[" + owner_ + "].Folders.GetLast"); });
  if (owner_.rfind("ns", 0) == 0) return std::make_shared<FakeFolder>(r_, "store " + r_->lastStoreAttached);
  return std::make_shared<FakeFolder>(r_, g_lastSubfolder);
}

class FakeNamespace final : public ao::Namespace, Counted {
 public:
  FakeNamespace(Rec r, std::string name) : r_(std::move(r)), name_(std::move(name)) {}
  void AddStore(const std::string& path) override {
    r_->Call([&] { return std::string(name_ + ".AddStore(" + path + ")"); });
    Attached(path);
  }
  void AddStoreEx(const std::string& path, std::int16_t type) override {
    r_->Call([&] { return std::string(name_ + ".AddStoreEx(" + path + "," + std::to_string(type) + ")"); });
    Attached(path);
  }
  // As Outlook does, a store attached under a free name is a new file there.
  void Attached(const std::string& path) {
    r_->lastStoreAttached = path;
    if (!std::filesystem::exists(path)) std::ofstream{path};
  }
  void RemoveStore(ao::Folder& root) override {
    r_->Call([&] { return std::string(name_ + ".RemoveStore([" + dynamic_cast<FakeFolder&>(root).label() + "])"); });
  }
  std::shared_ptr<ao::Folders> Folders() override {
    r_->Call([&] { return std::string(name_ + ".Folders"); });
    return std::make_shared<FakeFolders>(r_, name_);
  }
  std::shared_ptr<ao::Folder> GetDefaultFolder(int type) override {
    r_->Call([&] { return std::string(name_ + ".GetDefaultFolder(" + std::to_string(type) + ")"); });
    return std::make_shared<FakeFolder>(r_, "Contacts");
  }

 private:
  Rec r_;
  std::string name_;
};

class FakeApplication final : public ao::Application, Counted {
 public:
  FakeApplication(Rec r, std::string name) : r_(std::move(r)), name_(std::move(name)) {}
  std::shared_ptr<ao::Namespace> GetNamespace(const std::string& type) override {
    r_->Call([&] { return std::string(name_ + ".GetNamespace(" + type + ")"); });
    return std::make_shared<FakeNamespace>(r_, "ns" + std::to_string(++r_->namespaces));
  }
  std::string version() override {
    r_->Call([&] { return std::string(name_ + ".version"); });
    return r_->version;
  }

 private:
  Rec r_;
  std::string name_;
};

class FakeReader final : public automation::AddressBookReader, Counted {
 public:
  explicit FakeReader(Rec r) : r_(std::move(r)) {}
  void Open(const std::string& path) override { r_->Call([&] { return std::string("reader.Open(" + path + ")"); }); }
  std::int32_t GetCount() override {
    r_->Call([&] { return std::string("reader.GetCount"); });
    return static_cast<std::int32_t>(r_->contacts.size());
  }
  void Select(std::int32_t index) override {
    r_->Call([&] { return std::string("reader.Select(" + std::to_string(index) + ")"); });
    selected_ = index;
  }
  std::string GetValue(const std::string& key) override {
    r_->Call([&] { return std::string("reader.GetValue(" + key + ")"); });
    for (std::size_t k = 0; k < automation::kReaderFieldKeys.size(); ++k)
      if (automation::kReaderFieldKeys[k] == key) return r_->contacts.at(selected_).at(k);
    // The real reader's key beyond the designed 20, kept after them.
    const auto& c = r_->contacts.at(selected_);
    if (key == "HomeCountry" && c.size() > automation::kReaderFieldKeys.size()) return c.back();
    return {};
  }

 private:
  Rec r_;
  std::int32_t selected_ = -1;
};

}  // namespace

void Recorder::Record(const std::function<std::string()>& describe) {
  const long index = calls++;
  if (!logging && index != failAt) return;
  std::string what = describe();
  if (logging) log.push_back(what);
  if (index == failAt) throw automation::AutomationError("refused: " + what);
}

int LiveObjects() { return g_live.load(); }

FakeComponents::FakeComponents(std::shared_ptr<Recorder> r)
    : outlook_(ao::kOutlookProgId,
               [r]() -> std::shared_ptr<automation::Object> {
                 r->Call([&] { return std::string("create Outlook.Application"); });
                 return std::make_shared<FakeApplication>(r, "app" + std::to_string(++r->apps));
               }),
      reader_(automation::kAddressBookReaderProgId, [r]() -> std::shared_ptr<automation::Object> {
        r->Call([&] { return std::string("create warjo.wab"); });
        return std::make_shared<FakeReader>(r);
      }) {
  g_lastSubfolder.clear();
}

FakeComponents::~FakeComponents() = default;

std::vector<std::vector<std::string>> NumberedBook(int n) {
  std::vector<std::vector<std::string>> book;
  for (int i = 0; i < n; ++i) {
    std::vector<std::string> c;
    for (auto key : automation::kReaderFieldKeys) c.push_back("c" + std::to_string(i) + "." + std::string(key));
    c.push_back("c" + std::to_string(i) + ".HomeCountry");
    book.push_back(std::move(c));
  }
  return book;
}

}  // namespace fakes
