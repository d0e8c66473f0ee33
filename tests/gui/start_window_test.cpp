#include "main_window/channel_grid.h"
#include "main_window/start_window.h"
#include "platform/serial_port.h"
#include "platform/sqlite_stores.h"
#include "support/message_recorder.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace kr4720;
using main_window::StartWindow;

namespace {

class StartWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("KR4720_COM1", QByteArray::fromStdString(pty1.path()));
        qputenv("KR4720_COM2", QByteArray::fromStdString(pty2.path()));
    }
    void TearDown() override {
        qunsetenv("KR4720_COM1");
        qunsetenv("KR4720_COM2");
    }
    std::unique_ptr<StartWindow> start(QDate today = QDate(2026, 12, 6)) {
        auto window = std::make_unique<StartWindow>(
            main_window::StartWindowOptions{folder.path(), [today] { return today; }});
        window->startUp();
        return window;
    }
    template <typename T> static T* child(StartWindow& window, const char* name) {
        return window.findChild<T*>(QString::fromUtf8(name));
    }

    TempFolder folder;
    PseudoTerminal pty1;
    PseudoTerminal pty2;
    MessageRecorder messages;
};

} // namespace

TEST_F(StartWindowTest, ShowsItsCaptionsControlsAndMenusAsDesigned) {
    auto window = start();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "KR-4720");
    EXPECT_EQ(window->centralWidget()->size(), QSize(792, 548));
    EXPECT_EQ(child<QLabel>(*window, "Label1")->text(), "信道设置系统");
    EXPECT_EQ(child<QLabel>(*window, "Label3")->text(), "(KR-4720)");
    EXPECT_EQ(child<QLabel>(*window, "Label4")->text(), "静噪级别：");
    EXPECT_EQ(child<QLabel>(*window, "Label5")->text(), "设置紧急信道");
    EXPECT_EQ(child<QLabel>(*window, "Label5")->cursor().hotSpot(), QPoint(12, 1));
    EXPECT_EQ(child<QLabel>(*window, "Label2")->text(), " ");
    EXPECT_EQ(child<QProgressBar>(*window, "ProgressBar1")->value(), 0);
    EXPECT_EQ(child<QLabel>(*window, "Label5")->geometry(), QRect(496, 104, 137, 17));

    auto* combo8 = child<QComboBox>(*window, "Combo8");
    EXPECT_EQ(combo8->currentText(), " 3");
    EXPECT_TRUE(combo8->isEditable());
    ASSERT_EQ(combo8->count(), 10);
    EXPECT_EQ(combo8->itemText(0), "0");
    EXPECT_EQ(combo8->itemText(9), "9");

    const QStringList captions = {"信道号        ",     "接收频率 (MHz)    ", "哑音(Hz)          ",
                                  "数字哑音          ", "发送频率 (MHz)",     "哑音(Hz)          ",
                                  "数字哑音          ", "扫描     ",          "BCL     ",
                                  "拍频      "};
    const QList<int> widths = {57, 80, 68, 69, 78, 69, 68, 51, 48, 49};
    auto* grid = window->grid();
    ASSERT_EQ(grid->model()->columnCount(), 10);
    ASSERT_EQ(grid->model()->rowCount(), 16);
    for (int column = 0; column < 10; ++column) {
        EXPECT_EQ(grid->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                  captions[column]);
        EXPECT_EQ(grid->columnWidth(column), widths[column]) << column;
        const bool typed = column == 1 || column == 4;
        EXPECT_EQ(
            grid->model()->flags(grid->model()->index(0, column)).testFlag(Qt::ItemIsEditable),
            typed);
    }
    EXPECT_EQ(grid->model()->index(3, 0).data().toString(), "4");

    QStringList menus;
    for (QAction* action : window->menuBar()->actions()) {
        menus << action->text();
    }
    EXPECT_EQ(menus,
              (QStringList{"        文件(&F)", "        读信道数据(&R)", "        写信道数据(&W)",
                           "        系统设置(&S)", "       退出系统(&E)", "       帮助(&H)"}));
    QStringList entries;
    for (QAction* action : window->findChildren<QAction*>()) {
        EXPECT_TRUE(action->shortcut().isEmpty());
        if (!action->menu() && !window->menuBar()->actions().contains(action)) {
            entries << action->text();
        }
    }
    for (const char* entry : {"打开文件(&O)", "保存文件(&V)", "选择端口(&P)", "波特率(&B)",
                              "操作说明(&I)", "关于本软件(&A)"}) {
        EXPECT_TRUE(entries.contains(QString::fromUtf8(entry))) << entry;
    }
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(StartWindowTest, StartUpShowsTheDateOpensPortOneAndStartsOnlyTheHandshakeTimer) {
    auto window = start(QDate(2026, 12, 6));
    EXPECT_EQ(child<QLabel>(*window, "Label8")->text(), "2026年12月6日");
    EXPECT_EQ(window->dcsCodes().entry(1), "023");
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    EXPECT_EQ(window->grid()->currentIndex().row(), 0);
    EXPECT_TRUE(window->serialPort().isOpen());
    EXPECT_EQ(window->serialPort().portNumber(), 1);
    EXPECT_TRUE(window->timer3().isActive());
    EXPECT_FALSE(window->timer1().isActive());
    EXPECT_FALSE(window->timer2().isActive());
    EXPECT_FALSE(window->timer4().isActive());
    EXPECT_EQ(window->timer3().interval(), 100);
    EXPECT_EQ(window->timer4().interval(), 500);
    window.reset();

    auto later = start(QDate(2027, 1, 31));
    EXPECT_EQ(child<QLabel>(*later, "Label8")->text(), "2027年1月31日");
}

