// Takes the pictures of the documentation: the real main window on a fresh
// pair of databases in a temporary folder, talking to a virtual radio in this
// process, driven the way a user would drive it.
//
//   kr4720-screenshots [--date YYYY-MM-DD] OUTPUT_FOLDER
//
// Run under a real X server (Xvfb) so that the pictures use the installed fonts.

#include "aux_windows/instructions_window.h"
#include "aux_windows/port_dialog.h"
#include "aux_windows/program_icon.h"
#include "main_window/channel_grid.h"
#include "main_window/start_window.h"
#include "platform/look.h"
#include "platform/message_box.h"
#include "platform/qt_translations.h"
#include "virtual_radio/virtual_radio.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <functional>
#include <stdexcept>

using namespace kr4720;

namespace {

const QString kReady = QStringLiteral("对讲机就绪...");

void fail(const QString& what) {
    throw std::runtime_error(what.toStdString());
}

// Lets the window work (timers, the serial port, painting) for a while.
void pump(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

bool pumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

template <typename T> T* child(QWidget* parent, const char* name) {
    auto* found = parent->findChild<T*>(QString::fromUtf8(name));
    if (found == nullptr) {
        fail(QStringLiteral("no control %1").arg(QString::fromUtf8(name)));
    }
    return found;
}

QWidget* topLevel(const QString& objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == objectName && widget->isVisible()) {
            return widget;
        }
    }
    fail(QStringLiteral("window %1 is not shown").arg(objectName));
    return nullptr;
}

void save(QWidget* widget, const QDir& folder, const QString& name) {
    widget->raise();
    widget->activateWindow();
    pump(300); // let it paint after any move or resize
    const QString path = folder.filePath(name);
    if (!widget->grab().save(path)) {
        fail(QStringLiteral("cannot write %1").arg(path));
    }
    std::fprintf(stderr, "saved %s\n", qPrintable(QDir::toNativeSeparators(path)));
}

// Types into a cell's editor and commits with Enter, as a user would.
void type(main_window::ChannelGrid* grid, int row, int column, const QString& text) {
    const QModelIndex index = grid->model()->index(row, column);
    grid->setCurrentIndex(index);
    grid->edit(index);
    QLineEdit* editor = nullptr;
    for (auto* candidate : grid->viewport()->findChildren<QLineEdit*>()) {
        if (candidate->isVisible()) {
            editor = candidate; // closed editors linger hidden until deleted
        }
    }
    if (editor == nullptr) {
        fail(QStringLiteral("no editor for row %1 column %2").arg(row + 1).arg(column));
    }
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the delegate commits on a queued call
}

void selectRow(main_window::ChannelGrid* grid, int row) {
    grid->setCurrentIndex(grid->model()->index(row, 0));
    QApplication::processEvents();
}

// Picks an entry with the keyboard: typing its first characters finds it.
void pick(QComboBox* combo, const QString& entry) {
    combo->setFocus();
    QTest::keyClicks(combo, entry);
    QApplication::processEvents();
    if (combo->currentText() != entry) {
        fail(QStringLiteral("%1 shows \"%2\" instead of \"%3\"")
                 .arg(combo->objectName(), combo->currentText(), entry));
    }
}

