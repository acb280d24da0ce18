// Scanning a book of 32,766 contacts into the shown main window (offscreen):
// - BM_ScanIntoWindow: with a reader that costs next to nothing, what the
//   window itself costs;
// - BM_ScanBookIntoWindow: the real reader on a generated book of that size,
//   what the user waits for (the book in the page cache). Target: 0.3 s.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <array>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "platform/automation/AddressBookReader.h"
#include "platform/wab/WabReader.h"
#include "support/TestData.h"
#include "support/WabWriter.h"
#include "support/qt/ScriptedDialogs.h"

namespace {

constexpr std::int32_t kContacts = 32766;

// Every field precomputed, so the reader's own work is a lookup.
class FastReader : public automation::AddressBookReader {
 public:
  FastReader() {
    const char* first[] = {"Anna", "bruno", "Chloé", "Dmitri", "Émile", "Farah", "Greta", "Hiro",
                           "Ines", "Jonas", "Kofi", "Lena",  "Mateo", "Nadia", "Oscar", "7-Eleven"};
    names_.reserve(kContacts);
    for (std::int32_t i = 0; i < kContacts; ++i) names_.push_back(std::string(first[i % 16]) + " " + std::to_string(i));
  }
  void Open(const std::string&) override {}
  std::int32_t GetCount() override { return kContacts; }
  void Select(std::int32_t index) override { selected_ = index; }
  std::string GetValue(const std::string& key) override {
    if (key == "Name") return names_[static_cast<std::size_t>(selected_)];
    if (key == "Surname") return "Example";
    if (key == "HomeEmail") return "someone@example.org";
    if (key == "City") return "Bristol";
    if (key == "BusinessPhone") return "+44 117 496 0000";
    return {};
  }

 private:
  std::vector<std::string> names_;
  std::int32_t selected_ = 0;
};

void BM_ScanIntoWindow(benchmark::State& state) {
  testsupport::ScriptedDialogs dialogs;
  automation::ScopedRegistration reader(automation::kAddressBookReaderProgId,
                                        automation::SameObject(std::make_shared<FastReader>()));
  app::FrmMain window;
  window.show();
  dialogs.openFileAnswers.push_back(QStringLiteral("/books/big.wab"));
  window.CmdBrowse_Click();
  for (auto _ : state) {
    state.PauseTiming();
    window.PopulateDefaultTree();
    dialogs.messages.clear();
    state.ResumeTiming();
    window.CmdEnumerateNotes_Click();
  }
  // Every contact has its node; the whole book adds a node for its groups and one for each group.
  if (dialogs.messages.size() != 1 || window.Tree().NodeCount() < 28u + kContacts)
    state.SkipWithError("the scan did not complete");
  state.counters["contacts"] = kContacts;
}
BENCHMARK(BM_ScanIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ScanBookIntoWindow(benchmark::State& state) {
  testsupport::TempDir dir;
  const auto book = dir / "big.wab";
  testsupport::WriteGeneratedBook(book, kContacts);
  testsupport::ScriptedDialogs dialogs;
  automation::ScopedRegistration reader(automation::kAddressBookReaderProgId, [] {
    return std::static_pointer_cast<automation::Object>(std::make_shared<wab::WabReader>(1252));
  });
  app::FrmMain window;
  window.show();
  dialogs.openFileAnswers.push_back(QString::fromStdString(book.string()));
  window.CmdBrowse_Click();
  for (auto _ : state) {
    state.PauseTiming();
    window.PopulateDefaultTree();
    dialogs.messages.clear();
    state.ResumeTiming();
    window.CmdEnumerateNotes_Click();
  }
  // Every contact has its node; the whole book adds a node for its groups and one for each group.
  if (dialogs.messages.size() != 1 || window.Tree().NodeCount() < 28u + kContacts)
    state.SkipWithError("the scan did not complete");
  state.counters["contacts"] = kContacts;
}
BENCHMARK(BM_ScanBookIntoWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
