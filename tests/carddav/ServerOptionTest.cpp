// The conversion dialog's "Contacts server" option, headless: the form asks
// for the server, uploads a generated book to a Radicale started here on
// 127.0.0.1 (stopped by its own pid) and reports as the other exports do.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include "forms/FrmConversion.h"
#include "forms/ServerAccount.h"
#include "support/TestData.h"
#include "support/WabWriter.h"

extern char** environ;

namespace {

struct NoView final : forms::View {
  void SetText(std::string_view, const std::string&) override {}
  void SetEnabled(std::string_view, bool) override {}
  void SetVisible(std::string_view, bool) override {}
  void SetChecked(std::string_view, bool) override {}
  void SetItems(std::string_view, const std::vector<std::string>&) override {}
  void PrepareProgress(std::string_view, const forms::ProgressSetup& s) override { upper = s.upper; }
  void SetProgress(std::string_view, std::int64_t p) override { position = p; }
  void ClearTree(std::string_view) override {}
  void AddTreeNode(std::string_view, const forms::TreeNode&) override {}
  void SetTreeNodeHidden(std::string_view, forms::NodeId, bool) override {}
  void ExpandTreeNode(std::string_view, forms::NodeId, bool) override {}
  void HideForm() override { hidden = true; }
  void CloseForm() override {}
  dialogs::Owner Owner() const override { return {}; }
  std::int64_t upper = 0, position = 0;
  bool hidden = false;
};

struct Messages final : dialogs::Dialogs {
  Messages() { dialogs::SetCurrent(this); }
  ~Messages() override { dialogs::SetCurrent(nullptr); }
  std::string GetOpenFileName(dialogs::Owner, const std::string&, const std::string&) override { return {}; }
  std::string ChooseFolder(dialogs::Owner, const std::string&) override {
    ++folders;
    return {};
  }
  void ShowMessage(dialogs::Owner, const std::string& text, const std::string& title, dialogs::MessageIcon) override {
    shown.push_back({title, text});
  }
  std::vector<std::pair<std::string, std::string>> shown;  // title, text
  int folders = 0;
};

struct MapSettings final : forms::Settings {
  std::string Get(const std::string& k) override { return values.count(k) ? values[k] : ""; }
  void Set(const std::string& k, const std::string& v) override { values[k] = v; }
  void Remove(const std::string& k) override { values.erase(k); }
  std::map<std::string, std::string> values;
};

class Radicale {
 public:
  explicit Radicale(const std::filesystem::path& dir) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), n);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
    port = ntohs(a.sin_port);
    close(s);
    testsupport::WriteFile(dir / "users", "alice:secret\n");
    testsupport::WriteFile(dir / "config", "[server]\nhosts = 127.0.0.1:" + std::to_string(port) +
                                               "\n[auth]\ntype = htpasswd\nhtpasswd_filename = " +
                                               (dir / "users").string() +
                                               "\nhtpasswd_encryption = plain\n[storage]\nfilesystem_folder = " +
                                               (dir / "store").string() + "\n[logging]\nlevel = warning\n");
    const std::string config = (dir / "config").string();
    char* argv[] = {const_cast<char*>("radicale"), const_cast<char*>("--config"), const_cast<char*>(config.c_str()),
                    nullptr};
    if (posix_spawnp(&pid, "radicale", nullptr, nullptr, argv, environ) != 0) pid = 0;
    for (int i = 0; pid && i < 300 && !Listening(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ~Radicale() {
    if (pid) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
  bool Listening() const {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
  }
  pid_t pid = 0;
  int port = 0;
};

TEST(ServerOption, AsksUploadsAndReports) {
  if (testsupport::RunCommand("command -v radicale >/dev/null") != 0) {
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) != "0" && std::string(ci) != "false") FAIL() << "radicale is not installed";
    GTEST_SKIP() << "radicale is not installed (scripts/setup.sh installs it)";
  }
  testsupport::TempDir dir;
  Radicale server(dir.path());
  ASSERT_TRUE(server.pid && server.Listening()) << "radicale did not start";
  const std::string book = (dir / "family.wab").string();
  testsupport::WriteGeneratedBook(book, 25);

  NoView view;
  Messages messages;
  MapSettings settings;
  settings.values[forms::kServerUserKey] = "alice";
  forms::FrmConversion form(view);
  form.SetSettings(&settings);
  form.SetBookPathSource([&] { return book; });
  std::vector<forms::ServerAnswers> asked;  // what the dialog showed filled in
  std::string password = "secret";
  bool cancel = false;
  form.SetRequestFiller(exports::ExportFormat::CardDav,
                        forms::ServerAccountFiller(&settings, [&](forms::ServerAnswers& a) {
                          asked.push_back(a);
                          if (a.address.empty()) a.address = " http://127.0.0.1:" + std::to_string(server.port) + "/ ";
                          a.password = password;
                          return !cancel;
                        }));
  form.Design();
  form.Option_Click("OptCardDav");
  ASSERT_TRUE(form.IsEnabled(forms::FrmConversion::kStart));

  form.CmdConversion_Click();
  EXPECT_EQ(messages.folders, 0);  // a server needs no folder
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, "Conversion Completed...");
  EXPECT_NE(messages.shown[0].second.find("26 cards: 26 uploaded, 0 already there"), std::string::npos)
      << messages.shown[0].second;
  EXPECT_EQ(view.position, view.upper);
  EXPECT_TRUE(view.hidden);
  // The address and user name are remembered, the password nowhere.
  EXPECT_EQ(settings.values[forms::kServerAddressKey], "http://127.0.0.1:" + std::to_string(server.port) + "/");
  for (const auto& [key, value] : settings.values) EXPECT_EQ(value.find("secret"), std::string::npos) << key;

  // Again, with the remembered answers shown and a wrong password.
  password = "wrong";
  form.Option_Click("OptCardDav");
  form.CmdConversion_Click();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].address, settings.values[forms::kServerAddressKey]);
  EXPECT_EQ(asked[1].user, "alice");
  EXPECT_EQ(asked[1].password, "");
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].first, "Vantrel Software");
  EXPECT_NE(messages.shown[1].second.find("refused the user name or password (401)"), std::string::npos);

  // The right one: every card is there already. Cancelling asks nothing more.
  password = "secret";
  form.CmdConversion_Click();
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_NE(messages.shown[2].second.find("0 uploaded, 26 already there"), std::string::npos);
  cancel = true;
  form.Option_Click("OptCardDav");
  form.CmdConversion_Click();
  EXPECT_EQ(messages.shown.size(), 3u);
}

}  // namespace
