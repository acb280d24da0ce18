#include <gtest/gtest.h>

#include "platform/automation/AddressBookReader.h"
#include "platform/automation/Automation.h"

using namespace automation;

namespace {
struct Thing : Object {
  int id = 0;
};
}  // namespace

TEST(AutomationTest, CreatesByProgIdAndFailsForMissingOrWrongComponents) {
  auto& r = Registry::Instance();
  EXPECT_THROW(r.CreateObject("Nobody.Here"), AutomationError);
  {
    ScopedRegistration reg("Test.Thing", [] { return std::make_shared<Thing>(); });
    auto t = r.Create<Thing>("Test.Thing");
    ASSERT_TRUE(t);
    // Asking for an interface the component lacks fails like a missing one.
    EXPECT_THROW(r.Create<AddressBookReader>("Test.Thing"), AutomationError);
  }
  EXPECT_FALSE(r.IsRegistered("Test.Thing"));
}

TEST(AutomationTest, ScopedRegistrationRestoresTheEarlierFactory) {
  auto& r = Registry::Instance();
  r.Register("Test.Outer", [] { auto t = std::make_shared<Thing>(); t->id = 1; return t; });
  {
    ScopedRegistration reg("Test.Outer", [] { auto t = std::make_shared<Thing>(); t->id = 2; return t; });
    EXPECT_EQ(r.Create<Thing>("Test.Outer")->id, 2);
  }
  EXPECT_EQ(r.Create<Thing>("Test.Outer")->id, 1);
  r.Unregister("Test.Outer");
  // A factory that hands out nothing is a component that failed to start.
  ScopedRegistration broken("Test.Broken", [] { return std::shared_ptr<Object>(); });
  EXPECT_THROW(r.CreateObject("Test.Broken"), AutomationError);
}

// Every order of fields is checked with IsOrderOfAllFields; a checker that let
// a slip through would make all those checks pass for nothing.
namespace {
constexpr std::array<ReaderField, kReaderFieldCount> AllFieldsWith(std::size_t at, ReaderField f) {
  std::array<ReaderField, kReaderFieldCount> a{};
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = static_cast<ReaderField>(kReaderFieldCount - 1 - i);
  if (at < a.size()) a[at] = f;
  return a;
}
static_assert(IsOrderOfAllFields(AllFieldsWith(kReaderFieldCount, ReaderField::Name)));  // any order of all
static_assert(!IsOrderOfAllFields(AllFieldsWith(0, ReaderField::Country)));  // one twice, HomeCountry lost
static_assert(!IsOrderOfAllFields(AllFieldsWith(5, static_cast<ReaderField>(kReaderFieldCount))));  // no such field
static_assert(!IsOrderOfAllFields(std::array{ReaderField::Name, ReaderField::Surname}));  // too few
}  // namespace
