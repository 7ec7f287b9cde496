// The Qt tests share one application object on the offscreen platform they are written
// for, made only when tests run: listing them (discovery at build time) needs none.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

struct QtApplication : ::testing::Environment {
    explicit QtApplication(char** argv) : argv_(argv) {}
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }
    int argc_ = 1;
    char** argv_;
    std::unique_ptr<QApplication> app_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new QtApplication(argv));
    return RUN_ALL_TESTS();
}
