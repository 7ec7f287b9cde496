#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>

namespace surfdeck {

void QtEventLoop::doEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::quit() {
    quitRequested_ = true;
    // exit, not quit: quit asks every window to close first, and ours turn a close
    // into an unload.
    QCoreApplication::exit(0);
}

int QtEventLoop::run() {
    if (quitRequested_) return 0;
    return QCoreApplication::exec();
}

}  // namespace surfdeck
