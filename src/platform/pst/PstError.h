// The one failure every layer of the .pst writer reports, from the node
// database up to the store: it sits below them all, so none of them needs
// the store's header for it.
#pragma once

#include <stdexcept>

namespace pst {

// A failure to write (disk full, no permission, a folder that does not exist),
// or a misuse of the model (an unknown folder). what() gives the cause and the file.
class PstError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace pst
