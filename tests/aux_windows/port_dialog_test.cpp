#include "aux_windows/aux_windows.h"
#include "aux_windows/port_dialog.h"
#include "main_window/start_window.h"
#include "platform/serial_port.h"
#include "support/message_recorder.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kr4720;
using aux_windows::PortDialog;
using main_window::StartWindow;

namespace {

const QString kPortOneTaken = QStringLiteral("串行端口 1 已被使用 ");
const QString kPortTwoTaken = QStringLiteral("串行端口 2 已被使用， ");

class PortDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("KR4720_COM1", QByteArray::fromStdString(pty1.path()));
        qputenv("KR4720_COM2", QByteArray::fromStdString(pty2.path()));
    }
    void TearDown() override {
        aux_windows::closeAuxWindows();
        settle();
        qunsetenv("KR4720_COM1");
        qunsetenv("KR4720_COM2");
    }
    std::unique_ptr<StartWindow> start() {
        auto window = std::make_unique<StartWindow>(main_window::StartWindowOptions{folder.path()});
        window->startUp();
        // The handshake would take the input these tests look at.
        window->timer3().stop();
        return window;
    }
    // Runs the deletions that closing a window leaves behind.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    template <typename T> static T* child(QWidget* window, const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    static void press(QWidget* dialog, const char* button) {
        QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
    }
    static void choose(QWidget* dialog, const char* option) {
        auto* button = child<QRadioButton>(dialog, option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }
    static bool selected(QWidget* dialog, const char* option) {
        return child<QRadioButton>(dialog, option)->isChecked();
    }
    // Puts bytes into the program's receive buffer; a reopened port would lose them.
    void receive(platform::SerialPort& port, PseudoTerminal& pty, const std::string& text) {
        pty.send(text);
        for (int i = 0; i < 50 && port.inBufferCount() < static_cast<int>(text.size()); ++i) {
            port.waitForInput(std::chrono::milliseconds(20));
        }
        ASSERT_EQ(port.inBufferCount(), static_cast<int>(text.size()));
    }

    TempFolder folder;
    PseudoTerminal pty1;
    PseudoTerminal pty2;
    MessageRecorder messages;
};

} // namespace

