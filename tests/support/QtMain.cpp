#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

// The real backends need a running Qt application for their sockets, timers and nested
// waits.
int main(int argc, char** argv) {
    // A fake browser writing to a bridge that has ended gets an error, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
