// The least a Qt Widgets program does to show a window: the baseline that
// scripts/measure-performance sets Surfdeck's start-up, memory and idle figures against.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal Qt"));
    window.setGeometry(200, 120, 165, 66);
    window.show();
    return app.exec();
}