QString cell(main_window::ChannelGrid* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

void expectCell(main_window::ChannelGrid* grid, int row, int column, const QString& text) {
    if (cell(grid, row, column) != text) {
        fail(QStringLiteral("row %1 column %2 shows \"%3\" instead of \"%4\"")
                 .arg(row + 1)
                 .arg(column)
                 .arg(cell(grid, row, column), text));
    }
}

int run(const QDir& out, const QDate& date) {
    // Messages are printed, never waited on.
    platform::setMessageHandler([](const platform::Message& message) {
        std::fprintf(stderr, "message [%s]: %s\n", qPrintable(message.title),
                     qPrintable(message.text));
        return true;
    });

    QTemporaryDir folder;
    if (!folder.isValid()) {
        fail(QStringLiteral("no temporary folder"));
    }
    VirtualRadio::Options options;
    options.pace = false;
    VirtualRadio radio(options);
    radio.start();
    qputenv("KR4720_COM1", QByteArray::fromStdString(radio.devicePath()));
    // The backup of the read it shows stays in the temporary folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));

    main_window::StartWindowOptions windowOptions;
    windowOptions.databaseFolder = folder.path();
    windowOptions.today = [date] { return date; };
    main_window::StartWindow window(std::move(windowOptions));
    window.move(0, 0);
    window.startUp();
    auto* status = child<QLabel>(&window, "Label2");
    if (!pumpUntil([&] { return status->text() == kReady; })) {
        fail(QStringLiteral("the radio did not get ready"));
    }

    // 1. The radio's channel set read into the grid.
    window.readChannels();
    auto* grid = window.grid();
    expectCell(grid, 0, 1, QStringLiteral("438.5"));
    if (!pumpUntil([&] { return status->text() == kReady; })) {
        fail(QStringLiteral("the radio did not get ready after the read"));
    }
    save(&window, out, QStringLiteral("main_window.png"));

    // 2. Frequencies typed into empty channels, then a tone, a code and the
    // busy-channel lockout picked for channel 7.
    type(grid, 5, 1, QStringLiteral("145.0123"));
    type(grid, 6, 1, QStringLiteral("438.5"));
    type(grid, 6, 4, QStringLiteral("430.0125"));
    type(grid, 7, 1, QStringLiteral("146.52"));
    selectRow(grid, 6);
    pick(child<QComboBox>(&window, "Combo1"), QStringLiteral("88.5"));
    pick(child<QComboBox>(&window, "Combo4"), QStringLiteral("754"));
    pick(child<QComboBox>(&window, "Combo6"), QStringLiteral("2"));
    // Leaving the row stores it; come back so that it is the one selected.
    selectRow(grid, 0);
    selectRow(grid, 6);
    expectCell(grid, 5, 1, QStringLiteral("145.01000"));
    expectCell(grid, 5, 4, QStringLiteral("145.01000"));
    expectCell(grid, 6, 1, QStringLiteral("438.50000"));
    expectCell(grid, 6, 4, QStringLiteral("430.01250"));
    expectCell(grid, 6, 2, QStringLiteral("88.5"));
    expectCell(grid, 6, 6, QStringLiteral("754"));
    expectCell(grid, 6, 8, QStringLiteral("2"));
    save(&window, out, QStringLiteral("edited_grid.png"));

    // 3. The emergency channel as read from the radio.
    QTest::mouseClick(child<QLabel>(&window, "Label5"), Qt::LeftButton);
    QWidget* emergency = topLevel(QStringLiteral("紧急"));
    emergency->move(window.frameGeometry().topRight() + QPoint(20, 0));
    save(emergency, out, QStringLiteral("emergency_window.png"));
    emergency->close();

    // 4. The port dialog and the operating instructions.
    QWidget* portDialog = aux_windows::PortDialog::open(window.serialPort());
    save(portDialog, out, QStringLiteral("port_dialog.png"));
    portDialog->close();
    QWidget* instructions = aux_windows::InstructionsWindow::open();
    save(instructions, out, QStringLiteral("instructions.png"));
    instructions->close();

    window.close();
    QApplication::processEvents();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KR4720"));
    QApplication::setWindowIcon(aux_windows::programIcon());
    platform::installProgramStyle();
    platform::installFontSubstitutions();
    platform::installQtTranslations();

    QStringList arguments = QApplication::arguments().mid(1);
    QDate date = QDate::currentDate();
    if (arguments.size() == 3 && arguments[0] == QStringLiteral("--date")) {
        date = QDate::fromString(arguments[1], Qt::ISODate);
        arguments = arguments.mid(2);
    }
    if (arguments.size() != 1 || !date.isValid()) {
        std::fputs("usage: kr4720-screenshots [--date YYYY-MM-DD] OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    QDir out(arguments[0]);
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(arguments[0]));
        return 1;
    }
    try {
        return run(out, date);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kr4720-screenshots: %s\n", error.what());
        return 1;
    }
}
