#include "main_window/channel_grid.h"
#include "platform/look.h"
#include "support/sqlite_peek.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

using namespace kr4720;

namespace {

class GridEditing : public WindowFixture {
protected:
    void SetUp() override { start(pty.path()); }

    // Types into a cell's editor as a user would and commits with Enter.
    void type(int row, int column, const QString& text) {
        typeInto(row, column, text);
        QTest::keyClick(window->grid()->focusWidget(), Qt::Key_Return);
        QApplication::processEvents(); // the delegate commits on a queued call
    }
    void selectRow(int row) {
        window->grid()->setCurrentIndex(window->grid()->model()->index(row, 0));
    }
    QString inFile(int row, int field) {
        return storedChannelField(folder.file("tw8810.mdb"), row + 1, field).toString();
    }
    QString emergencyInFile() {
        return storedValue(folder.file("tw8810X.mdb"),
                           "SELECT 收频率 || '|' || 发频率 || '|' || 拍频 FROM 紧急信道")
            .toString();
    }
    // Opens the emergency window from its label and fills in its three fields.
    QWidget* openEmergency(const QString& receive = {}, const QString& transmit = {},
                           const QString& beat = {}) {
        QTest::mouseClick(child<QLabel>("Label5"), Qt::LeftButton);
        QWidget* emergency = visibleWindow("紧急");
        if (emergency && !receive.isNull()) {
            emergency->findChild<QLineEdit*>("Text1")->setText(receive);
            emergency->findChild<QLineEdit*>("Text2")->setText(transmit);
            emergency->findChild<QComboBox*>("Combo1")->setEditText(beat);
        }
        return emergency;
    }

    PseudoTerminal pty;
};

} // namespace

// The rules themselves are the edit checks' own; here: which column the grid
// passes on, when the row is stored and how the refusal is told.
TEST_F(GridEditing, TypedFrequenciesAreCheckedAndStoredWhenTheRowIsLeft) {
    type(0, 1, "145.0123");
    EXPECT_EQ(inFile(0, 1), ""); // not before the row is left, though the grid shows it
    EXPECT_EQ(window->grid()->model()->index(0, 1).data().toString(), "145.01000");
    selectRow(2);
    EXPECT_EQ((QStringList{inFile(0, 1), inFile(0, 4)}), (QStringList{"145.01000", "145.01000"}));
    type(0, 4, "146.00625");
    selectRow(2);
    EXPECT_EQ((QStringList{inFile(0, 1), inFile(0, 4)}), (QStringList{"145.01000", "146.00625"}));
    EXPECT_TRUE(messages.messages.isEmpty());

    type(7, 1, "500");
    type(7, 4, "500.001");
    selectRow(0);
    EXPECT_EQ((QStringList{inFile(7, 1), inFile(7, 4)}), (QStringList{"500.00000", ""}));
    messages.expectOne("数据超出范围 ！！", "错误警告 ", platform::MessageIcon::Information);
    // The box takes the focus; after it, typing goes on in the grid, not in
    // the squelch box next in line.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    messages.record([this] { child<QComboBox>("Combo8")->setFocus(); });
    type(7, 1, "4385");
    EXPECT_TRUE(window->grid()->hasFocus());
    selectRow(0);
    QTest::keyClicks(window->grid(), "15"); // the channel-number cell takes no typing
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    // Alt lends the focus to the menu bar; Escape gives it back to the cell
    // still open, and typing goes on there.
    typeInto(3, 1, "14");
    QTest::keyClick(window->grid()->focusWidget(), Qt::Key_Alt);
    ASSERT_TRUE(window->menuBar()->hasFocus());
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    QTest::keyClicks(QApplication::focusWidget(), "5\r");
    // A click on the current cell opens it only after the double-click time;
    // keys typed sooner open it at once and every one lands in it.
    const QModelIndex clicked = window->grid()->model()->index(5, 1);
    window->grid()->setCurrentIndex(clicked);
    QTest::mouseClick(window->grid()->viewport(), Qt::LeftButton, {},
                      window->grid()->visualRect(clicked).center());
    for (const char key : std::string("146.5\r")) {
        QTest::keyClick(QApplication::focusWidget(), key == '\r' ? Qt::Key_Return : Qt::Key(key));
    }
    QApplication::processEvents();
    selectRow(0);
    EXPECT_EQ((QStringList{inFile(3, 1), inFile(5, 1)}), (QStringList{"145.00000", "146.50000"}));
    // The cursor moved by the program (a write ending) with a cell still open:
    // the text goes into its row, and the grid stands where the cursor does.
    typeInto(6, 1, "147");
    window->channelCursor().MoveFirst();
    EXPECT_EQ(window->grid()->currentIndex().row(), window->channelCursor().currentRow());
    selectRow(0);

    // A row that cannot be stored keeps the cursor, and a click elsewhere
    // leaves the highlight on it too.
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    type(8, 1, "145");
    auto* grid = window->grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(9, 1)).center());
    QApplication::processEvents();
    EXPECT_EQ(messages.texts().last(), "数据库操作失败");
    EXPECT_EQ((std::array{window->channelCursor().currentRow(), grid->currentIndex().row(),
                          grid->selectionModel()->selectedRows().value(0).row()}),
              (std::array{8, 8, 8}));
}

