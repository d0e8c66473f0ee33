#include "platform/file_dialog.h"
#include "support/sqlite_peek.h"
#include "support/window_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kr4720;

namespace {

// The window on a pseudo-terminal, with its file dialogs answered by `answer`
// and the requests they were given kept.
class FileCommands : public WindowFixture {
protected:
    void SetUp() override {
        start(pty.path());
        platform::CommonDialog::setHandler([this](const platform::CommonDialog::Request& request) {
            requests.push_back(request);
            return answer;
        });
    }
    void TearDown() override {
        platform::CommonDialog::setHandler({});
        WindowFixture::TearDown();
    }
    // The 文件 menu's two CSV items, chosen as the user does.
    void importCsv() { child<QMenu>("文件")->actions().at(2)->trigger(); }
    void exportCsv() { child<QMenu>("文件")->actions().at(3)->trigger(); }
    // Fields 1 to 9 of all 16 rows.
    std::vector<std::vector<FieldValue>> allRows() {
        std::vector<std::vector<FieldValue>> rows;
        for (int index = 0; index < 16; ++index) {
            rows.push_back(rowValues(index));
        }
        return rows;
    }
    QString combo8() { return child<QComboBox>("Combo8")->currentText(); }

    PseudoTerminal pty;
    std::optional<QString> answer;
    std::vector<platform::CommonDialog::Request> requests;
};

} // namespace

TEST_F(FileCommands, SaveThenLoadGivesBackTheChannelSetAndBothEndOnRowOne) {
    setRow(0, {"146.12500", "67.0", "", "146.12500", "67.0", "", "add", "1", "off"});
    setRow(1, {"145.5", "", "023", "145.5", " ", "754", "del", "2", "on"});
    answer = folder.file("set.doc");
    // Saved over, a file keeps its mode and, saved by root, its owner: root
    // may write a read-only file.
    folder.write("set.doc", "old");
    const bool root = ::geteuid() == 0;
    const mode_t mode = root ? 0444 : 0604;
    ASSERT_EQ(::chmod(folder.file("set.doc").toLocal8Bit().constData(), mode), 0);
    const uid_t owner = root ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(folder.file("set.doc").toLocal8Bit().constData(), owner, -1), 0);
    window->SaveChannelFile();
    struct stat saved {};
    ASSERT_EQ(::stat(folder.file("set.doc").toLocal8Bit().constData(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 0777, mode);
    EXPECT_EQ(saved.st_uid, owner);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "text(*.doc) (*.doc)");
    // On row 1 after the save, a pick finds a record to change.
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    child<QComboBox>("Combo5")->setFocus();
    QTest::keyClick(child<QComboBox>("Combo5"), Qt::Key_End);
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.texts().join('|').toStdString();
    EXPECT_EQ(value(0, 7), "  ");

    for (int index = 0; index < 16; ++index) {
        setRow(index, {"400", "88.5", "", "400", "", "", "del", "2", "on"});
    }
    child<QComboBox>("Combo8")->setEditText("9");
    QSignalSpy shown(child<QTableView>("DataGrid1")->model(), &QAbstractItemModel::dataChanged);
    window->LoadChannelFile();
    ASSERT_TRUE(messages.messages.isEmpty());
    // Row 1 is drawn anew too, though the cursor was on it before and after.
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](const auto& signal) {
        return signal[0].toModelIndex().row() == 0;
    }));
    EXPECT_EQ(requests.back().fileName, folder.file("set.doc")); // the last name is offered again
    EXPECT_FALSE(requests.back().save);
    EXPECT_EQ(combo8(), "3");
    EXPECT_EQ(rowValues(0), (std::vector<FieldValue>{
                                "146.12500", "67", {}, "146.12500", "67", {}, "add", "1", "off"}));
    EXPECT_EQ(rowValues(1), (std::vector<FieldValue>{
                                "145.50000", {}, "023", "145.50000", {}, "754", "del", "2", "on"}));
    EXPECT_EQ(rowValues(7), std::vector<FieldValue>(9));
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
}

