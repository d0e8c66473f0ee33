#include "main_window/start_window.h"
#include "platform/file_dialog.h"
#include "platform/sqlite_stores.h"
#include "support/channel_rows.h"
#include "support/message_recorder.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"

#include <QComboBox>
#include <QDir>

#include <gtest/gtest.h>

using namespace kr4720;
using main_window::StartWindow;
using platform::CommonDialog;

namespace {

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("KR4720_COM1", QByteArray::fromStdString(pty.path()));
        window = std::make_unique<StartWindow>(main_window::StartWindowOptions{folder.path()});
        window->startUp();
        CommonDialog::setHandler(
            [this](const CommonDialog::Request& request) -> std::optional<QString> {
                requests.push_back(request);
                return answer;
            });
    }
    void TearDown() override {
        CommonDialog::setHandler({});
        window.reset();
        qunsetenv("KR4720_COM1");
    }
    void setRow(int row, const std::vector<FieldValue>& fields) {
        setChannelRow(window->channelCursor(), row, fields);
    }
    std::vector<FieldValue> row(int index) {
        auto& cursor = window->channelCursor();
        cursor.storePending();
        std::vector<FieldValue> fields;
        for (int field = 1; field <= 9; ++field) {
            fields.push_back(cursor.value(index, field));
        }
        return fields;
    }
    std::vector<std::vector<FieldValue>> allRows() {
        std::vector<std::vector<FieldValue>> rows;
        for (int index = 0; index < 16; ++index) {
            rows.push_back(row(index));
        }
        return rows;
    }
    QComboBox* combo8() { return window->findChild<QComboBox*>("Combo8"); }

    PseudoTerminal pty;
    TempFolder folder;
    MessageRecorder messages;
    std::unique_ptr<StartWindow> window;
    std::optional<QString> answer;
    std::vector<CommonDialog::Request> requests;
};

} // namespace

TEST_F(FileCommands, SaveThenLoadGivesBackTheChannelSet) {
    setRow(0, {"146.12500", "67.0", "", "146.12500", "67.0", "", "add", "1", "off"});
    setRow(1, {"145.5", "", "023", "145.5", " ", "754", "del", "2", "on"});
    setRow(15, {"438.00000", "  ", "", "", "", "", " ", "off", "  "});
    answer = folder.file("set.doc");
    window->SaveChannelFile();
    ASSERT_TRUE(messages.messages.isEmpty());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "text(*.doc) (*.doc)");
    EXPECT_EQ(window->channelCursor().currentRow(), 16); // the save leaves the cursor past row 16
    const QByteArray saved = folder.read("set.doc");
    EXPECT_TRUE(saved.startsWith(
        " 3,\r\n146.12500,67.0,,146.12500,67.0,,add,1,off,\r\n145.5,,023,145.5, ,754,del,2,on,"))
        << saved.left(120).toStdString();
    EXPECT_EQ(saved.count(','), 145);

    for (int index = 0; index < 16; ++index) {
        setRow(index, {"400", "88.5", "", "400", "", "", "del", "2", "on"});
    }
    combo8()->setEditText("9");
    window->LoadChannelFile();
    ASSERT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(requests.back().fileName, folder.file("set.doc")); // the last name is offered again
    EXPECT_FALSE(requests.back().save);
    EXPECT_EQ(combo8()->currentText(), "3");
    EXPECT_EQ(row(0), (std::vector<FieldValue>{"146.12500", "67", std::nullopt, "146.12500", "67",
                                               std::nullopt, "add", "1", "off"}));
    EXPECT_EQ(row(1), (std::vector<FieldValue>{"145.50000", std::nullopt, "023", "145.50000",
                                               std::nullopt, "754", "del", "2", "on"}));
    EXPECT_EQ(row(15), (std::vector<FieldValue>{"438.00000", std::nullopt, std::nullopt,
                                                std::nullopt, std::nullopt, std::nullopt,
                                                std::nullopt, "off", std::nullopt}));
    EXPECT_EQ(row(7), std::vector<FieldValue>(9, std::nullopt));
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
}

TEST_F(FileCommands, CancelShortFilesAndUnreadablePathsChangeNothing) {
    setRow(3, {"438.50000", "88.5", "", "438.50000", "88.5", "", "add", "off", "off"});
    const auto before = allRows();

    answer.reset();
    window->LoadChannelFile();
    window->SaveChannelFile();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2); // the two databases only

    folder.write("short.doc", " 5,146.12500,67.0,,146.12500,67.0,,add,1,off,\n145.5,,023,");
    answer = folder.file("short.doc");
    window->LoadChannelFile();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].title, "错误警告 ");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(messages.messages[0].text.contains("short.doc"));
    EXPECT_EQ(allRows(), before);
    EXPECT_EQ(combo8()->currentText(), " 3");

    for (const QString& path : {folder.file("missing.doc"), folder.path()}) {
        answer = path;
        window->LoadChannelFile();
        EXPECT_EQ(allRows(), before);
        EXPECT_EQ(combo8()->currentText(), " 3");
    }
    EXPECT_EQ(messages.messages.size(), 3);
}

TEST_F(FileCommands, AFailedSaveSaysSoAndLeavesWhatWasThere) {
    answer = folder.file("no such folder/set.doc");
    window->SaveChannelFile();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].text.startsWith("无法保存文件"));

    QDir(folder.path()).mkdir("taken.doc");
    folder.write("taken.doc/keep.txt", "keep");
    answer = folder.file("taken.doc");
    window->SaveChannelFile();
    EXPECT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(folder.read("taken.doc/keep.txt"), "keep");

    // A good save replaces an older file of the same name whole.
    folder.write("set.doc", QByteArray(100000, 'x'));
    answer = folder.file("set.doc");
    window->SaveChannelFile();
    EXPECT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(folder.read("set.doc").count(','), 145);
    EXPECT_FALSE(folder.read("set.doc").contains('x'));
}
