#include "support/window_fixture.h"

#include <QMenu>

using namespace kr4720;

namespace {

class CsvCommands : public FileDialogFixture {
protected:
    // The 文件 menu's two CSV items, chosen as the user does.
    void importCsv() { child<QMenu>("文件")->actions().at(2)->trigger(); }
    void exportCsv() { child<QMenu>("文件")->actions().at(3)->trigger(); }
};

} // namespace

TEST_F(CsvCommands, ExportThenImportGivesBackTheChannelsAndLeavesTheRestAlone) {
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
    ASSERT_TRUE(messages.messages.isEmpty()) << messages.texts().join('\n').toStdString();
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
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].title, "导入CSV");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(messages.messages[0].text, "已导入 2 行，放入信道 1–2。\n信道 3–16 已清空。");
    EXPECT_EQ(rowValues(0), (std::vector<FieldValue>{"145.50000", "", "", "146.10000", "88.5", "",
                                                     "del", "1", "on"}));
    EXPECT_EQ(rowValues(1), (std::vector<FieldValue>{"438.50000", "67.0", "", "438.50000", "67.0",
                                                     "", "add", "off", "off"}));
    EXPECT_EQ(rowValues(3), std::vector<FieldValue>(9, std::string()));
    EXPECT_EQ(value(2, 0), "3");
    EXPECT_EQ(window->emergencyCursor().field(0), "450");
    EXPECT_EQ(combo8(), "9");
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
}

TEST_F(CsvCommands, ARefusedFileOrACancelChangesNothing) {
    setRow(3, {"438.50000", "88.5", "", "438.50000", "88.5", "", "add", "off", "off"});
    const auto before = allRows();
    answer.reset();
    importCsv();
    exportCsv();
    EXPECT_TRUE(messages.messages.isEmpty());

    folder.write("bad.csv", "Location,Name\r\n1,x\r\n");
    for (const char* name : {"bad.csv", "missing.csv"}) {
        answer = folder.file(name);
        importCsv();
        EXPECT_EQ(allRows(), before) << name;
    }
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(messages.messages[0].text,
              "无法导入文件 " + folder.file("bad.csv") + "：第 1 行：标题行缺少 Frequency 列");
    EXPECT_EQ(messages.messages[1].title, "错误警告 ");
    EXPECT_FALSE(messages.messages[1].informativeText.isEmpty()); // the system's own words

    answer = folder.file("no such folder/list.csv");
    exportCsv();
    ASSERT_EQ(messages.messages.size(), 3);
    EXPECT_EQ(messages.messages[2].text, "无法导出文件 " + answer.value());
}
