#include "aux_windows/about_window.h"
#include "aux_windows/instructions_window.h"
#include "aux_windows/port_dialog.h"
#include "aux_windows/program_icon.h"
#include "aux_windows/system_info.h"
#include "platform/serial_port.h"
#include "support/window_fixture.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace kr4720;
using aux_windows::AboutWindow;
using aux_windows::InstructionsWindow;
using aux_windows::PortDialog;

namespace {

class AuxWindowsTest : public WindowFixture {
protected:
    void SetUp() override {
        qputenv("KR4720_COM2", QByteArray::fromStdString(pty2.path()));
        start(pty1.path());
        window->timer3().stop(); // the handshake would take the input these tests look at
    }
    void TearDown() override {
        window->close(); // and with it every window that a test left open
        settle();
        WindowFixture::TearDown();
    }
    // Runs the deletions that closing a window leaves behind.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    template <typename T> static T* in(QWidget* window, const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    static void press(QWidget* dialog, const char* button) {
        QTest::mouseClick(in<QPushButton>(dialog, button), Qt::LeftButton);
        settle();
    }
    static void choose(QWidget* dialog, const char* option) {
        auto* button = in<QRadioButton>(dialog, option);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }
    // Which of COM1 and COM2 the dialog shows selected: 1, 2 or 0 for neither.
    static int selected(QWidget* dialog) {
        return in<QRadioButton>(dialog, "Option1")->isChecked()   ? 1
               : in<QRadioButton>(dialog, "Option2")->isChecked() ? 2
                                                                  : 0;
    }

    PseudoTerminal pty1, pty2;
};

} // namespace

