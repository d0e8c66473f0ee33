#pragma once

#include "platform/message_box.h"

#include <QList>

#include <functional>

#include <gtest/gtest.h>

// Answers every message box at once and keeps what it was asked to show.
class MessageRecorder {
public:
    MessageRecorder() { record(); }
    // Records from now on (again), running `first` as each message comes.
    void record(const std::function<void()>& first = [] {}) {
        kr4720::platform::setMessageHandler(
            [this, first](const kr4720::platform::Message& message) {
                first();
                messages.append(message);
                return answer;
            });
    }
    ~MessageRecorder() { kr4720::platform::setMessageHandler({}); }

    QStringList texts() const {
        QStringList list;
        for (const auto& message : messages) {
            list << message.text;
        }
        return list;
    }
    // Checks the one message shown so far, then forgets it.
    void expectOne(const QString& text, const QString& title, kr4720::platform::MessageIcon icon,
                   const QString& informative = {}) {
        ASSERT_EQ(messages.size(), 1) << texts().join('|').toStdString();
        EXPECT_EQ(messages[0].text, text);
        EXPECT_EQ(messages[0].title, title);
        EXPECT_EQ(messages[0].icon, icon);
        EXPECT_TRUE(messages[0].informativeText.contains(informative))
            << messages[0].informativeText.toStdString();
        messages.clear();
    }

    QList<kr4720::platform::Message> messages;
    bool answer = true; // to a question
};
