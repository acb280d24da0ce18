#include "AboutFrm.h"

namespace forms {

void AboutFrm::Form_Load() {
  view_.SetText("AboutFrm", kCaption);
  view_.SetText("Label2", kVersionText);
  view_.SetText("Label3", kWebAddress);
  view_.SetText("CmdOK", kOkCaption);
}

void AboutFrm::CmdOK_Click() { view_.CloseForm(); }

}  // namespace forms
