// The about box: the product banner, version and web address, and OK.
#pragma once

#include "View.h"

namespace forms {

class AboutFrm {
 public:
  inline static constexpr const char* kCaption = "About Addrivo";
  inline static constexpr const char* kVersionText = "v1.0 Build 1508";
  // Shown as plain text here and in the main window's status bar; nothing opens it.
  inline static constexpr const char* kWebAddress = "www.vantrel.example";
  inline static constexpr const char* kOkCaption = "&OK";
  // The banner's texts (Image1, 360 x 59 pixels, drawn by the view).
  inline static constexpr const char* kBannerTitle = "Addrivo";
  inline static constexpr const char* kBannerTagline = "Address books to Excel and Outlook";
  inline static constexpr const char* kBannerVendor = "Vantrel Software";

  explicit AboutFrm(View& view) : view_(view) {}

  // Captions: the form's, Label2 (version), Label3 (web address), CmdOK.
  void Form_Load();
  // Unloads the box: the next "About..." shows a fresh one.
  void CmdOK_Click();

 private:
  View& view_;
};

}  // namespace forms
