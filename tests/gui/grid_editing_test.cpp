#include "main_window/channel_grid.h"
#include "main_window/start_window.h"
#include "platform/sqlite_stores.h"
#include "support/message_recorder.h"
#include "support/pseudo_terminal.h"
#include "support/sqlite_peek.h"
#include "support/temp_folder.h"
#include "virtual_radio/virtual_radio.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kr4720;
using main_window::StartWindow;

namespace {

class GridEditing : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("KR4720_COM1", QByteArray::fromStdString(pty.path()));
        window = std::make_unique<StartWindow>(main_window::StartWindowOptions{folder.path()});
        window->startUp();
    }
    void TearDown() override {
        window.reset();
        qunsetenv("KR4720_COM1");
    }

    // Types into a cell's editor as a user would and commits with Enter.
    void type(int row, int column, const QString& text) {
        auto* grid = window->grid();
        const QModelIndex index = grid->model()->index(row, column);
        grid->setCurrentIndex(index);
        grid->edit(index);
        QLineEdit* editor = nullptr;
        for (auto* candidate : grid->viewport()->findChildren<QLineEdit*>()) {
            if (candidate->isVisible()) {
                editor = candidate; // closed editors linger hidden until deleted
            }
        }
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the delegate commits on a queued call
    }
    void selectRow(int row) {
        window->grid()->setCurrentIndex(window->grid()->model()->index(row, 0));
    }
    QVariant stored(int row, int field) {
        return storedChannelField(folder.file("tw8810.mdb"), row + 1, field);
    }
    QComboBox* picker(const char* name) { return window->findChild<QComboBox*>(name); }

    PseudoTerminal pty;
    TempFolder folder;
    MessageRecorder messages;
    std::unique_ptr<StartWindow> window;
};

} // namespace

TEST_F(GridEditing, TypedFrequenciesAreCheckedAndStoredWhenTheRowIsLeft) {
    type(2, 1, "145.0123");
    EXPECT_TRUE(stored(2, 1).isNull()); // not before the row is left
    selectRow(5);
    EXPECT_EQ(stored(2, 1).toString(), "145.01000");
    EXPECT_EQ(stored(2, 4).toString(), "145.01000");

    type(2, 4, "146.00625");
    selectRow(0);
    EXPECT_EQ(stored(2, 4).toString(), "146.00625");
    EXPECT_EQ(stored(2, 1).toString(), "145.01000");

    type(2, 1, "abc");
    selectRow(0);
    EXPECT_EQ(stored(2, 1).toString(), "");
    EXPECT_EQ(stored(2, 4).toString(), "");
    EXPECT_TRUE(messages.messages.isEmpty());

    type(3, 4, "145.5");
    selectRow(0);
    EXPECT_EQ(stored(3, 4).toString(), "");
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(GridEditing, AnOutOfRangeFrequencyShowsTheMessageAndEmptiesOnlyItsField) {
    type(6, 1, "438.5");
    type(6, 1, "129.99");
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].text, "数据超出范围 ！！");
    EXPECT_EQ(messages.messages[0].title, "错误警告 ");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
    selectRow(0);
    EXPECT_EQ(stored(6, 1).toString(), "");
    EXPECT_EQ(stored(6, 4).toString(), "438.50000");

    type(7, 1, "500");
    type(7, 4, "500.001");
    selectRow(0);
    EXPECT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(stored(7, 1).toString(), "500.00000");
    EXPECT_EQ(stored(7, 4).toString(), "");
}

TEST_F(GridEditing, KeyboardPicksWriteTheirFieldsOfTheSelectedRow) {
    auto& cursor = window->channelCursor();
    cursor.moveTo(4);
    cursor.setField(3, std::string("023"));
    cursor.setField(6, std::string("754"));
    selectRow(4);

    auto* combo1 = picker("Combo1");
    combo1->setFocus();
    QTest::keyClicks(combo1, "88.5");
    EXPECT_EQ(combo1->currentText(), "88.5");
    selectRow(9);
    EXPECT_EQ(stored(4, 2).toString(), "88.5");
    EXPECT_EQ(stored(4, 5).toString(), "88.5");
    EXPECT_EQ(stored(4, 3).toString(), "");
    EXPECT_EQ(stored(4, 6).toString(), "");
    // The picker keeps its entry while another row is current.
    EXPECT_EQ(combo1->currentText(), "88.5");

    selectRow(4);
    auto* combo4 = picker("Combo4");
    QTest::keyClick(combo4, Qt::Key_Home);
    QTest::keyClick(combo4, Qt::Key_End);
    QTest::keyClick(combo4, Qt::Key_Up);
    QTest::keyClick(combo4, Qt::Key_Up);
    EXPECT_EQ(combo4->currentText(), "754");
    selectRow(0);
    EXPECT_EQ(stored(4, 2).toString(), "88.5");
    EXPECT_EQ(stored(4, 5).toString(), "");
    EXPECT_EQ(stored(4, 6).toString(), "754");

    selectRow(4);
    auto* combo7 = picker("Combo7");
    QTest::keyClick(combo7, Qt::Key_End);
    selectRow(0);
    EXPECT_EQ(stored(4, 9).toString(), "  ");
}

