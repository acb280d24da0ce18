// What the conversion dialog asks before it uploads to a contacts server:
// the server's address, the user name and the password. The address and
// the user name are remembered for the next time; the password never is.
#pragma once

#include <functional>
#include <string>

#include "FrmConversion.h"

namespace forms {

struct ServerAnswers {
  std::string address;
  std::string user;
  std::string password;
};

inline constexpr const char* kServerAddressKey = "carddav/address";
inline constexpr const char* kServerUserKey = "carddav/user";
inline constexpr const char* kServerTitle = "Contacts server";
inline constexpr const char* kServerAddressPrompt = "Server address:";
inline constexpr const char* kServerUserPrompt = "User name:";
inline constexpr const char* kServerPasswordPrompt = "Password:";

// The view's own dialog: shows the answers as filled in, false when the
// user cancels.
using ServerAsker = std::function<bool(ServerAnswers&)>;

// The filler FrmConversion runs before the upload: asks with the remembered
// address and user name filled in, remembers them (not the password) when
// the user goes on, and puts all three into the request. Cancelling, or an
// empty address, ends Start quietly.
FrmConversion::RequestFiller ServerAccountFiller(Settings* settings, ServerAsker ask);

}  // namespace forms