TEST_F(FileCommands, ExportThenImportGivesBackTheChannelsAndLeavesTheRestAlone) {
    QStringList captions;
    for (QAction* action : child<QMenu>("文件")->actions()) {
        captions << action->text();
    }
    EXPECT_EQ(captions,
              (QStringList{"打开文件(&O)", "保存文件(&V)", "导入CSV(&I)...", "导出CSV(&X)..."}));
    setRow(0, {"145.50000", "", "", "146.10000", "88.5", "", "del", "1", "on"});
    setRow(1, {"438.5", "67", "", "438.5", "67", "", "add", "off", "off"});
    answer = folder.file("list.csv");
    exportCsv();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "CSV (*.csv)");
    EXPECT_EQ(requests[0].fileName, ""); // the channel files' name is not offered
    EXPECT_EQ(window->channelCursor().currentRow(), 0);

    for (int index = 0; index < 4; ++index) {
        setRow(index, {"400", "88.5", "", "400", "", "", "del", "2", "on"});
    }
    window->emergencyCursor().Edit();
    window->emergencyCursor().setField(0, "450");
    window->emergencyCursor().saveRecord();
    child<QComboBox>("Combo8")->setEditText("9");
    importCsv();
    EXPECT_FALSE(requests.back().save);
    EXPECT_EQ(requests.back().fileName, folder.file("list.csv"));
    messages.expectOne("已导入 2 行，放入信道 1–2。\n信道 3–16 已清空。", "导入CSV",
                       platform::MessageIcon::Information);
    EXPECT_EQ(rowValues(0), (std::vector<FieldValue>{"145.50000", "", "", "146.10000", "88.5", "",
                                                     "del", "1", "on"}));
    EXPECT_EQ(rowValues(1), (std::vector<FieldValue>{"438.50000", "67.0", "", "438.50000", "67.0",
                                                     "", "add", "off", "off"}));
    EXPECT_EQ(rowValues(3), std::vector<FieldValue>(9, std::string()));
    EXPECT_EQ(value(2, 0), "3");
    EXPECT_EQ(window->emergencyCursor().field(0), "450");
    EXPECT_EQ(combo8(), "9");
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    // A channel the file cannot bring back is named once the file is written.
    setRow(2, {"439", "68"});
    exportCsv();
    messages.expectOne("注意：CSV 文件不能照原样保存信道 3 的设置，导入时它们会被跳过或改变",
                       "导出CSV", platform::MessageIcon::Information);
}

TEST_F(FileCommands, ACancelOrARefusedLoadOrImportChangesNothing) {
    setRow(0, {"400.00000", "", "", "400.00000", "", "", "add", "off", "off"});
    answer = folder.file("set.doc");
    window->SaveChannelFile();
    setRow(0, {"145.00000", "67.0", "", "145.00000", "", "", "del", "2", "on"});
    setRow(3, {"438.50000", "88.5", "", "438.50000", "88.5", "", "add", "off", "off"});
    // A cell still open goes into its own row, and the grid stays with the cursor.
    answer.reset();
    typeInto(9, 1, "204");
    window->LoadChannelFile();
    EXPECT_EQ(std::pair(value(9, 1), window->grid()->currentIndex().row()),
              std::pair(FieldValue("204.00000"), window->channelCursor().currentRow()));
    const auto before = allRows();

    // Cancelled, also where the dialog still holds the file chosen before.
    window->LoadChannelFile();
    window->SaveChannelFile();
    importCsv();
    exportCsv();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 3); // the databases and set.doc

    folder.write("bad.csv", "Location,Name\r\n1,x\r\n");
    folder.write("none.csv", "Location,Frequency\r\n");
    folder.write("short.doc", " 5,146.12500,67.0,,146.12500,67.0,,add,1,off,\n145.5,,023,");
    folder.write("binary.doc", "3,\x01\x02,146.125");
    // What the message says after the file's name; nothing: the system's words
    // on the second line.
    const auto loadFile = &main_window::StartWindow::LoadChannelFile;
    const auto importFile = &main_window::StartWindow::ImportChirpCsv;
    const std::tuple<decltype(loadFile), QString, const char*> cases[] = {
        {loadFile, folder.file("short.doc"), "：文件不完整"},
        {loadFile, folder.file("binary.doc"), "：不是信道文件"},
        {loadFile, folder.path(), "：这不是一个普通文件"},
        {loadFile, folder.file("missing.doc"), ""},
        {importFile, folder.file("bad.csv"), "：第 1 行：标题行缺少 Frequency 列"},
        {importFile, folder.path(), "：这不是一个普通文件"},
        {importFile, folder.file("none.csv"), "：没有可以导入的行，信道没有改变"},
        {importFile, folder.file("missing.csv"), ""}};
    for (const auto& [command, path, says] : cases) {
        SCOPED_TRACE(path.toStdString());
        messages.messages.clear();
        answer = path;
        (window.get()->*command)();
        ASSERT_EQ(messages.messages.size(), 1);
        const QString text = messages.messages[0].text;
        const QString expected = (command == loadFile ? "无法打开文件 " : "无法导入文件 ") + path +
                                 QString::fromUtf8(says);
        EXPECT_TRUE(*says ? text.startsWith(expected) : text == expected) << text.toStdString();
        EXPECT_EQ(messages.messages[0].informativeText.isEmpty(), *says != 0);
        EXPECT_EQ(messages.messages[0].title, "错误警告 ");
        EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
        EXPECT_EQ(allRows(), before);
        EXPECT_EQ(combo8(), " 3");
    }

    // Row 2 cannot be changed while the rest can: the load fails after row 1.
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb"), "WHEN old.rowid = 2"));
    messages.messages.clear();
    answer = folder.file("set.doc");
    window->LoadChannelFile();
    messages.expectOne("数据库操作失败", "错误警告 ", platform::MessageIcon::Information,
                       "tw8810.mdb: 正被其它程序使用（database is locked）");
    window->channelCursor().moveTo(5); // row 1 read as held, not as the cursor had it
    EXPECT_EQ(allRows(), before);
    EXPECT_EQ(storedChannelField(folder.file("tw8810.mdb"), 1, 1).toString(), "145.00000");
}