TEST_F(GridEditing, PickersSitOverTheFirstDataRowWithTheirEntries) {
    const std::vector<std::tuple<const char*, int, int, int>> places = {
        {"Combo1", 3240, 855, 43}, {"Combo2", 4200, 975, 86}, {"Combo3", 6360, 975, 41},
        {"Combo4", 7440, 975, 85}, {"Combo5", 8400, 735, 3},  {"Combo6", 9120, 735, 4},
        {"Combo7", 9840, 735, 3}};
    for (const auto& [name, left, width, count] : places) {
        auto* combo = picker(name);
        ASSERT_NE(combo, nullptr) << name;
        EXPECT_EQ(combo->geometry(), QRect((left + 7) / 15, 152, (width + 7) / 15, 22)) << name;
        EXPECT_EQ(combo->count(), count) << name;
        EXPECT_FALSE(combo->isEditable()) << name;
        EXPECT_EQ(combo->currentText(), "") << name;
        EXPECT_EQ(combo->palette().color(QPalette::Text), QColor(255, 0, 0)) << name;
    }
    EXPECT_EQ(picker("Combo6")->itemText(3), " ");
    EXPECT_EQ(picker("Combo2")->itemText(33), "244");
    EXPECT_EQ(picker("Combo2")->itemText(61), "506");
}

namespace {

QWidget* emergencyWindow() {
    QWidget* found = nullptr;
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == "紧急" && widget->isVisible()) {
            found = widget;
            ++count;
        }
    }
    return count == 1 ? found : nullptr;
}

int emergencyWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += widget->objectName() == "紧急" && widget->isVisible();
    }
    return count;
}

} // namespace

TEST_F(GridEditing, TheEmergencyWindowShowsConfirmsAndCancels) {
    auto* label5 = window->findChild<QLabel*>("Label5");
    window->channelCursor().moveTo(6);
    QTest::mouseClick(label5, Qt::LeftButton);
    QWidget* emergency = emergencyWindow();
    ASSERT_NE(emergency, nullptr);
    EXPECT_EQ(emergency->windowTitle(), "紧急信道");
    auto* text1 = emergency->findChild<QLineEdit*>("Text1");
    auto* text2 = emergency->findChild<QLineEdit*>("Text2");
    auto* combo1 = emergency->findChild<QComboBox*>("Combo1");
    EXPECT_EQ(text1->text(), "");
    EXPECT_EQ(combo1->currentText(), "off");
    EXPECT_EQ(emergency->findChild<QPushButton*>("Command1")->text(), "  确认");
    EXPECT_EQ(emergency->findChild<QPushButton*>("Command2")->text(), " 撤消");

    // A second click brings the same window forward without reloading it.
    text1->setText("450.00000");
    QTest::mouseClick(label5, Qt::LeftButton);
    EXPECT_EQ(emergencyWindowCount(), 1);
    EXPECT_EQ(emergencyWindow(), emergency);
    EXPECT_EQ(text1->text(), "450.00000");

    text2->setText("460.00000");
    combo1->setEditText("Off");
    QTest::mouseClick(emergency->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(emergencyWindowCount(), 0);
    const QString file = folder.file("tw8810X.mdb");
    EXPECT_EQ(storedValue(file, "SELECT 收频率 FROM 紧急信道").toString(), "450.00000");
    EXPECT_EQ(storedValue(file, "SELECT 发频率 FROM 紧急信道").toString(), "460.00000");
    EXPECT_EQ(storedValue(file, "SELECT 拍频 FROM 紧急信道").toString(), "Off");
    EXPECT_EQ(window->channelCursor().currentRow(), 6);

    // Cancel and the close button store nothing; reopening shows the stored values.
    for (bool viaCloseButton : {false, true}) {
        QTest::mouseClick(label5, Qt::LeftButton);
        emergency = emergencyWindow();
        ASSERT_NE(emergency, nullptr);
        emergency->findChild<QLineEdit*>("Text1")->setText("999");
        emergency->findChild<QComboBox*>("Combo1")->setEditText("on");
        if (viaCloseButton) {
            emergency->close();
        } else {
            QTest::mouseClick(emergency->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        }
        QApplication::processEvents();
        EXPECT_EQ(storedValue(file, "SELECT 收频率 FROM 紧急信道").toString(), "450.00000");
    }
    QTest::mouseClick(label5, Qt::LeftButton);
    EXPECT_EQ(emergencyWindow()->findChild<QLineEdit*>("Text1")->text(), "450.00000");
    EXPECT_EQ(emergencyWindow()->findChild<QComboBox*>("Combo1")->currentText(), "Off");
}

TEST_F(GridEditing, AWriteAfterTheEmergencyWindowSendsWhatWasConfirmed) {
    window.reset();
    VirtualRadio::Options options;
    options.pace = false;
    VirtualRadio radio(options);
    radio.start();
    qputenv("KR4720_COM1", QByteArray::fromStdString(radio.devicePath()));
    window = std::make_unique<StartWindow>(main_window::StartWindowOptions{folder.path()});
    window->startUp();

    QTest::mouseClick(window->findChild<QLabel*>("Label5"), Qt::LeftButton);
    QWidget* emergency = emergencyWindow();
    ASSERT_NE(emergency, nullptr);
    emergency->findChild<QLineEdit*>("Text1")->setText("450");
    emergency->findChild<QLineEdit*>("Text2")->setText("460.5");
    emergency->findChild<QComboBox*>("Combo1")->setEditText("");
    QTest::mouseClick(emergency->findChild<QPushButton*>("Command1"), Qt::LeftButton);

    window->writeChannels();
    QElapsedTimer timer;
    timer.start();
    while (radio.completeWrites() < 1 && timer.elapsed() < 5000) {
        QTest::qWait(10);
    }
    ASSERT_EQ(radio.completeWrites(), 1);
    // 450 - 45.05 = 404.95 -> 40495000 -> 00504940; an empty beat field sends 1;
    // 460.5 -> 46050000 -> 00000546.
    EXPECT_EQ(radio.memory()[16], "00030050494000001000000005460000");
    EXPECT_TRUE(messages.messages.isEmpty());
}