TEST_F(GridEditing, PicksWriteTheirFieldOfTheSelectedRowAndTakeTheWheelOnlyWithTheFocus) {
    setRow(4, {std::nullopt, std::nullopt, "023", std::nullopt, std::nullopt, "754"});
    selectRow(4);
    auto* combo1 = child<QComboBox>("Combo1");
    combo1->setFocus();
    QTest::keyClicks(combo1, "88.5");
    selectRow(9);
    // A tone replaces the digital codes of the same direction; the picker
    // keeps its entry while another row is current.
    EXPECT_EQ((QStringList{inFile(4, 2), inFile(4, 3), inFile(4, 5), inFile(4, 6)}),
              (QStringList{"88.5", "", "88.5", ""}));
    EXPECT_EQ(combo1->currentText(), "88.5");

    setRow(2, {"145.00000", "88.5", "", "145.00000", "88.5", "", "del", "2", "on"});
    selectRow(2);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto turn = [](QComboBox* box) {
        const QPointF centre = QRectF(box->rect()).center();
        QWheelEvent wheel(centre, box->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    };
    // Each list and the field of the row it writes; the squelch box writes none.
    const std::pair<const char*, int> lists[] = {{"Combo1", 2}, {"Combo2", 3}, {"Combo3", 5},
                                                 {"Combo4", 6}, {"Combo5", 7}, {"Combo6", 8},
                                                 {"Combo7", 9}, {"Combo8", 0}};
    for (const auto& [name, field] : lists) {
        SCOPED_TRACE(name);
        auto* box = child<QComboBox>(name);
        window->grid()->setFocus();
        const QString shown = box->currentText();
        const auto before = rowValues(2);
        turn(box);
        EXPECT_EQ(box->currentText(), shown);
        EXPECT_EQ(rowValues(2), before);
        EXPECT_FALSE(box->hasFocus()); // the wheel does not take the focus either

        box->setFocus();
        ASSERT_TRUE(box->hasFocus());
        turn(box);
        EXPECT_NE(box->currentText(), shown);
        if (field != 0) { // the entry lands in the list's own field, which held another
            EXPECT_NE(before[field - 1], box->currentText().toStdString());
            EXPECT_EQ(value(2, field), box->currentText().toStdString());
        }
    }
}

TEST_F(GridEditing, PickersSitOverTheFirstDataRowAndColumnsKeepTheirWidths) {
    const std::tuple<const char*, int, int, int> places[] = {
        {"Combo1", 3240, 855, 43}, {"Combo2", 4200, 975, 86}, {"Combo3", 6360, 975, 41},
        {"Combo4", 7440, 975, 85}, {"Combo5", 8400, 735, 3},  {"Combo6", 9120, 735, 4},
        {"Combo7", 9840, 735, 3}};
    // The lists take their face once the window has shown its first frame.
    const QFont song = platform::songFont(10.5);
    EXPECT_TRUE(pumpUntil([&] { return child<QComboBox>("Combo7")->font() == song; }));
    // The Song and Kai faces are the ones Qt's own substitution picks for their names.
    const auto face = [](const QFont& font) { return QFontInfo(font).family().toStdString(); };
    EXPECT_EQ(face(song), face(QFont("宋体")));
    EXPECT_EQ(face(platform::kaiFont(12)), face(QFont("楷体_GB2312")));
    for (const auto& [name, left, width, count] : places) {
        auto* combo = child<QComboBox>(name); // a missing one stops the test here
        EXPECT_EQ(combo->geometry(), QRect((left + 7) / 15, 152, (width + 7) / 15, 22)) << name;
        EXPECT_EQ(combo->count(), count) << name;
        EXPECT_EQ(combo->palette().color(QPalette::Text), QColor(255, 0, 0)) << name;
        EXPECT_EQ(combo->font(), song) << name;
    }
    EXPECT_EQ(child<QComboBox>("Combo6")->itemText(3), " ");
    EXPECT_EQ(child<QComboBox>("Combo2")->itemText(61), "506");

    // Dragging or double-clicking a header edge changes no width.
    auto* header = window->grid()->horizontalHeader();
    const int width = header->sectionSize(2);
    const int edge = header->sectionViewportPosition(2) + width - 1;
    const int y = header->height() / 2;
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
    QTest::mouseMove(header->viewport(), QPoint(edge + 40, y));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 40, y));
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
    EXPECT_EQ(header->sectionSize(2), width);
}

