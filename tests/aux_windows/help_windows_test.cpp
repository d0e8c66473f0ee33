#include "aux_windows/about_window.h"
#include "aux_windows/aux_windows.h"
#include "aux_windows/instructions_window.h"
#include "aux_windows/system_info.h"
#include "support/message_recorder.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kr4720;
using aux_windows::AboutWindow;
using aux_windows::InstructionsWindow;

namespace {

class HelpWindowsTest : public ::testing::Test {
protected:
    void TearDown() override {
        aux_windows::closeAuxWindows();
        settle();
    }
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    template <typename T> static T* child(QWidget* window, const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    static QColor textColor(QWidget* widget) {
        return widget->palette().color(QPalette::WindowText);
    }
    static void expectFixedDialog(QWidget* window, QSize size) {
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->parentWidget(), nullptr);
        EXPECT_EQ(window->size(), size);
        EXPECT_EQ(window->minimumSize(), size);
        EXPECT_EQ(window->maximumSize(), size);
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    MessageRecorder messages;
};

struct Piece {
    int blanks;
    QString text;
};

} // namespace

TEST_F(HelpWindowsTest, AboutWindowShowsItsTextsAndControls) {
    AboutWindow* about = AboutWindow::open();
    EXPECT_EQ(about->objectName(), "frmAbout");
    EXPECT_EQ(about->windowTitle(), "关于本软件");
    expectFixedDialog(about, QSize(396, 274));

    auto* title = child<QLabel>(about, "lblTitle");
    auto* version = child<QLabel>(about, "lblVersion");
    auto* description = child<QLabel>(about, "lblDescription");
    EXPECT_EQ(title->text(), "    KR4720写频软件");
    EXPECT_EQ(version->text(), "      版本 A1.1");
    EXPECT_TRUE(description->text().contains("KR4720"));
    EXPECT_TRUE(description->text().contains("专用软件"));
    EXPECT_EQ(textColor(title), QColor(255, 0, 0));
    EXPECT_EQ(textColor(version), QColor(255, 0, 0));
    EXPECT_EQ(textColor(description), QColor(0, 0, 255));
    for (QLabel* label : {title, version, description}) {
        EXPECT_EQ(label->font().family(), "楷体_GB2312");
        // Shown as set: leading blanks kept, nothing read as markup.
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_TRUE(about->rect().contains(label->geometry()));
    }
    auto* icon = child<QLabel>(about, "picIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_NE(about->findChild<QWidget*>("Line1"), nullptr);

    auto* ok = child<QPushButton>(about, "cmdOK");
    auto* sysInfo = child<QPushButton>(about, "cmdSysInfo");
    EXPECT_EQ(ok->text(), "确定");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(sysInfo->text(), "系统信息(&S)...");
    EXPECT_FALSE(sysInfo->isDefault());
    EXPECT_EQ(about->focusWidget(), ok);
}

TEST_F(HelpWindowsTest, InstructionsAreThePiecesWithTheirBlanksInAWrappingLabel) {
    const QList<Piece> pieces = {
        {18, "操作说明"},
        {25, "一，使用随机配带的写频电缆，将对讲机（关机）耳机话筒插口与计算机串行口1（或串行口2）"
             "联结。"},
        {4, "二，打开对讲机电源，屏显显示“对讲机就续”。"},
        {4, "三，写频操作：用鼠标点菜单项“写信道数椐”。"},
        {4, "四，读频操作：用鼠标点菜单项“读信道数据”。"},
        {4, "五，文件操作：使用操作“文件”菜单的“保存文"},
        {7, "件”子菜单，打开保存文件对话框，可以将当前"},
        {6, "的频率数据保存（文件名自选，后缀"},
        {2, ".doc）。"},
        {6, "同样使用“打开文件”子菜单，可以将保存的频"},
        {6, "率数据文件重新调出使用。"},
        {21, "六，设置端口：如有必要，可操作\"系统设置\"菜单"},
        {7, "的“选择端口”子菜单项，改变当前使用的串行"},
        {6, "口。"},
    };
    QString expected;
    for (const Piece& piece : pieces) {
        expected += QString(piece.blanks, ' ') + piece.text;
    }
    expected += "    ";
    EXPECT_EQ(aux_windows::instructionsText(), expected);
    InstructionsWindow* instructions = InstructionsWindow::open();
    EXPECT_EQ(instructions->objectName(), "frmAbout1");
    EXPECT_EQ(instructions->windowTitle(), "操作说明");
    expectFixedDialog(instructions, QSize(604, 381));
    auto* label = child<QLabel>(instructions, "lblDescription");
    EXPECT_EQ(label->text(), expected);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->geometry(), QRect(40, 32, 523, 302));
    EXPECT_EQ(label->font().family(), "楷体_GB2312");
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 15.75);
    EXPECT_EQ(textColor(label), QColor(0, 0, 255));
    auto* ok = child<QPushButton>(instructions, "cmdOK");
    EXPECT_EQ(ok->text(), "确定");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_TRUE(instructions->rect().contains(ok->geometry()));
    EXPECT_FALSE(ok->geometry().intersects(label->geometry()));

