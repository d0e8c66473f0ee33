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

} // namespace

void showMessage(QWidget* parent, const Message& message) {
    if (handler()) {
        handler()(message);
        return;
    }
    QMessageBox box(toQt(message.icon), message.title, message.text, QMessageBox::Ok, parent);
    box.setInformativeText(message.informativeText);
    box.exec();
}

void setMessageHandler(MessageHandler newHandler) {
    handler() = std::move(newHandler);
}

} // namespace kr4720::platform
