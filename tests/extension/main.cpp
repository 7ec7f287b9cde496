#include <gtest/gtest.h>

#include <QCoreApplication>

// The backend needs a running Qt application for its sockets and nested waits.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
