#include <gtest/gtest.h>

#include <QCoreApplication>

// The real backends need a running Qt application for their sockets, timers and waits.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