TEST_F(AuxWindowsTest, PortDialogOkOpensTheChosenPortOrSaysWhyNotAndTheDialogIsOneAtATime) {
    platform::SerialPort& port = window->serialPort();
    for (const auto& [sent, waiting] : {std::pair("x", 1), std::pair("yz", 3)}) {
        pty1.send(sent); // a lone character, as the radio's "C", is taken too
        ASSERT_TRUE(QTest::qWaitFor([&] { return port.inBufferCount() == waiting; }, 1000));
    }
    // OK on the open current port: not closed and reopened, what had arrived
    // is still waiting.
    QPointer<PortDialog> dialog = PortDialog::open(port);
    EXPECT_EQ(selected(dialog), 1);
    press(dialog, "OKButton");
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.inBufferCount(), 3);

    // A switch to an absent port leaves the link closed on the new number.
    qputenv("KR4720_COM2", "/nonexistent/tty");
    dialog = PortDialog::open(port);
    choose(dialog, "Option2");
    press(dialog, "OKButton");
    messages.expectOne("串行端口 2 已被使用， ", "系统信息", platform::MessageIcon::Exclamation,
                       "设备 /nonexistent/tty：");
    ASSERT_TRUE(dialog && dialog->isVisible());
    press(dialog, "CancelButton");
    EXPECT_TRUE(dialog.isNull());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 2);

    // Reopened, the dialog shows the failed number; switching back opens the good port.
    pty1.readAvailable();
    dialog = PortDialog::open(port);
    EXPECT_EQ(selected(dialog), 2);
    choose(dialog, "Option1");
    press(dialog, "OKButton");
    EXPECT_TRUE(dialog.isNull());
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 1);
    EXPECT_TRUE(port.output("C"));
    EXPECT_EQ(pty1.readAvailable(), "C");

    // OK on the current port, closed and still missing: the message, and the dialog stays.
    port.close();
    qputenv("KR4720_COM1", "/nonexistent/tty");
    dialog = PortDialog::open(port);
    press(dialog, "OKButton");
    EXPECT_FALSE(dialog.isNull());
    EXPECT_FALSE(port.isOpen());
    messages.expectOne("串行端口 1 已被使用 ", "系统信息", platform::MessageIcon::Exclamation);

    // The dialog is one at a time and does nothing with neither option selected.
    // Opening again brings the same dialog forward as it is, without loading again.
    ASSERT_TRUE(port.setPortNumber(3));
    EXPECT_EQ(PortDialog::open(port), dialog.data());
    EXPECT_EQ(selected(dialog), 1);
    QTest::mouseClick(in<QPushButton>(dialog, "CancelButton"), Qt::LeftButton);
    EXPECT_EQ(PortDialog::instance(), nullptr);
    // Asked for before the closed one is deleted, a new dialog comes all the same.
    QPointer<PortDialog> second = PortDialog::open(port);
    settle();
    EXPECT_TRUE(dialog.isNull());
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(selected(second), 0);
    press(second, "OKButton");
    EXPECT_TRUE(second->isVisible());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.portNumber(), 3);
    // Escape is nobody's: the dialog has no cancel button.
    QTest::keyClick(second, Qt::Key_Escape);
    EXPECT_TRUE(second->isVisible());
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(AuxWindowsTest, CaptionsAndTheInstructionsTextAreAsDesigned) {
    QWidget* dialog = PortDialog::open(window->serialPort());
    QWidget* about = AboutWindow::open();
    QWidget* instructions = InstructionsWindow::open();
    EXPECT_EQ(dialog->windowTitle(), "选择端口");
    EXPECT_EQ(about->windowTitle(), "关于本软件");
    EXPECT_EQ(instructions->windowTitle(), "操作说明");
    const std::tuple<QWidget*, const char*, QString> captions[] = {
        {dialog, "Label1", "请选择串行口:"},
        {dialog, "Option1", " COM1"},
        {dialog, "Option2", " COM2"},
        {dialog, "OKButton", "确定"},
        {dialog, "CancelButton", "取消"},
        {about, "lblTitle", "    KR4720写频软件"},
        {about, "lblVersion", "      版本 A1.1"},
        {about, "cmdOK", "确定"},
        {about, "cmdSysInfo", "系统信息(&S)..."},
        {instructions, "cmdOK", "确定"}};
    for (const auto& [owner, name, text] : captions) {
        auto* label = in<QLabel>(owner, name);
        auto* button = in<QAbstractButton>(owner, name);
        ASSERT_TRUE(label != nullptr || button != nullptr) << name;
        EXPECT_EQ(label != nullptr ? label->text() : button->text(), text) << name;
    }
    // Each port shows the device it leads to.
    EXPECT_EQ(in<QRadioButton>(dialog, "Option1")->toolTip().toStdString(), pty1.path());
    EXPECT_EQ(in<QRadioButton>(dialog, "Option2")->toolTip().toStdString(), pty2.path());

    // The text as the window shows it, blanks and all, in a file beside this one.
    QFile text(QStringLiteral(KR4720_TEST_DATA "/instructions.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QString expected = QString::fromUtf8(text.readAll()).chopped(1); // the file's line end
    auto* label = in<QLabel>(instructions, "lblDescription");
    EXPECT_EQ(label->text(), expected);
    EXPECT_EQ(label->textFormat(), Qt::PlainText); // blanks kept, nothing read as markup
    EXPECT_TRUE(label->wordWrap());
}

TEST_F(AuxWindowsTest, HelpWindowsAreOneEachAndCloseOnEnterOrEscape) {
    const std::vector<std::function<QWidget*()>> windows = {
        [] { return static_cast<QWidget*>(AboutWindow::open()); },
        [] { return static_cast<QWidget*>(InstructionsWindow::open()); },
    };
    for (const auto& open : windows) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            SCOPED_TRACE(testing::Message() << &open - windows.data() << " key " << key);
            QPointer<QWidget> shown = open();
            EXPECT_EQ(open(), shown.data());
            QTest::keyClick(shown->focusWidget() != nullptr ? shown->focusWidget() : shown.data(),
                            key);
            settle();
            EXPECT_TRUE(shown.isNull());
            QPointer<QWidget> next = open();
            EXPECT_TRUE(next->isVisible());
            press(next, "cmdOK");
            EXPECT_TRUE(next.isNull());
        }
    }
}

#ifndef Q_OS_WIN
TEST_F(AuxWindowsTest, SystemInformationStartsAToolFromThePathOrSaysItIsNotAvailable) {
    const QByteArray savedPath = qgetenv("PATH");
    AboutWindow* about = AboutWindow::open();
    qputenv("PATH", "");
    press(about, "cmdSysInfo");
    messages.expectOne("此时系统信息不可用", "KR4720", platform::MessageIcon::None);
    EXPECT_TRUE(about->isVisible());

    // The last tool of the list, found on the PATH, is started.
    const char* const* names = aux_windows::systemInfoToolNames();
    while (names[1] != nullptr) {
        ++names;
    }
    const QString marker = folder.file("started");
    folder.write(QString::fromLatin1(*names),
                 "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(folder.file(QString::fromLatin1(*names)),
                          QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", folder.path().toUtf8());
    press(about, "cmdSysInfo");
    qputenv("PATH", savedPath);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 10000));
}
#endif

TEST(ProgramIcon, OffersItsSixSizesDrawnWhenAskedFor) {
    const QIcon icon = aux_windows::programIcon();
    EXPECT_EQ(icon.availableSizes(),
              (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}}));
    EXPECT_EQ(icon.pixmap(QSize(48, 48), 1.0).toImage(), aux_windows::programPixmap(48).toImage());
}