TEST_F(FileCommands, AFailedSaveOrExportSaysSoAndLeavesWhatWasThere) {
    answer = folder.file("no such folder/set.doc");
    window->SaveChannelFile();
    exportCsv();
    EXPECT_EQ(messages.texts(),
              (QStringList{"无法保存文件 " + *answer, "无法导出文件 " + *answer}));

    ASSERT_EQ(::mkfifo(folder.file("taken.doc").toLocal8Bit().constData(), 0600), 0);
    answer = folder.file("taken.doc");
    window->SaveChannelFile();
    EXPECT_EQ(messages.messages.value(2).informativeText, "这不是一个普通文件");
    EXPECT_FALSE(QFileInfo(folder.file("taken.doc")).isFile()); // still the FIFO
    // Nor is the program's own database, by any spelling of its name.
    const QByteArray database = folder.read("tw8810X.mdb");
    answer = folder.file("./tw8810X.mdb");
    exportCsv();
    EXPECT_EQ(messages.messages.value(3).informativeText, "这是本程序的数据库文件，不能用来保存");
    EXPECT_EQ(folder.read("tw8810X.mdb"), database);

    // A good save replaces an older file of the same name whole.
    folder.write("set.doc", QByteArray(100000, 'x'));
    answer = folder.file("set.doc");
    window->SaveChannelFile();
    EXPECT_EQ(messages.messages.size(), 4);
    EXPECT_EQ(folder.read("set.doc").count(','), 145);
    EXPECT_FALSE(folder.read("set.doc").contains('x'));

    // A squelch text no channel file can hold is not saved at all.
    const QByteArray saved = folder.read("set.doc");
    child<QComboBox>("Combo8")->setEditText("\"3");
    window->SaveChannelFile();
    EXPECT_EQ(messages.messages.value(4).informativeText,
              "第 1 个值（静噪级别）里的双引号无法写入信道文件");
    EXPECT_EQ(folder.read("set.doc"), saved);

    // A database that has stopped storing refuses the row being edited: the
    // save and the export still write the set as the grid shows it.
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    window->channelCursor().moveTo(2);
    window->channelCursor().setField(1, "438.50000");
    child<QComboBox>("Combo8")->setEditText(" 3");
    messages.messages.clear();
    for (const QString name : {"rescue.doc", "rescue.csv"}) {
        answer = folder.file(name);
        name.endsWith(".doc") ? window->SaveChannelFile() : exportCsv();
        EXPECT_TRUE(folder.read(name).contains("438.5")) << name.toStdString();
    }
    EXPECT_EQ(messages.texts(), (QStringList{"数据库操作失败", "数据库操作失败"}));
}

// The file size limit stands in for a full disk: the save's write fails half
// way, as it does when the disk fills up under it.
TEST_F(FileCommands, ASaveThatCannotBeWrittenWholeSaysSoAndLeavesTheOldFile) {
    const QByteArray old = " 7,old channels,";
    folder.write("set.doc", old);
    answer = folder.file("set.doc");
    rlimit unlimited{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const rlimit small{64, unlimited.rlim_max};
    const auto handler = ::signal(SIGXFSZ, SIG_IGN); // a plain error, not the signal
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    window->SaveChannelFile();
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    ::signal(SIGXFSZ, handler);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].text, "无法保存文件 " + *answer);
    EXPECT_FALSE(messages.messages[0].informativeText.isEmpty());
    EXPECT_EQ(folder.read("set.doc"), old);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 3); // no temporary file left
}
