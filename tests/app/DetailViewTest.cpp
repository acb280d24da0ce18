#include <QTabWidget>
#include <QtTest/QTest>

#include "MainWindowFixture.h"

using testsupport::FakeAddressBook;
using testsupport::MainWindowTest;

namespace {
// Record position → reader key, as the boxes receive them.
const char* kPositionKeys[21] = {"Name",          "MiddleName",  "Surname",     "HomeEmail",  "CompanyName",
                                 "BusinessAddress", "City",      "Postal",      "Province",   "Country",
                                 "OfficeLocation", "CompanyURL", "Department",  "BusinessPhone", "BusinessFax",
                                 "CellPhone",     "HomeAddress", "Country",     "HomePhone",  "Fax",
                                 "Comment"};
}  // namespace

class DetailViewTest : public MainWindowTest {
 protected:
  void ExpectShows(const FakeAddressBook::Contact& c) {
    for (int i = 0; i < 21; ++i) {
      auto it = c.find(kPositionKeys[i]);
      const QString value = it == c.end() ? QString() : QString::fromStdString(it->second);
      EXPECT_EQ(BoxText(forms::ContactDetailView::MappedBoxNames()[i]), value)
          << forms::ContactDetailView::MappedBoxNames()[i];
    }
    for (const char* name : forms::ContactDetailView::UnfilledBoxNames()) EXPECT_TRUE(BoxText(name).isEmpty()) << name;
  }
  QString Header() const { return Control<QLabel>("LblTopName")->text(); }
};

TEST_F(DetailViewTest, EveryFieldReachesItsBoxAndNoneTheElevenOthers) {
  fake.reader->contacts = {Full("a-"), Full("b-")};
  BrowseAndScan();
  Click(ContactNamed(QStringLiteral("a-Name")));
  ExpectShows(fake.reader->contacts[0]);
  EXPECT_FALSE(Control("ImgContact")->isHidden());
  EXPECT_EQ(Header(), QStringLiteral("a-Name a-MiddleName a-Surname"));
  // The mobile number is the business one on tab 2, the home fax and the
  // second country copy are on tab 3.
  EXPECT_EQ(BoxText("txtBusinessCellPhone"), QStringLiteral("a-CellPhone"));
  EXPECT_EQ(BoxText("txtHomeFax"), QStringLiteral("a-Fax"));
  EXPECT_EQ(BoxText("txtHomeCountry"), QStringLiteral("a-Country"));
  EXPECT_TRUE(BoxText("txtHomeCellPhone").isEmpty());

  Click(ContactNamed(QStringLiteral("b-Name")));
  ExpectShows(fake.reader->contacts[1]);
  EXPECT_EQ(Header(), QStringLiteral("b-Name b-MiddleName b-Surname"));
}

TEST_F(DetailViewTest, HeaderJoinsNamesWithSingleSpacesAndTrimsNothing) {
  fake.reader->contacts = {Person("Ann", "", "Lee"), Person("Bob", "J.", "Ray"), Person("", "", "Solo"),
                           Person(" Cy ", "", "Dee")};
  BrowseAndScan();
  Click(ContactNamed(QStringLiteral("Ann")));
  EXPECT_EQ(Header(), QStringLiteral("Ann Lee"));
  Click(ContactNamed(QStringLiteral("Bob")));
  EXPECT_EQ(Header(), QStringLiteral("Bob J. Ray"));
  Click(ContactNamed(QString()));
  EXPECT_EQ(Header(), QStringLiteral(" Solo"));
  Click(ContactNamed(QStringLiteral("Cy")));
  EXPECT_EQ(Header(), QStringLiteral(" Cy  Dee"));
  EXPECT_EQ(BoxText("txtFirstName"), QStringLiteral(" Cy "));
}

TEST_F(DetailViewTest, AllEmptyContactEmptiesEveryBoxAndLeavesASpaceAsHeader) {
  FakeAddressBook::Contact empty;
  fake.reader->contacts = {Full("x"), empty};
  BrowseAndScan();
  Click(ContactNamed(QStringLiteral("xName")));
  Click(ContactNamed(QString()));
  EXPECT_EQ(Header(), QStringLiteral(" "));
  ExpectShows(empty);
  EXPECT_FALSE(Control("ImgContact")->isHidden());
}

TEST_F(DetailViewTest, RootAndGroupNodesLeaveTheViewAsItWas) {
  fake.reader->contacts = {Full("a-")};
  BrowseAndScan();
  Click(Item("WAB Contacts"));
  Click(Item("A"));
  EXPECT_TRUE(Header().isEmpty());
  EXPECT_TRUE(Control("ImgContact")->isHidden());
  ExpectShows({});

  Click(ContactNamed(QStringLiteral("a-Name")));
  Click(Item("Other"));
  Click(Item("WAB Contacts"));
  EXPECT_EQ(Header(), QStringLiteral("a-Name a-MiddleName a-Surname"));
  ExpectShows(fake.reader->contacts[0]);
  // A new Browse rebuilds the tree; the view still shows the last contact.
  Browse(QStringLiteral("/books/next.wab"));
  ExpectShows(fake.reader->contacts[0]);
}

TEST_F(DetailViewTest, ValuesWithBarsLineBreaksAndMarkupShowAsTheyWere) {
  FakeAddressBook::Contact c = Full("v");
  c["Name"] = "<b>Ann</b>";
  c["CompanyName"] = "A|B";
  c["BusinessAddress"] = "1 Main St|Unit 2";
  c["Comment"] = "line 1\nline|2";
  c["City"] = "|";
  fake.reader->contacts = {c};
  BrowseAndScan();
  Click(ContactNamed(QStringLiteral("<b>Ann</b>")));
  ExpectShows(c);
  EXPECT_EQ(Header(), QStringLiteral("<b>Ann</b> vMiddleName vSurname"));
  EXPECT_EQ(Control<QLabel>("LblTopName")->textFormat(), Qt::PlainText);
}

TEST_F(DetailViewTest, ClickingDoesNotChangeTheSelectedTab) {
  fake.reader->contacts = {Full("a-")};
  BrowseAndScan();
  auto* tabs = Control<QTabWidget>("OsenXPTab1");
  tabs->setCurrentIndex(2);
  Click(ContactNamed(QStringLiteral("a-Name")));
  EXPECT_EQ(tabs->currentIndex(), 2);
}

TEST_F(DetailViewTest, AMouseClickOnAContactNodeShowsIt) {
  fake.reader->contacts = {Full("a-")};
  BrowseAndScan();
  QTreeWidgetItem* node = ContactNamed(QStringLiteral("a-Name"));
  node->parent()->setExpanded(true);
  TreeView()->scrollToItem(node);
  QApplication::processEvents();
  const QRect r = TreeView()->visualItemRect(node);
  ASSERT_TRUE(r.isValid());
  QTest::mouseClick(TreeView()->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(Header(), QStringLiteral("a-Name a-MiddleName a-Surname"));
}
