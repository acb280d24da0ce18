#include "Layout.h"

#include "forms/AboutFrm.h"
#include "forms/ContactDetailView.h"
#include "forms/FrmConversion.h"
#include "forms/FrmMain.h"
#include "forms/ServerAccount.h"

namespace win32 {
namespace {

// The detail view inside OsenXPFrame1 (3720, 1920, 6735 x 6735): the name
// rows, then the four tabs below them.
constexpr int kFx = 3720 + 120, kFy = 1920 + 240;
constexpr int kTabTop = kFy + 2160, kPage = kTabTop + 420;
constexpr int kCol1 = kFx + 120, kCol2 = kFx + 3300;
constexpr int kLabelW = 1080, kBoxW = 2040, kRow = 480, kBoxH = 300;

void Row(std::vector<ControlSpec>& out, int page, int col, int row, const char* caption, const char* box,
         int boxWidth = kBoxW, int rows = 1) {
  const int y = kPage + row * kRow;
  out.push_back({"", Kind::Label, col, y + 30, kLabelW, 240, caption, page});
  out.push_back({box, rows > 1 ? Kind::MultiLineBox : Kind::TextBox, col + kLabelW, y, boxWidth,
                 kBoxH + (rows - 1) * kRow, "", page});
}

}  // namespace

std::vector<ControlSpec> MainControls() {
  using forms::FrmMain;
  std::vector<ControlSpec> c = {
      {"Label3", Kind::BoldLabel, 240, 1080, 4020, 195, "Select Windows Address Book File (.wab)"},
      {FrmMain::kBookFileBox, Kind::TextBox, 240, 1320, 4575, 375},
      {FrmMain::kBrowse, Kind::Button, 5040, 1320, 1335, 375, "&Browse..."},
      {FrmMain::kScan, Kind::Button, 6600, 1320, 1815, 375, "Scan &Contacts"},
      {FrmMain::kSave, Kind::Button, 8640, 1320, 1815, 375, "&Save Contacts"},
      // The tree's header, above the tree's designed place.
      {"ContactsTreeHeader", Kind::BoldLabel, 240, 1920, 3375, 255, FrmMain::kTreeHeader},
      {FrmMain::kTree, Kind::Tree, 240, 2175, 3375, 6480},
      {"OsenXPFrame1", Kind::Frame, 3720, 1920, 6735, 6735, forms::ContactDetailView::kFrameCaption},
      {FrmMain::kReadLabel, Kind::BoldLabel, 240, 8880, 3375, 255, "Reading Contacts"},
      {FrmMain::kScanBar, Kind::Progress, 3720, 8880, 6735, 300},
      {"OsenXPStatusBar1", Kind::StatusBar, 0, 9360, 10680, 375,
       "Vantrel Software|www.vantrel.example"},
      // The detail view's header and name rows.
      {"ImgContact", Kind::Picture, kFx + 120, kFy, 480, 480},
      {"LblTopName", Kind::TitleLabel, kFx + 720, kFy + 90, 5400, 360},
      {"", Kind::Label, kFx + 120, kFy + 600, 1800, 240, "First"},
      {"", Kind::Label, kFx + 2160, kFy + 600, 1800, 240, "Middle"},
      {"", Kind::Label, kFx + 4200, kFy + 600, 1800, 240, "Last"},
      {"txtFirstName", Kind::TextBox, kFx + 120, kFy + 840, 1920, kBoxH},
      {"txtMiddleName", Kind::TextBox, kFx + 2160, kFy + 840, 1920, kBoxH},
      {"txtLastName", Kind::TextBox, kFx + 4200, kFy + 840, 2160, kBoxH},
      {"", Kind::Label, kFx + 120, kFy + 1260, 1800, 240, "Email"},
      {"txtEmail", Kind::TextBox, kFx + 120, kFy + 1500, 6240, kBoxH},
  };
  std::string tabs;
  for (const char* t : forms::ContactDetailView::kTabCaptions) tabs += (tabs.empty() ? "" : "|") + std::string(t);
  static const std::string tabCaptions = tabs;
  c.push_back({"OsenXPTab1", Kind::Tabs, kFx + 60, kTabTop, 6480, 4080, tabCaptions.c_str()});
  // Tab 1: the business address.
  Row(c, 1, kCol1, 0, "Company", "txtCompany");
  Row(c, 1, kCol2, 0, "Job Title", "txtJobTitle");
  Row(c, 1, kCol1, 1, "Street", "txtBusinessStreet", kBoxW, 2);
  Row(c, 1, kCol2, 1, "City", "txtBusinessCity");
  Row(c, 1, kCol1, 3, "Zip", "txtBusinessZip");
  Row(c, 1, kCol2, 3, "State", "txtBusinessState");
  Row(c, 1, kCol1, 4, "Country", "txtBusinessCountry");
  Row(c, 1, kCol2, 4, "Location", "txtBusinessLocation");
  Row(c, 1, kCol1, 5, "Web page", "txtBusinessWebpage");
  Row(c, 1, kCol2, 5, "Dept", "txtBusinessDept");
  // Tab 2: the business contact information, one box a row.
  Row(c, 2, kCol1, 0, "Office Phone", "txtBusinessPhone", 3600);
  Row(c, 2, kCol1, 1, "Office Fax", "txtBusinessFax", 3600);
  Row(c, 2, kCol1, 2, "Cell Phone", "txtBusinessCellPhone", 3600);
  Row(c, 2, kCol1, 3, "Pager", "txtBusinessPager", 3600);
  Row(c, 2, kCol1, 4, "IP Phone", "txtBusinessIPPhone", 3600);
  // Tab 3: personal.
  Row(c, 3, kCol1, 0, "Street", "txtHomeStreet", 5220);
  Row(c, 3, kCol1, 1, "City", "txtHomeCity");
  Row(c, 3, kCol2, 1, "State", "txtHomeState");
  Row(c, 3, kCol1, 2, "Zip", "txtHomeZip");
  Row(c, 3, kCol2, 2, "Country", "txtHomeCountry");
  Row(c, 3, kCol1, 3, "Spouse", "txtSpouse");
  Row(c, 3, kCol2, 3, "Children", "txtChildren");
  Row(c, 3, kCol1, 4, "Home Phone", "txtHomePhone");
  Row(c, 3, kCol2, 4, "Home Fax", "txtHomeFax");
  Row(c, 3, kCol1, 5, "Cell Phone", "txtHomeCellPhone", 5220);
  Row(c, 3, kCol1, 6, "Birthday", "txtBirthday");
  Row(c, 3, kCol2, 6, "Anniversary", "txtAnniversary");
  // Tab 4: the briefcase.
  c.push_back({"", Kind::Label, kCol1, kPage, 1800, 240, "Comments", 4});
  c.push_back({"txtComments", Kind::MultiLineBox, kCol1, kPage + 270, 6240, 3240, "", 4});
  return c;
}

std::vector<MenuSpec> MainMenus() {
  using forms::FrmMain;
  return {
      {"mnuFile", "&File", true},
      {FrmMain::kMenuOpen, "Open Windows Address Book File..."},
      {FrmMain::kMenuScan, "Scan Contacts"},
      {FrmMain::kMenuSave, "Save Contacts..."},
      {"mnuSep", "-"},
      {FrmMain::kMenuExit, "Exit"},
      {"mnuView", "&View", true},
      {FrmMain::kMenuShowDeleted, "Show deleted contacts"},
      {"mnuHelp", "&Help", true},
      {FrmMain::kMenuContents, "Contents..."},
      {FrmMain::kMenuAbout, "About..."},
  };
}

std::vector<ControlSpec> ConversionControls() {
  using forms::FrmConversion;
  // The designed three where the design puts them, every later option one
  // step below the one before; the dialog grows by those steps.
  constexpr int kFrameTop = 480;
  const int designedTops[] = {120, 600, 1320}, designedHeights[] = {495, 495, 495};
  std::vector<ControlSpec> c = {
      {FrmConversion::kFormatLabel, Kind::Label, 120, 120, 6015, 300, FrmConversion::kChooseFormat},
      {"OsenXPFrame1", Kind::Frame, 0, kFrameTop, 6255, 2490 + kConversionAdded},
  };
  for (std::size_t i = 0; i < forms::kConversionOptions.size(); ++i) {
    const int later = static_cast<int>(i) - 3;
    c.push_back({forms::kConversionOptions[i].control, Kind::Option, 240,
                 kFrameTop + (i < 3 ? designedTops[i] : 1800 + later * kConversionStep), 5895,
                 i < 3 ? designedHeights[i] : kConversionStep, forms::kConversionOptions[i].caption});
  }
  c.push_back({FrmConversion::kProgressLabel, Kind::Label, 270, kFrameTop + 1800 + kConversionAdded, 5775, 240});
  c.push_back({"Line1", Kind::Line, 270, kFrameTop + 1890 + kConversionAdded + 270, 5775, 30});
  c.push_back({FrmConversion::kBar, Kind::Progress, 270, kFrameTop + 2040 + kConversionAdded, 5775, 255});
  c.push_back({FrmConversion::kCodePage, Kind::Combo, 120, 3120 + kConversionAdded, 1590, 435});
  c.push_back({FrmConversion::kStart, Kind::Button, 1800, 3120 + kConversionAdded, 2175, 435,
               FrmConversion::kStartCaption});
  return c;
}

std::vector<ControlSpec> ServerControls() {
  return {
      {"lblServerAddress", Kind::Label, 120, 120, 5000, 270, forms::kServerAddressPrompt},
      {"txtServerAddress", Kind::TextBox, 120, 420, 5000, 330},
      {"lblServerUser", Kind::Label, 120, 870, 5000, 270, forms::kServerUserPrompt},
      {"txtServerUser", Kind::TextBox, 120, 1170, 5000, 330},
      {"lblServerPassword", Kind::Label, 120, 1620, 5000, 270, forms::kServerPasswordPrompt},
      {"txtServerPassword", Kind::PasswordBox, 120, 1920, 5000, 330},
      {"CmdServerOK", Kind::Button, 2520, 2490, 1200, 435, "OK"},
      {"CmdServerCancel", Kind::Button, 3920, 2490, 1200, 435, "Cancel"},
  };
}

std::vector<ControlSpec> AboutControls() {
  using forms::AboutFrm;
  // The banner (Image1, 360 x 59 pixels) is drawn as its three texts.
  return {
      {"Image1", Kind::TitleLabel, 240, 150, 5000, 360, AboutFrm::kBannerTitle},
      {"BannerTagline", Kind::Label, 240, 540, 5000, 240, AboutFrm::kBannerTagline},
      {"Label2", Kind::Label, 240, (59 + 14) * 15, 3300, 270, AboutFrm::kVersionText},
      {"Label3", Kind::BoldLabel, 240, (59 + 34) * 15, 3300, 270, AboutFrm::kWebAddress},
      {"CmdOK", Kind::Button, (360 - 16 - 90) * 15, (59 + 66) * 15, 90 * 15, 26 * 15, AboutFrm::kOkCaption},
  };
}

}  // namespace win32
