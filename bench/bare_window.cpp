#include "platform/first_frame.h"

#include <QApplication>
#include <QWidget>

// A bare Qt Widgets window of the same client size as the program's main
// window: the baseline the start-up benchmark compares against.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(792, 548);
    kr4720::platform::quitAfterFirstFrameIfAsked(&window);
    window.show();
    return QApplication::exec();
}
