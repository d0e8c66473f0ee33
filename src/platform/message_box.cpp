#include "platform/message_box.h"

#include <QMessageBox>

namespace kr4720::platform {
namespace {

MessageHandler& handler() {
    static MessageHandler instance;
    return instance;
}

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

bool ask(QWidget* parent, const Message& message, QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton byDefault) {
    if (handler()) {
        return handler()(message);
    }
    QMessageBox box(toQt(message.icon), message.title, message.text, buttons, parent);
    box.setInformativeText(message.informativeText);
    box.setDefaultButton(byDefault);
    return box.exec() != QMessageBox::No;
}

} // namespace

void showMessage(QWidget* parent, const Message& message) {
    ask(parent, message, QMessageBox::Ok, QMessageBox::Ok);
}

bool askQuestion(QWidget* parent, const Message& message) {
    // 否 is the default: Enter pressed by mistake does not throw work away.
    return ask(parent, message, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
}

void setMessageHandler(MessageHandler newHandler) {
    handler() = std::move(newHandler);
}

} // namespace kr4720::platform