TEST_F(GridEditing, TheEmergencyWindowShowsConfirmsAndCancels) {
    window->channelCursor().moveTo(6);
    QWidget* emergency = openEmergency();
    ASSERT_NE(emergency, nullptr);
    EXPECT_EQ(emergency->windowTitle(), "紧急信道");
    auto* text1 = emergency->findChild<QLineEdit*>("Text1");
    EXPECT_EQ(text1->text(), "");
    EXPECT_EQ(emergency->findChild<QComboBox*>("Combo1")->currentText(), "off");
    EXPECT_EQ(emergency->findChild<QPushButton*>("Command1")->text(), "  确认");
    EXPECT_EQ(emergency->findChild<QPushButton*>("Command2")->text(), " 撤消");

    // A second click brings the same window forward without reloading it.
    text1->setText("450.00000");
    EXPECT_EQ(openEmergency(), emergency);
    EXPECT_EQ(text1->text(), "450.00000");

    openEmergency("450.00000", "460.00000", "Off");
    QTest::mouseClick(emergency->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    EXPECT_FALSE(visibleWindows().contains("紧急"));
    const QString confirmed = "450.00000|460.00000|Off";
    EXPECT_EQ(emergencyInFile(), confirmed);
    EXPECT_EQ(window->channelCursor().currentRow(), 6);

    // Cancel and the close button store nothing; reopening shows the stored values.
    for (bool viaCloseButton : {false, true}) {
        emergency = openEmergency("999", "", "on");
        ASSERT_NE(emergency, nullptr);
        if (viaCloseButton) {
            emergency->close();
        } else {
            QTest::mouseClick(emergency->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        }
        QApplication::processEvents();
        EXPECT_EQ(emergencyInFile(), confirmed);
    }
    EXPECT_EQ(openEmergency()->findChild<QLineEdit*>("Text1")->text(), "450.00000");
    EXPECT_EQ(visibleWindow("紧急")->findChild<QComboBox*>("Combo1")->currentText(), "Off");
}
