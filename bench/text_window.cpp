#include "platform/first_frame.h"
#include "platform/look.h"

#include <QApplication>
#include <QLabel>

// The start-up benchmark's reference: the bare window plus one line of
// Chinese in each of the two faces the program uses, substituted as the
// program substitutes them. Below this a window cannot show the program's
// text at all.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kr4720::platform::installFontSubstitutions();
    QWidget window;
    window.setWindowTitle(QStringLiteral("text"));
    window.resize(792, 548);
    auto* kai = new QLabel(QStringLiteral("信道设置系统"), &window);
    kai->setFont(kr4720::platform::kaiFont(26.25));
    kai->move(280, 32);
    auto* song = new QLabel(QStringLiteral("读信道数据  写信道数据"), &window);
    song->setFont(kr4720::platform::songFont(15.75));
    song->move(280, 80);
    kr4720::platform::quitAfterFirstFrameIfAsked(&window);
    window.show();
    return QApplication::exec();
}
