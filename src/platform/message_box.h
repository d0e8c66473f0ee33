#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kr4720::platform {

enum class MessageIcon { None, Information, Exclamation };

struct Message {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    // A second, smaller line under the text: the device, the value or the
    // library's own words that help the user. Empty for none. The braces let
    // a message be written {text, title, icon} without a -Wextra warning.
    QString informativeText{};
};

// Every message box of the program goes through here: a modal box with the
// text, the title, the icon and one OK button. Tests install a handler that
// sees and answers each message instead of a human.
void showMessage(QWidget* parent, const Message& message);
// The same box with 是 and 否 for a question; true for 是.
bool askQuestion(QWidget* parent, const Message& message);

// Sees each message instead of the user and answers it (the answer counts
// for a question only).
using MessageHandler = std::function<bool(const Message&)>;
// Replaces the modal box; an empty handler brings the box back.
void setMessageHandler(MessageHandler handler);

// The titles the program's messages use.
inline QString dataErrorTitle() {
    return QStringLiteral("错误警告 ");
}
inline QString portMessageTitle() {
    return QStringLiteral("系统信息");
}

// A command that would change the port or the rows while a write sends them.
inline Message transferRunningMessage() {
    return {QStringLiteral("正在传送数据，请等传送结束后再操作 "),
            portMessageTitle(),
            MessageIcon::Exclamation,
            {}};
}

} // namespace kr4720::platform
