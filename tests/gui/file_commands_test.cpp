#include "platform/file_dialog.h"
#include "support/pseudo_terminal.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QDir>

using namespace kr4720;
using platform::CommonDialog;

namespace {

class FileCommands : public WindowFixture {
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

const std::nullopt_t none = std::nullopt;

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
    const QByteArray saved = folder.read("set.doc");
    EXPECT_TRUE(saved.startsWith(
        " 3,\r\n146.12500,67.0,,146.12500,67.0,,add,1,off,\r\n145.5,,023,145.5, ,754,del,2,on,"))
        << saved.left(120).toStdString();
    EXPECT_EQ(saved.count(','), 145);

    for (int index = 0; index < 16; ++index) {
        setRow(index, {"400", "88.5", "", "400", "", "", "del", "2", "on"});
    }
    child<QComboBox>("Combo8")->setEditText("9");
    window->LoadChannelFile();
    ASSERT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(requests.back().fileName, folder.file("set.doc")); // the last name is offered again
    EXPECT_FALSE(requests.back().save);
    EXPECT_EQ(combo8(), "3");
    EXPECT_EQ(rowValues(0), (std::vector<FieldValue>{"146.12500", "67", none, "146.12500", "67",
                                                     none, "add", "1", "off"}));
    EXPECT_EQ(rowValues(1), (std::vector<FieldValue>{"145.50000", none, "023", "145.50000", none,
                                                     "754", "del", "2", "on"}));
    EXPECT_EQ(rowValues(15), (std::vector<FieldValue>{"438.00000", none, none, none, none, none,
                                                      none, "off", none}));
    EXPECT_EQ(rowValues(7), std::vector<FieldValue>(9, none));
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
    for (const QString& path :
         {folder.file("short.doc"), folder.file("missing.doc"), folder.path()}) {
        answer = path;
        window->LoadChannelFile();
        EXPECT_EQ(allRows(), before) << path.toStdString();
        EXPECT_EQ(combo8(), " 3") << path.toStdString();
    }
    ASSERT_EQ(messages.messages.size(), 3);
    EXPECT_EQ(messages.messages[0].title, "错误警告 ");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(messages.messages[0].text.contains("short.doc"));
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