    // The last line is drawn inside the label: its bottom rows hold text.
    const QImage image = label->grab().toImage();
    int lastTextRow = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.blue() > 128 && pixel.red() < 128 && pixel.green() < 128) {
                lastTextRow = y;
            }
        }
    }
    EXPECT_GT(lastTextRow, 260);
    EXPECT_LT(lastTextRow, image.height() - 2);
}

TEST_F(HelpWindowsTest, OneOfEachEnterOrEscapeClosesItAndTheNextIsNew) {
    const std::vector<std::pair<const char*, std::function<QWidget*()>>> windows = {
        {"about", [] { return static_cast<QWidget*>(AboutWindow::open()); }},
        {"instructions", [] { return static_cast<QWidget*>(InstructionsWindow::open()); }},
    };
    for (const auto& [name, open] : windows) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            SCOPED_TRACE(testing::Message() << name << " key " << key);
            QPointer<QWidget> window = open();
            EXPECT_EQ(open(), window.data());
            QWidget* target =
                window->focusWidget() != nullptr ? window->focusWidget() : window.data();
            QTest::keyClick(target, key);
            EXPECT_FALSE(window->isVisible());
            settle();
            EXPECT_TRUE(window.isNull());
            QPointer<QWidget> next = open();
            EXPECT_TRUE(next->isVisible());
            next->close();
            settle();
        }
    }
    EXPECT_EQ(AboutWindow::instance(), nullptr);
    EXPECT_EQ(InstructionsWindow::instance(), nullptr);

    // Other keys leave the window alone; the button closes it too.
    QPointer<AboutWindow> about = AboutWindow::open();
    QTest::keyClick(about, Qt::Key_A);
    EXPECT_TRUE(about->isVisible());
    QTest::mouseClick(child<QPushButton>(about, "cmdOK"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(about.isNull());
    EXPECT_TRUE(messages.messages.isEmpty());
}

#ifndef Q_OS_WIN
TEST_F(HelpWindowsTest, SystemInformationStartsAToolFromThePathOrSaysItIsNotAvailable) {
    const QByteArray savedPath = qgetenv("PATH");
    AboutWindow* about = AboutWindow::open();
    auto* sysInfo = child<QPushButton>(about, "cmdSysInfo");

    qputenv("PATH", "");
    QTest::mouseClick(sysInfo, Qt::LeftButton);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].text, "此时系统信息不可用");
    EXPECT_EQ(messages.messages[0].title, "KR4720");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::None);
    EXPECT_TRUE(about->isVisible());

    // A tool further down the list, found on the PATH, is started and not waited for.
    TempFolder folder;
    const char* const* names = aux_windows::systemInfoToolNames();
    const char* last = nullptr;
    for (; *names != nullptr; ++names) {
        last = *names;
    }
    ASSERT_NE(last, nullptr);
    const QString tool = folder.file(QString::fromLatin1(last));
    const QString marker = folder.file("started");
    folder.write(QString::fromLatin1(last),
                 "#!/bin/sh\necho started > '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", folder.path().toUtf8());
    QTest::mouseClick(sysInfo, Qt::LeftButton);
    qputenv("PATH", savedPath);
    EXPECT_EQ(messages.messages.size(), 1);
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(marker) && waited.elapsed() < 10000) {
        QTest::qWait(20);
    }
    EXPECT_TRUE(QFile::exists(marker));
}
#endif
