// One QApplication for every test of the executable, made before the first
// test runs (listing the tests needs none). Windows stay off screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    // Headless unless told otherwise, also when run by hand or by a runner
    // that does not pass the test's environment on.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "addrivo-test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const g_qt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace
