#pragma once

#include "main_window/channel_grid.h"
#include "main_window/start_window.h"
#include "platform/first_frame.h"
#include "support/channel_rows.h"
#include "support/message_recorder.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The main window on fresh database files in a folder of its own, with every
// message box it shows recorded.
class WindowFixture : public ::testing::Test {
protected:
    // Backups go to the test's folder, never to the user's.
    WindowFixture() { qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path())); }
    void TearDown() override {
        window.reset();
        qunsetenv("KR4720_COM1");
        qunsetenv("KR4720_COM2");
        qunsetenv("XDG_DATA_HOME");
    }
    // Makes and starts a new window whose first port is `port`.
    void start(const std::string& port, QDate today = QDate(2026, 12, 6)) {
        window.reset();
        qputenv("KR4720_COM1", QByteArray::fromStdString(port));
        window = std::make_unique<kr4720::main_window::StartWindow>(
            kr4720::main_window::StartWindowOptions{folder.path(), [today] { return today; }});
        window->startUp();
        // The port opens once the window has painted.
        bool up = false;
        kr4720::platform::afterFirstFrame(window.get(), [&up] { up = true; });
        ASSERT_TRUE(pumpUntil([&up] { return up; }, 10000));
    }
    template <typename T = QWidget> T* child(const char* name) const {
        return window->findChild<T*>(QString::fromUtf8(name));
    }
    // Opens a cell's editor as a user would and types over its text, without Enter.
    void typeInto(int row, int column, const QString& text) {
        const QModelIndex cell = window->grid()->model()->index(row, column);
        window->grid()->setCurrentIndex(cell);
        window->grid()->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(window->grid()->focusWidget());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), cell.data().toString()); // starts from what the cell shows
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }
    void setRow(int row, const std::vector<kr4720::FieldValue>& fields) {
        setChannelRow(window->channelCursor(), row, fields);
    }
    // Field `field` of row `row` (both from 0) as the window's cursor holds it.
    kr4720::FieldValue value(int row, int field) {
        window->channelCursor().storePending();
        return window->channelCursor().value(row, field);
    }
    // Fields 1 to 9 of row `row`.
    std::vector<kr4720::FieldValue> rowValues(int row) {
        std::vector<kr4720::FieldValue> fields;
        for (int field = 1; field <= 9; ++field) {
            fields.push_back(value(row, field));
        }
        return fields;
    }
    // Runs an event loop, as the program does, until `done` or the time is up.
    static bool pumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
        check.start(2);
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        if (!done()) {
            loop.exec();
        }
        return done();
    }
    // Object names of the visible top-level windows, sorted.
    static QStringList visibleWindows() {
        QStringList names;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && !widget->parentWidget()) {
                names << widget->objectName();
            }
        }
        names.sort();
        return names;
    }
    // The one visible top-level window of that name, or null when there are
    // none or several.
    static QWidget* visibleWindow(const QString& name) {
        QWidgetList found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && widget->objectName() == name) {
                found << widget;
            }
        }
        return found.size() == 1 ? found.first() : nullptr;
    }

    TempFolder folder;
    MessageRecorder messages;
    std::unique_ptr<kr4720::main_window::StartWindow> window;
};
