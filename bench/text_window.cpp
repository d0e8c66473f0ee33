#include "platform/first_frame.h"

#include <QApplication>
#include <QFont>
#include <QLabel>

// The bare window plus one line of Chinese text in the Kai face the program
// uses: a reference for how much of the program's start-up is the cost of
// drawing CJK text at all.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QFont::insertSubstitutions(QStringLiteral("楷体_GB2312"), {"KaiTi", "AR PL UKai CN"});
    QWidget window;
    window.setWindowTitle(QStringLiteral("text"));
    window.resize(792, 548);
    auto* label = new QLabel(QStringLiteral("信道设置系统"), &window);
    QFont font(QStringLiteral("楷体_GB2312"));
    font.setPointSizeF(26.25);
    label->setFont(font);
    label->move(280, 32);
    kr4720::platform::quitAfterFirstFrameIfAsked(&window);
    window.show();
    return QApplication::exec();
}
