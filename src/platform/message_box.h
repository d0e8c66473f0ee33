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
    // library's own words that help the user. Empty for none.
    QString informativeText = {};
};

// Every message box of the program goes through here: a modal box with the
// text, the title, the icon and one OK button. Tests install a handler that
// sees and answers each message instead of a human.
void showMessage(QWidget* parent, const Message& message);

using MessageHandler = std::function<void(const Message&)>;
// Replaces the modal box; an empty handler brings the box back.
void setMessageHandler(MessageHandler handler);

// The titles the program's messages use.
inline QString dataErrorTitle() {
    return QStringLiteral("错误警告 ");
}
inline QString portMessageTitle() {
    return QStringLiteral("系统信息");
}

} // namespace kr4720::platform
