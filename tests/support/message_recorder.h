#pragma once

#include "platform/message_box.h"

#include <QList>

// Answers every message box at once and keeps what it was asked to show.
class MessageRecorder {
public:
    MessageRecorder() {
        kr4720::platform::setMessageHandler(
            [this](const kr4720::platform::Message& message) { messages.append(message); });
    }
    ~MessageRecorder() { kr4720::platform::setMessageHandler({}); }

    QStringList texts() const {
        QStringList list;
        for (const auto& message : messages) {
            list << message.text;
        }
        return list;
    }

    QList<kr4720::platform::Message> messages;
};
