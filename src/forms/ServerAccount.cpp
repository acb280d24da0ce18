#include "ServerAccount.h"

namespace forms {
namespace {

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

FrmConversion::RequestFiller ServerAccountFiller(Settings* settings, ServerAsker ask) {
  return [settings, ask = std::move(ask)](exports::ExportRequest& request) {
    ServerAnswers answers;
    if (settings) {
      answers.address = settings->Get(kServerAddressKey);
      answers.user = settings->Get(kServerUserKey);
    }
    if (!ask || !ask(answers)) return false;
    answers.address = Trimmed(answers.address);
    answers.user = Trimmed(answers.user);
    if (answers.address.empty()) return false;
    if (settings) {
      settings->Set(kServerAddressKey, answers.address);
      settings->Set(kServerUserKey, answers.user);
    }
    request.server.url = answers.address;
    request.server.user = answers.user;
    request.server.password = answers.password;
    return true;
  };
}

}  // namespace forms
