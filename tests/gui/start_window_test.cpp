#include "main_window/channel_grid.h"
#include "platform/backups.h"
#include "platform/serial_port.h"
#include "support/sqlite_peek.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace kr4720;

namespace {

class StartWindowTest : public WindowFixture {
protected:
    void SetUp() override { qputenv("KR4720_COM2", QByteArray::fromStdString(pty2.path())); }

    PseudoTerminal pty1, pty2;
};

} // namespace

// One window from start-up to close: what it shows, how the grid follows the
// cursor, the windows its commands open and what closing ends and stores.
TEST_F(StartWindowTest, OneSessionFromStartUpToClose) {
    const QDateTime now = QDateTime::currentDateTime();
    const auto oldBackup = platform::saveBackup("read", "old", now.addDays(-400)).path;
    for (int daysAgo : {200, 0}) { // a year apart at most: the old one's year has passed
        ASSERT_TRUE(platform::saveBackup("read", "", now.addDays(-daysAgo)).ok());
    }
    start(pty1.path(), QDate(2027, 1, 6));
    {
        SCOPED_TRACE("start-up");
        EXPECT_EQ(window->windowTitle(), "KR-4720");
        EXPECT_EQ(window->centralWidget()->size(), QSize(792, 548));
        const std::pair<const char*, const char*> labels[] = {
            {"Label1", "信道设置系统"}, {"Label2", " "},
            {"Label3", "(KR-4720)"},    {"Label4", "静噪级别："},
            {"Label5", "设置紧急信道"}, {"Label8", "2027年1月6日"}};
        for (const auto& [name, text] : labels) {
            EXPECT_EQ(child<QLabel>(name)->text(), QString::fromUtf8(text)) << name;
        }
        auto* combo8 = child<QComboBox>("Combo8");
        EXPECT_EQ(std::tuple(combo8->currentText(), combo8->currentIndex(), combo8->isEditable(),
                             combo8->count(), combo8->itemText(9)),
                  std::tuple(" 3", 3, true, 10, "9")); // its list opens on 3
        EXPECT_EQ(window->dcsCodes().entry(1), "023");
        EXPECT_EQ(window->serialPort().portNumber(), 1);
        EXPECT_TRUE(window->serialPort().isOpen());
        EXPECT_EQ((std::array{window->timer1().isActive(), window->timer2().isActive(),
                              window->timer3().isActive(), window->timer4().isActive()}),
                  (std::array{false, false, true, false}));
        EXPECT_EQ(window->timer3().interval(), 100);
        EXPECT_EQ(window->timer4().interval(), 500);
        // Backups more than a year old go once the window is up; the hand over
        // Label5 comes just before.
        EXPECT_TRUE(pumpUntil([&] { return !QFile::exists(oldBackup); }));
        EXPECT_EQ(child<QLabel>("Label5")->cursor().hotSpot(), QPoint(12, 1));
    }
    auto* grid = window->grid();
    auto* model = grid->model();
    {
        SCOPED_TRACE("grid");
        const QStringList captions = {
            "信道号        ", "接收频率 (MHz)    ", "哑音(Hz)          ", "数字哑音          ",
            "发送频率 (MHz)", "哑音(Hz)          ", "数字哑音          ", "扫描     ",
            "BCL     ",       "拍频      "};
        const QList<int> widths = {57, 80, 68, 69, 78, 69, 68, 51, 48, 49};
        ASSERT_EQ(std::pair(model->columnCount(), model->rowCount()), std::pair(10, 16));
        for (int column = 0; column < 10; ++column) {
            EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), captions[column]);
            EXPECT_EQ(grid->columnWidth(column), widths[column]) << column;
            // Only the two frequencies are typed; the pickers set the rest.
            EXPECT_EQ(model->flags(model->index(0, column)).testFlag(Qt::ItemIsEditable),
                      column == 1 || column == 4);
        }
    }
    {
        SCOPED_TRACE("grid selection and cursor move together");
        auto& cursor = window->channelCursor();
        EXPECT_EQ(cursor.currentRow(), 0);
        grid->setCurrentIndex(model->index(4, 2));
        EXPECT_EQ(cursor.currentRow(), 4);
        EXPECT_EQ(cursor.field(0), "5");
        EXPECT_EQ(model->index(4, 0).data().toString(), "5");
        cursor.MoveNext();
        EXPECT_EQ(grid->currentIndex().row(), 5);
        EXPECT_EQ(grid->selectionModel()->selectedRows(), QModelIndexList{model->index(5, 0)});
        cursor.setField(7, std::string("del"));
        EXPECT_EQ(model->index(5, 7).data().toString(), "del");
        QSignalSpy marks(model, &QAbstractItemModel::headerDataChanged);
        cursor.MoveFirst();
        EXPECT_EQ(grid->currentIndex().row(), 0);
        EXPECT_EQ(model->headerData(0, Qt::Vertical), "▶");
        const QImage selector = grid->verticalHeader()->grab().toImage();
        for (int row : {0, 1}) { // the triangle is drawn in the middle of row 1 only
            const int middle = grid->rowViewportPosition(row) + grid->rowHeight(row) / 2;
            EXPECT_EQ(qGray(selector.pixel(selector.width() / 2, middle)) < 64, row == 0);
        }
        EXPECT_EQ(marks.size(), 2); // row 6 and row 1 redraw their header
        for (int i = 0; i < 16; ++i) {
            cursor.MoveNext();
        }
        EXPECT_TRUE(grid->selectionModel()->selectedRows().isEmpty());
    }
    {
        SCOPED_TRACE("menus");
        QStringList menus;
        for (QAction* action : window->menuBar()->actions()) {
            menus << action->text();
        }
        EXPECT_EQ(menus, (QStringList{"        文件(&F)", "        读信道数据(&R)",
                                      "        写信道数据(&W)", "        系统设置(&S)",
                                      "       退出系统(&E)", "       帮助(&H)"}));
        for (QAction* action : window->findChildren<QAction*>()) {
            EXPECT_TRUE(action->shortcut().isEmpty()) << action->text().toStdString();
        }
        const std::pair<const char*, const char*> commands[] = {{"波特率", "波特率(&B)"},
                                                                {"端口", "选择端口(&P)"},
                                                                {"说明", "操作说明(&I)"},
                                                                {"关于", "关于本软件(&A)"}};
        for (const auto& [name, caption] : commands) {
            ASSERT_NE(child<QAction>(name), nullptr) << name;
            EXPECT_EQ(child<QAction>(name)->text(), QString::fromUtf8(caption));
            child<QAction>(name)->trigger();
        }
        child<QAction>("端口")->trigger();
        QTest::mouseClick(child<QLabel>("Label5"), Qt::LeftButton);
        // The baud rate command opens nothing; the port window opens once.
        EXPECT_EQ(visibleWindows(),
                  (QStringList{"Dialog", "frmAbout", "frmAbout1", "启动窗体", "紧急"}));
    }
    SCOPED_TRACE("close");
    // Text typed into a cell and not yet confirmed is stored too.
    typeInto(2, 1, "abc"); // a typo is told, and the window stays to have it put right
    EXPECT_FALSE(window->close());
    messages.expectOne("数据超出范围 ！！", "错误警告 ", platform::MessageIcon::Information);
    typeInto(2, 1, "438.5");
    // When it cannot be stored the user is asked first, and 否 keeps the window.
    const QString database = folder.file("tw8810.mdb");
    ASSERT_TRUE(lockChannelTable(database));
    messages.answer = false;
    EXPECT_FALSE(window->close());
    messages.expectOne("数据库操作失败，修改没有保存。仍然退出吗？ ", "错误警告 ",
                       platform::MessageIcon::Exclamation, "database is locked");
    ASSERT_TRUE(runSql(database, {"DROP TRIGGER busy"}));
    window->close();
    QApplication::processEvents();
    EXPECT_TRUE(visibleWindows().isEmpty());
    EXPECT_FALSE(window->serialPort().isOpen());
    window.reset();
    EXPECT_EQ(storedChannelField(database, 3, 1).toString(), "438.50000");
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(StartWindowTest, StartUpTellsOfAPortOrTraceFileItCannotOpenAndComesUpAllTheSame) {
    start("/nonexistent/ttyS0");
    messages.expectOne("串行端口 1已被其它设备使用，已选择 COM2 ", "系统信息",
                       platform::MessageIcon::Exclamation);
    EXPECT_TRUE(window->serialPort().isOpen());
    EXPECT_EQ(window->serialPort().portNumber(), 2);

    qputenv("KR4720_COM2", "/nonexistent/ttyS1");
    start("/nonexistent/ttyS0");
    EXPECT_EQ(messages.texts(),
              (QStringList{"串行端口 1已被其它设备使用，已选择 COM2 ", "串行端口 2 已被使用， "}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->serialPort().isOpen());
    EXPECT_EQ(window->serialPort().portNumber(), 2);

    // A trace file that cannot be written is told, and the window runs on.
    messages.messages.clear();
    qputenv("KR4720_TRACE", "/nonexistent/trace.txt");
    start(pty1.path());
    qunsetenv("KR4720_TRACE");
    messages.expectOne("无法写入线路记录文件 /nonexistent/trace.txt", "错误警告 ",
                       platform::MessageIcon::Information, "不存在");
    EXPECT_TRUE(window->serialPort().isOpen());
    // Nor is a trace opened over a database, which opening it would empty.
    messages.messages.clear();
    qputenv("KR4720_TRACE", QFile::encodeName(folder.file("tw8810X.mdb")));
    start(pty1.path());
    qunsetenv("KR4720_TRACE");
    messages.expectOne("无法写入线路记录文件 " + folder.file("tw8810X.mdb"), "错误警告 ",
                       platform::MessageIcon::Information, "记录文件不能是本软件的数据库文件");
    EXPECT_TRUE(folder.read("tw8810X.mdb").startsWith("SQLite format 3"));

    // Closed in the moment after its first frame, the window opens no port
    // and says nothing.
    messages.messages.clear();
    window.reset();
    window =
        std::make_unique<main_window::StartWindow>(main_window::StartWindowOptions{folder.path()});
    qputenv("KR4720_COM1", "/nonexistent/ttyS0");
    platform::afterFirstFrame(window.get(), [this] { window->close(); });
    window->startUp();
    ASSERT_TRUE(pumpUntil([this] { return !window->isVisible(); }));
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.texts().join('|').toStdString();
    EXPECT_FALSE(window->serialPort().isOpen());
}

TEST_F(StartWindowTest, AnUnusableDatabaseOrASecondWindowOnItStopsTheWindowFromBeingMade) {
    start(pty1.path());
    try {
        main_window::StartWindow second(main_window::StartWindowOptions{folder.path()});
        ADD_FAILURE() << "a second window on the same databases";
    } catch (const platform::StoreOpenError& error) {
        EXPECT_EQ(error.kind(), platform::StoreOpenError::Kind::Busy);
    }
    window.reset();
    folder.write("tw8810X.mdb", "not a database at all");
    EXPECT_THROW(main_window::StartWindow(main_window::StartWindowOptions{folder.path()}),
                 platform::StoreOpenError);
    EXPECT_EQ(folder.read("tw8810X.mdb"), "not a database at all");
    // The menu's folder is made when missing; one that cannot be is named. A
    // lock left by a copy on another computer names that computer and the lock.
    main_window::StartWindow(main_window::StartWindowOptions{folder.file("made/here")});
    EXPECT_TRUE(QFile::exists(folder.file("made/here/tw8810X.mdb")));
    folder.write("made/here/.kr4720.lock", "12345\nkr4720\notherpc\n");
    ASSERT_TRUE(QFile::link(folder.file("no stick/kr4720"), folder.file("stick")));
    ASSERT_TRUE(QFile::link(folder.file("loop"), folder.file("loop")));
    const std::pair<QString, QString> refusals[] = {
        {folder.file("tw8810X.mdb/x"), "无法创建文件夹 " + folder.file("tw8810X.mdb/x")},
        {folder.file("stick/x"),
         "stick 是一个符号链接，它指向的 " + folder.file("no stick/kr4720")},
        {folder.file("loop/x"), folder.file("loop") + " 是一个循环的符号链接"},
        {folder.file(QString(250, 'd') + '/' + QString(250, 'd')), "文件夹路径太长"},
        {folder.file("made/here"), "电脑 otherpc 上使用这个文件夹（进程 12345）；那台电脑上的本软件"
                                   "已经关闭时，请删除文件 " +
                                       folder.file("made/here/.kr4720.lock")}};
    for (const auto& [databaseFolder, said] : refusals) {
        try {
            main_window::StartWindow refused(main_window::StartWindowOptions{databaseFolder});
            ADD_FAILURE() << databaseFolder.toStdString();
        } catch (const platform::StoreOpenError& error) {
            EXPECT_TRUE((error.problem() + error.detail()).contains(said)) << error.what();
        }
    }
}

// Qt's own dialogs and buttons (in message boxes and file dialogs) read Chinese.
TEST_F(StartWindowTest, QtsOwnDialogsAndButtonsReadChinese) {
    QMessageBox box(QMessageBox::Question, "KR-4720", "old.doc", QMessageBox::Yes);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "是(&Y)");
}