TEST_F(StartWindowTest, FallsBackToPortTwoWithAMessageAndStillComesUpWhenNeitherOpens) {
    qputenv("KR4720_COM1", "/nonexistent/ttyS0");
    auto window = start();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].text, "串行端口 1已被其它设备使用，已选择 COM2 ");
    EXPECT_EQ(messages.messages[0].title, "系统信息");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_TRUE(window->serialPort().isOpen());
    EXPECT_EQ(window->serialPort().portNumber(), 2);
    window.reset();

    messages.messages.clear();
    qputenv("KR4720_COM2", "/nonexistent/ttyS1");
    auto stranded = start();
    EXPECT_EQ(messages.texts(),
              (QStringList{"串行端口 1已被其它设备使用，已选择 COM2 ", "串行端口 2 已被使用， "}));
    EXPECT_TRUE(stranded->isVisible());
    EXPECT_FALSE(stranded->serialPort().isOpen());
    EXPECT_EQ(stranded->serialPort().portNumber(), 2);
}

TEST_F(StartWindowTest, GridSelectionAndCursorMoveTogether) {
    auto window = start();
    auto* grid = window->grid();
    auto& cursor = window->channelCursor();
    grid->setCurrentIndex(grid->model()->index(4, 2));
    EXPECT_EQ(cursor.currentRow(), 4);
    EXPECT_EQ(cursor.field(0), "5");

    cursor.MoveNext();
    EXPECT_EQ(grid->currentIndex().row(), 5);
    EXPECT_EQ(grid->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(grid->selectionModel()->selectedRows().first().row(), 5);

    cursor.setField(7, std::string("del"));
    EXPECT_EQ(grid->model()->index(5, 7).data().toString(), "del");
    cursor.MoveFirst();
    EXPECT_EQ(grid->currentIndex().row(), 0);
    for (int i = 0; i < 16; ++i) {
        cursor.MoveNext();
    }
    EXPECT_TRUE(grid->selectionModel()->selectedRows().isEmpty());
}

TEST_F(StartWindowTest, ClosingStoresTheChangePendingInTheCurrentRow) {
    {
        auto window = start();
        window->channelCursor().moveTo(2);
        window->channelCursor().setField(1, std::string("438.50000"));
        window->close();
        EXPECT_FALSE(window->serialPort().isOpen());
    }
    platform::SqliteChannelTable reopened(folder.file("tw8810.mdb"));
    reopened.moveTo(2);
    EXPECT_EQ(reopened.field(1), "438.50000");
}

TEST_F(StartWindowTest, AnUnusableDatabaseStopsTheWindowFromBeingMade) {
    folder.write("tw8810X.mdb", "not a database at all");
    EXPECT_THROW(StartWindow window(main_window::StartWindowOptions{folder.path()}),
                 platform::StoreOpenError);
    EXPECT_EQ(folder.read("tw8810X.mdb"), "not a database at all");
}

TEST_F(StartWindowTest, MenuCommandsOpenTheSecondaryWindowsAndClosingEndsThemAll) {
    auto window = start();
    const auto trigger = [&](const char* name) {
        auto* action = window->findChild<QAction*>(QString::fromUtf8(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    };
    const auto openWindows = [] {
        QStringList names;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && !widget->parentWidget()) {
                names << widget->objectName();
            }
        }
        names.sort();
        return names;
    };
    trigger("波特率");
    EXPECT_EQ(openWindows(), QStringList{"启动窗体"});
    trigger("端口");
    trigger("说明");
    trigger("关于");
    trigger("端口");
    QTest::mouseClick(child<QLabel>(*window, "Label5"), Qt::LeftButton);
    EXPECT_EQ(openWindows(), (QStringList{"Dialog", "frmAbout", "frmAbout1", "启动窗体", "紧急"}));
    EXPECT_TRUE(messages.messages.isEmpty());

    window->close();
    QApplication::processEvents();
    EXPECT_TRUE(openWindows().isEmpty());
}
