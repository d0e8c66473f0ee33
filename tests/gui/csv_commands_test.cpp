#include "channel_files/chirp_csv.h"
#include "platform/file_dialog.h"
#include "platform/sqlite_stores.h"
#include "support/pseudo_terminal.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QMenu>

using namespace kr4720;
using platform::CommonDialog;

namespace {

class CsvCommands : public WindowFixture {
protected:
    void SetUp() override {
        start(pty.path());
        CommonDialog::setHandler(
            [this](const CommonDialog::Request& request) -> std::optional<QString> {
                requests.push_back(request);
                return answer;
            });
    }
    void TearDown() override {
        CommonDialog::setHandler({});
        WindowFixture::TearDown();
    }
    // Chooses the item of the 文件 menu with that caption, as the user does.
    void choose(const QString& caption) {
        for (QAction* action : child<QMenu>("文件")->actions()) {
            if (action->text() == caption) {
                action->trigger();
                return;
            }
        }
        FAIL() << caption.toStdString();
    }
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
    std::vector<CommonDialog::Request> requests;
};

} // namespace

TEST_F(CsvCommands, TheTwoItemsCloseTheFileMenu) {
    QStringList captions;
    for (QAction* action : child<QMenu>("文件")->actions()) {
        captions << action->text();
    }
    EXPECT_EQ(captions,
              (QStringList{"打开文件(&O)", "保存文件(&V)", "导入CSV(&I)...", "导出CSV(&X)..."}));
}

TEST_F(CsvCommands, ExportThenImportGivesBackTheChannelsAndLeavesTheRestAlone) {
    setRow(0, {"145.50000", "", "", "146.10000", "88.5", "", "del", "1", "on"});
    setRow(1, {"438.5", "67", "", "438.5", "67", "", "add", "off", "off"});
    answer = folder.file("list.csv");
    choose("导出CSV(&X)...");
    ASSERT_TRUE(messages.messages.isEmpty()) << messages.texts().join('\n').toStdString();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "CSV (*.csv)");
    EXPECT_EQ(requests[0].fileName, ""); // the channel files' name is not offered
    EXPECT_EQ(folder.read("list.csv").toStdString(),
              std::string(channel_files::kChirpCsvHeader) +
                  "\r\n1,,145.500000,+,0.600000,Tone,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,S,,"
                  "BCL=1 beat=on,,,,\r\n2,,438.500000,,0.000000,TSQL,88.5,67.0,023,NN,023,"
                  "Tone->Tone,FM,5.00,,,,,,,\r\n");
    EXPECT_EQ(window->channelCursor().currentRow(), 0);

    for (int index = 0; index < 4; ++index) {
        setRow(index, {"400", "88.5", "", "400", "", "", "del", "2", "on"});
    }
    window->emergencyCursor().Edit();
    window->emergencyCursor().setField(0, "450");
    window->emergencyCursor().saveRecord();
    child<QComboBox>("Combo8")->setEditText("9");
    choose("导入CSV(&I)...");
    EXPECT_FALSE(requests.back().save);
    EXPECT_EQ(requests.back().fileName, folder.file("list.csv"));
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].title, "导入CSV");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(messages.messages[0].text, "已导入 2 行，放入信道 1–2。\n信道 3–16 已清空。");
    const std::optional<std::string> none;
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
    choose("导入CSV(&I)...");
    choose("导出CSV(&X)...");
    EXPECT_TRUE(messages.messages.isEmpty());

    folder.write("bad.csv", "Location,Name\r\n1,x\r\n");
    folder.write("short.csv", QByteArray(channel_files::kChirpCsvHeader.data()) + "\n1,,146.52\n");
    for (const char* name : {"bad.csv", "short.csv", "missing.csv"}) {
        answer = folder.file(name);
        choose("导入CSV(&I)...");
        EXPECT_EQ(allRows(), before) << name;
    }
    ASSERT_EQ(messages.messages.size(), 3);
    EXPECT_EQ(messages.messages[0].text,
              "无法导入文件 " + folder.file("bad.csv") + "：第 1 行：标题行缺少 Frequency 列");
    EXPECT_EQ(messages.messages[1].text, "无法导入文件 " + folder.file("short.csv") +
                                             "：第 2 行：只有 3 个值，标题行有 21 个");
    EXPECT_EQ(messages.messages[2].title, "错误警告 ");
    EXPECT_FALSE(messages.messages[2].informativeText.isEmpty()); // the system's own words

    answer = folder.file("no such folder/list.csv");
    choose("导出CSV(&X)...");
    ASSERT_EQ(messages.messages.size(), 4);
    EXPECT_EQ(messages.messages[3].text, "无法导出文件 " + answer.value());
}