TEST_F(PortDialogTest, ShowsItsCaptionsControlsAndTabOrder) {
    auto window = start();
    PortDialog* dialog = PortDialog::open(window->serialPort());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isWindow());
    EXPECT_EQ(dialog->parentWidget(), nullptr);
    EXPECT_EQ(dialog->objectName(), "Dialog");
    EXPECT_EQ(dialog->windowTitle(), "选择端口");
    EXPECT_EQ(dialog->size(), QSize(200, 186));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->isHidden()); // modeless: the main window stays usable
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    auto* label1 = child<QLabel>(dialog, "Label1");
    EXPECT_EQ(label1->text(), "请选择串行口:");
    EXPECT_EQ(label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    auto* option1 = child<QRadioButton>(dialog, "Option1");
    auto* option2 = child<QRadioButton>(dialog, "Option2");
    EXPECT_EQ(option1->text(), " COM1");
    EXPECT_EQ(option2->text(), " COM2");
    EXPECT_EQ(option1->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(option2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    auto* ok = child<QPushButton>(dialog, "OKButton");
    auto* cancel = child<QPushButton>(dialog, "CancelButton");
    EXPECT_EQ(ok->text(), "确定");
    EXPECT_EQ(cancel->text(), "取消");
    EXPECT_FALSE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
    for (QWidget* control : {static_cast<QWidget*>(label1), static_cast<QWidget*>(option1),
                             static_cast<QWidget*>(option2), static_cast<QWidget*>(ok),
                             static_cast<QWidget*>(cancel)}) {
        EXPECT_TRUE(dialog->rect().contains(control->geometry()))
            << control->objectName().toStdString();
    }

    EXPECT_EQ(dialog->focusWidget(), ok);
    EXPECT_EQ(ok->nextInFocusChain(), cancel);
    EXPECT_EQ(cancel->nextInFocusChain(), option1);
    EXPECT_EQ(option1->nextInFocusChain(), option2);

    // The two options are one group.
    choose(dialog, "Option2");
    EXPECT_TRUE(option2->isChecked());
    EXPECT_FALSE(option1->isChecked());

    // Escape is nobody's: the dialog has no cancel button.
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(PortDialogTest, OkOnTheCurrentPortClosesWithoutTouchingTheLinkEvenWhenClosed) {
    auto window = start();
    platform::SerialPort& port = window->serialPort();
    ASSERT_TRUE(port.isOpen());
    receive(port, pty1, "xyz");

    QPointer<PortDialog> dialog = PortDialog::open(port);
    EXPECT_TRUE(selected(dialog, "Option1"));
    EXPECT_FALSE(selected(dialog, "Option2"));
    press(dialog, "OKButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(PortDialog::instance(), nullptr);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1);
    // Not closed and reopened: what had arrived is still waiting.
    EXPECT_EQ(port.inBufferCount(), 3);
    EXPECT_EQ(port.input(), "x");

    port.close();
    dialog = PortDialog::open(port);
    EXPECT_TRUE(selected(dialog, "Option1"));
    press(dialog, "OKButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(PortDialogTest, AFailedSwitchLeavesTheLinkClosedOnTheNewNumberUntilAGoodOne) {
    qputenv("KR4720_COM2", "/nonexistent/kr4720-com2");
    auto window = start();
    platform::SerialPort& port = window->serialPort();
    ASSERT_TRUE(port.isOpen());

    QPointer<PortDialog> dialog = PortDialog::open(port);
    choose(dialog, "Option2");
    press(dialog, "OKButton");
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].text, kPortTwoTaken);
    EXPECT_EQ(messages.messages[0].title, "系统信息");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Exclamation);
    settle();
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(selected(dialog, "Option2"));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 2);

    press(dialog, "CancelButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 2);
    EXPECT_EQ(messages.messages.size(), 1);

    // The transfers find the port closed and say so; nothing reaches the old port.
    pty1.readAvailable();
    window->writeChannels();
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(messages.messages[1].title, "系统信息");
    EXPECT_EQ(pty1.readAvailable(), "");

    // Reopened, the dialog shows the failed number; OK on it leaves the link closed.
    dialog = PortDialog::open(port);
    EXPECT_TRUE(selected(dialog, "Option2"));
    EXPECT_FALSE(selected(dialog, "Option1"));
    press(dialog, "OKButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(messages.messages.size(), 2);

    dialog = PortDialog::open(port);
    choose(dialog, "Option1");
    press(dialog, "OKButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(messages.messages.size(), 2);
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_TRUE(port.output("C"));
    EXPECT_EQ(pty1.readAvailable(), "C");
}

TEST_F(PortDialogTest, SwitchingToPortOneCanFailAndTheOtherWayRoundSucceed) {
    qputenv("KR4720_COM1", "/nonexistent/kr4720-com1");
    auto window = start(); // falls back to COM2
    platform::SerialPort& port = window->serialPort();
    ASSERT_TRUE(port.isOpen());
    ASSERT_EQ(port.portNumber(), 2);
    messages.messages.clear();

    QPointer<PortDialog> dialog = PortDialog::open(port);
    EXPECT_TRUE(selected(dialog, "Option2"));
    EXPECT_FALSE(selected(dialog, "Option1"));
    choose(dialog, "Option1");
    press(dialog, "OKButton");
    EXPECT_EQ(messages.texts(), QStringList{kPortOneTaken});
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].title, "系统信息");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1);

    // Port 1 present again, but the number is already 1: OK just closes.
    qputenv("KR4720_COM1", QByteArray::fromStdString(pty1.path()));
    press(dialog, "OKButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_FALSE(port.isOpen());

    dialog = PortDialog::open(port);
    choose(dialog, "Option2");
    press(dialog, "OKButton");
    settle();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 2);
    EXPECT_TRUE(port.output("B"));
    EXPECT_EQ(pty2.readAvailable(), "B");
    EXPECT_EQ(messages.messages.size(), 1);

    // A port that is there but held by someone else fails the same way.
    platform::SerialPort holder;
    ASSERT_TRUE(holder.open()); // port 1, the pseudo-terminal
    dialog = PortDialog::open(port);
    choose(dialog, "Option1");
    press(dialog, "OKButton");
    EXPECT_EQ(messages.texts(), (QStringList{kPortOneTaken, kPortOneTaken}));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_TRUE(holder.isOpen());
}

TEST_F(PortDialogTest, WithNeitherOptionSelectedOkDoesNothing) {
    auto window = start();
    platform::SerialPort& port = window->serialPort();
    port.close();
    ASSERT_TRUE(port.setPortNumber(3));

    PortDialog* dialog = PortDialog::open(port);
    EXPECT_FALSE(selected(dialog, "Option1"));
    EXPECT_FALSE(selected(dialog, "Option2"));
    press(dialog, "OKButton");
    settle();
    EXPECT_EQ(PortDialog::instance(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 3);
    EXPECT_TRUE(messages.messages.isEmpty());

    press(dialog, "CancelButton");
    settle();
    EXPECT_EQ(PortDialog::instance(), nullptr);
    EXPECT_EQ(port.portNumber(), 3);
}

TEST_F(PortDialogTest, OneDialogAtATimeMadeAfreshAfterItCloses) {
    auto window = start();
    platform::SerialPort& port = window->serialPort();

    QPointer<PortDialog> first = PortDialog::open(port);
    // Opening again brings the same dialog forward as it is, without loading again.
    port.close();
    ASSERT_TRUE(port.setPortNumber(2));
    EXPECT_EQ(PortDialog::open(port), first.data());
    EXPECT_TRUE(selected(first, "Option1"));
    int dialogs = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        dialogs += qobject_cast<PortDialog*>(widget) != nullptr && widget->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(dialogs, 1);

    press(first, "CancelButton");
    EXPECT_EQ(PortDialog::instance(), nullptr);
    // Asked for before the closed one is deleted, a new dialog comes all the same.
    QPointer<PortDialog> second = PortDialog::open(port);
    settle();
    EXPECT_TRUE(first.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    EXPECT_TRUE(selected(second, "Option2"));
    EXPECT_FALSE(selected(second, "Option1"));
    EXPECT_EQ(port.portNumber(), 2);
    EXPECT_FALSE(port.isOpen()); // Cancel touched nothing

    aux_windows::closeAuxWindows();
    settle();
    EXPECT_TRUE(second.isNull());
}
