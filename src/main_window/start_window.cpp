#include "main_window/start_window.h"

#include "aux_windows/about_window.h"
#include "aux_windows/instructions_window.h"
#include "aux_windows/port_dialog.h"
#include "channel_data/channel_edits.h"
#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "channel_files/channel_file.h"
#include "channel_files/chirp_csv.h"
#include "main_window/caption_frame.h"
#include "main_window/channel_grid.h"
#include "main_window/clickable_label.h"
#include "main_window/emergency_window.h"
#include "platform/backups.h"
#include "platform/first_frame.h"
#include "platform/line_trace.h"
#include "platform/look.h"
#include "platform/message_box.h"
#include "platform/old_backups.h"
#include "platform/port_names.h"
#include "platform/serial_port.h"
#include "platform/sqlite_stores.h"
#include "platform/stop_signals.h"
#include "platform/text_files.h"
#include "platform/window_stop.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QSysInfo>

#include <algorithm>
#include <utility>

namespace kr4720::main_window {
namespace {

using platform::twipsRect;

// Beside the databases: held while a copy of the program uses them.
constexpr std::string_view kLockFile = ".kr4720.lock";

QString databasePath(const QString& folder, std::string_view file) {
    const QString name = QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()));
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

FolderLock lockFolder(const QString& databaseFolder) {
    FolderLock folder;
    // A folder named for the databases (the desktop menu's) is made on the
    // first start.
    if (!databaseFolder.isEmpty()) {
        folder.folderFailure = platform::makeFolder(databaseFolder);
        if (!folder.folderFailure.isEmpty()) {
            return folder;
        }
    }
    folder.lock = std::make_unique<QLockFile>(databasePath(databaseFolder, kLockFile));
    folder.lock->setStaleLockTime(0); // gone only with the program that held it
    folder.lock->tryLock(0);
    return folder;
}

// The pointer shown over "设置紧急信道": a hand whose finger tip (12, 1) is
// the hot spot.
QCursor handPointer() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.moveTo(10, 3);
    hand.quadTo(12, 0, 14, 3);
    hand.lineTo(14, 13);
    hand.lineTo(22, 14);
    hand.quadTo(26, 15, 26, 19);
    hand.lineTo(25, 26);
    hand.quadTo(24, 30, 20, 30);
    hand.lineTo(12, 30);
    hand.quadTo(9, 30, 7, 26);
    hand.lineTo(3, 18);
    hand.quadTo(3, 15, 6, 16);
    hand.lineTo(10, 20);
    hand.closeSubpath();
    painter.setPen(QPen(Qt::black, 1.2));
    painter.setBrush(Qt::white);
    painter.drawPath(hand);
    return QCursor(pixmap, 12, 1);
}

QLabel* placeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& rect,
                   const QColor& color) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    platform::setTextColor(label, color);
    return label;
}

} // namespace

std::future<FolderLock> lockFolderAhead(const QString& databaseFolder) {
    return std::async(std::launch::async, lockFolder, databaseFolder);
}

StartWindow::StartWindow(StartWindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    setObjectName(QStringLiteral("启动窗体"));
    const QString channelFile = databasePath(options_.databaseFolder, kChannelDatabaseFile);
    FolderLock folder = options_.folderLock.valid() ? options_.folderLock.get()
                                                    : lockFolder(options_.databaseFolder);
    if (!folder.folderFailure.isEmpty()) {
        throw platform::StoreOpenError(
            channelFile, QStringLiteral("无法创建文件夹 %1").arg(options_.databaseFolder),
            platform::StoreOpenError::Kind::Unusable, folder.folderFailure);
    }
    folderLock_ = std::move(folder.lock);
    // A folder where no lock can be made (read-only) is left to the databases.
    if (!folderLock_->isLocked() && folderLock_->error() == QLockFile::LockFailedError) {
        qint64 holder = 0;
        QString host;
        folderLock_->getLockInfo(&holder, &host, nullptr);
        // A lock from another computer (a shared home folder) cannot be
        // checked from here: only the user can say that copy has gone.
        throw platform::StoreOpenError(
            channelFile, {}, platform::StoreOpenError::Kind::Busy,
            host.isEmpty() || host == QSysInfo::machineHostName()
                ? QStringLiteral("本软件已在这个文件夹中运行（进程 %1）").arg(holder)
                : QStringLiteral("本软件已在电脑 %1 上使用这个文件夹（进程 %2）；"
                                 "那台电脑上的本软件已经关闭时，请删除文件 %3 后再启动")
                      .arg(host)
                      .arg(holder)
                      .arg(QDir::toNativeSeparators(
                          QFileInfo(folderLock_->fileName()).absoluteFilePath())));
    }
    channels_ = std::make_unique<platform::SqliteChannelTable>(channelFile);
    emergency_ = std::make_unique<platform::SqliteEmergencyTable>(
        databasePath(options_.databaseFolder, kEmergencyDatabaseFile));
    port_ = std::make_unique<platform::SerialPort>();
    if (const QString traceFile = qEnvironmentVariable("KR4720_TRACE"); !traceFile.isEmpty()) {
        trace_ = std::make_unique<platform::LineTrace>();
        // The trace's lines would spoil a file the window keeps.
        const std::string_view ownFiles[] = {kChannelDatabaseFile, kEmergencyDatabaseFile,
                                             kLockFile};
        const bool ownFile = std::ranges::any_of(ownFiles, [&](std::string_view name) {
            return platform::sameFile(traceFile, databasePath(options_.databaseFolder, name));
        });
        traceFailure_ =
            ownFile ? QStringLiteral("记录文件不能是本软件的数据库文件") : trace_->open(traceFile);
        if (traceFailure_.isEmpty()) {
            port_->setTrace(trace_.get());
        }
    }

    timer1_.setInterval(radio_link::WriteSequence::kRecordSpacing);
    timer2_.setInterval(60);
    timer3_.setInterval(radio_link::RadioReadyHandshake::kPollInterval);
    timer4_.setInterval(radio_link::WriteSequence::kPauseAfterStart);
    for (QTimer* timer : {&timer1_, &timer2_, &timer3_, &timer4_}) {
        timer->setTimerType(Qt::PreciseTimer);
    }

    radio_link::TransferDisplay& display = *this;
    sentRecorder_ = std::make_unique<radio_link::SentRecorder>(*port_);
    replyRecorder_ = std::make_unique<radio_link::ReplyRecorder>(*port_);
    handshake_ = std::make_unique<radio_link::RadioReadyHandshake>(*port_, display, windowTimer3_);
    write_ = std::make_unique<radio_link::WriteSequence>(radio_link::WriteSequence::Parts{
        *sentRecorder_, *channels_, *emergency_, dcsCodes_, display, windowTimer1_, windowTimer3_,
        windowTimer4_, clock_});
    read_ = std::make_unique<radio_link::ReadSequence>(radio_link::ReadSequence::Parts{
        *replyRecorder_, *channels_, *emergency_, dcsCodes_, display, windowTimer3_, clock_});
    connect(&timer3_, &QTimer::timeout, this, [this] { handshake_->tick(); });
    connect(&timer4_, &QTimer::timeout, this, [this] { write_->onTimer4(); });
    connect(&timer1_, &QTimer::timeout, this, [this] {
        write_->onTimer1();
        if (!write_->isRunning()) {
            afterWrite();
            if (std::exchange(closeAfterWrite_, false)) {
                close();
            }
        }
    });
    connect(port_.get(), &platform::SerialPort::openChanged, this, &StartWindow::portOpenChanged);
    connect(port_.get(), &platform::SerialPort::lineLost, this, &StartWindow::onLineLost);

    setWindowTitle(QStringLiteral("KR-4720"));
    // Port 1 is looked up among the serial devices while the work that waits
    // for the first frame is done, not beside the start-up, whose cores it
    // would share.
    platform::afterFirstFrame(this, platform::lookUpPortsAhead);
    setFont(platform::kaiFont(14.25));
    buildControls();
    buildMenus();
}

StartWindow::~StartWindow() {
    // The secondary windows, the grid and the pickers look at the cursors and
    // the port: they go before those do.
    closeSecondaryWindows();
    delete takeCentralWidget();
}

void StartWindow::closeSecondaryWindows() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && !window->parentWidget() &&
            window->testAttribute(Qt::WA_DeleteOnClose)) {
            windows << window;
        }
    }
    // Deleting one window also deletes the pop-ups it owns: hold them by QPointer.
    for (const QPointer<QWidget>& window : windows) {
        delete window.data();
    }
}

void StartWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(platform::twips(11880), platform::twips(8220));
    setCentralWidget(client);

    auto* line1 = new QFrame(client);
    line1->setObjectName(QStringLiteral("Line1"));
    line1->setFrameShape(QFrame::HLine);
    line1->setFrameShadow(QFrame::Sunken);
    line1->setGeometry(0, platform::twips(120) - 1, platform::twips(11880), 2);

    auto* frame2 = new CaptionFrame(QStringLiteral("日期"), client);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setGeometry(twipsRect(600, 480, 2175, 735));
    platform::setTextColor(frame2, platform::kYellow);
    // The grid's size: small enough that the date stays clear of the border,
    // and no font engine of its own before the first frame.
    frame2->setFont(platform::kaiFont(12));
    label8_ = placeLabel(frame2, QStringLiteral("Label8"), QString(),
                         twipsRect(240, 240, 1695, 255), platform::kRed);

    auto* label1 = placeLabel(client, QStringLiteral("Label1"), QStringLiteral("信道设置系统"),
                              twipsRect(4200, 480, 3735, 855), platform::kBlue);
    label1->setFont(platform::kaiFont(26.25));
    auto* label3 = placeLabel(client, QStringLiteral("Label3"), QStringLiteral("(KR-4720)"),
                              twipsRect(5040, 1080, 1695, 375), platform::kBlue);
    label3->setFont(platform::songFont(15.75));
    label2_ = placeLabel(client, QStringLiteral("Label2"), QStringLiteral(" "),
                         twipsRect(8400, 480, 3615, 375), platform::kBlue);
    // The port's state shows here once the radio answers; until then the
    // label holds a blank, which looks the same in any face, so its own face
    // (a font engine of its own) waits for the first frame.
    platform::afterFirstFrame(this, [this] { label2_->setFont(platform::kaiFont(15.75)); });

    progressBar1_ = new QProgressBar(client);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setGeometry(twipsRect(8280, 960, 3015, 255));
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(false);

    placeLabel(client, QStringLiteral("Label4"), QStringLiteral("静噪级别："),
               twipsRect(960, 1560, 1575, 255), platform::kRed);
    combo8_ = new QComboBox(client);
    combo8_->setObjectName(QStringLiteral("Combo8"));
    combo8_->setGeometry(twipsRect(2400, 1440, 855, 405));
    {
        // setEditable would also build the list's pop-up, which waits for a
        // click. A new line edit lays its empty text out once in the
        // application's face before it takes the box's: for that moment the
        // application's face is the window's, drawn anyway, rather than one
        // loaded for nothing.
        const QFont applicationFont = QGuiApplication::font();
        QGuiApplication::setFont(font());
        combo8_->setLineEdit(new QLineEdit(combo8_));
        QGuiApplication::setFont(applicationFont);
    }
    combo8_->setInsertPolicy(QComboBox::NoInsert);
    for (int level = 0; level <= 9; ++level) {
        combo8_->addItem(QString::number(level));
    }
    showSquelch(QStringLiteral(" 3"));
    platform::setTextColor(combo8_, platform::kRed);
    platform::takeWheelOnlyWithFocus(combo8_);

    auto* label5 = new ClickableLabel(QStringLiteral("设置紧急信道"), client);
    label5->setObjectName(QStringLiteral("Label5"));
    label5->setGeometry(twipsRect(7440, 1560, 2055, 255));
    platform::setTextColor(label5, platform::kRed);
    // The pointer reaches the label only once the window is up.
    platform::afterFirstFrame(this, [label5] { label5->setCursor(handPointer()); });

    grid_ = new ChannelGrid(*channels_, client);
    grid_->setObjectName(QStringLiteral("DataGrid1"));
    grid_->setGeometry(twipsRect(840, 1920, 10215, 6015));
    connect(grid_, &ChannelGrid::rowChangeFailed, this, &StartWindow::showDataError);
    connect(grid_, &ChannelGrid::cellEdited, this, [this](int column) {
        afterFrequencyEdit(*channels_, column, [this] {
            const int row = channels_->currentRow();
            outOfRangeShown_ = true;
            platform::showMessage(this,
                                  {QStringLiteral("数据超出范围 ！！"), platform::dataErrorTitle(),
                                   platform::MessageIcon::Information});
            // A write that ended while the message was open moved the cursor
            // to row 1: the cell is cleared in the row it was typed into.
            channels_->moveTo(row);
            // The box took the focus from the cell's editor, which is gone once
            // the check is over: typing on belongs in the grid, not in the
            // squelch box that would get it next.
            QMetaObject::invokeMethod(grid_, qOverload<>(&QWidget::setFocus), Qt::QueuedConnection);
        });
    });
    connect(label5, &ClickableLabel::clicked, this, [this] { EmergencyWindow::open(*emergency_); });
    buildPickers(client);
}

// The seven pick lists lie over the grid's first data row, each above its
// column. A pick writes into the current record; the list keeps showing the
// entry last picked, whatever row becomes current.
void StartWindow::buildPickers(QWidget* client) {
    struct PickerPlace {
        const char* name;
        Picker picker;
        int left;
        int width;
        std::vector<std::string> entries;
    };
    const std::vector<PickerPlace> places = {
        {"Combo1", Picker::Combo1, 3240, 855, receiveTonePickList()},
        {"Combo2", Picker::Combo2, 4200, 975, receiveCodePickList()},
        {"Combo3", Picker::Combo3, 6360, 975, transmitTonePickList()},
        {"Combo4", Picker::Combo4, 7440, 975, transmitCodePickList()},
        {"Combo5", Picker::Combo5, 8400, 735, scanPickList()},
        {"Combo6", Picker::Combo6, 9120, 735, busyLockoutPickList()},
        {"Combo7", Picker::Combo7, 9840, 735, beatShiftPickList()},
    };
    for (const PickerPlace& place : places) {
        auto* combo = new QComboBox(client);
        combo->setObjectName(QString::fromUtf8(place.name));
        combo->setGeometry(twipsRect(place.left, 2280, place.width, 330));
        // The lists show nothing until a pick, so their face waits for the
        // first frame: setting it builds each list's pop-up at once.
        platform::afterFirstFrame(this, [combo] { combo->setFont(platform::songFont(10.5)); });
        platform::setTextColor(combo, platform::kRed);
        // In one insertion: item by item, the list is told of each entry.
        QStringList entries;
        entries.reserve(static_cast<qsizetype>(place.entries.size()));
        for (const std::string& entry : place.entries) {
            entries << QString::fromStdString(entry);
        }
        combo->addItems(entries);
        combo->setCurrentIndex(-1);
        combo->raise();
        // The wheel would otherwise pick, and so write into the row, at
        // every notch while the pointer merely passes over the list.
        platform::takeWheelOnlyWithFocus(combo);
        connect(combo, &QComboBox::activated, this,
                [this, combo, picker = place.picker](int index) {
                    try {
                        applyPick(*channels_, picker, combo->itemText(index).toStdString());
                    } catch (const DataError& error) {
                        showDataError(QString::fromStdString(error.what()));
                    }
                });
    }
}

void StartWindow::showDataError(const QString& reason) {
    // The reason is the database's own words: on the second line.
    platform::showMessage(this, {QStringLiteral("数据库操作失败"), platform::dataErrorTitle(),
                                 platform::MessageIcon::Information, reason});
}

void StartWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    // Menus use the system font of a Chinese desktop (宋体 9 pt), not the
    // window's large Kai face.
    bar->setFont(platform::songFont(9));
    const auto blanks = [](int count) { return QString(count, ' '); };
    const auto named = [](QAction* action, const char* name) {
        action->setObjectName(QString::fromUtf8(name));
        return action;
    };

    QMenu* file = bar->addMenu(blanks(8) + QStringLiteral("文件(&F)"));
    file->setObjectName(QStringLiteral("文件"));
    QAction* open = named(file->addAction(QStringLiteral("打开文件(&O)")), "打开");
    connect(open, &QAction::triggered, this, &StartWindow::LoadChannelFile);
    QAction* save = named(file->addAction(QStringLiteral("保存文件(&V)")), "保存");
    connect(save, &QAction::triggered, this, &StartWindow::SaveChannelFile);
    QAction* importCsv = named(file->addAction(QStringLiteral("导入CSV(&I)...")), "导入CSV");
    connect(importCsv, &QAction::triggered, this, &StartWindow::ImportChirpCsv);
    QAction* exportCsv = named(file->addAction(QStringLiteral("导出CSV(&X)...")), "导出CSV");
    connect(exportCsv, &QAction::triggered, this, &StartWindow::ExportChirpCsv);
    QAction* read = named(bar->addAction(blanks(8) + QStringLiteral("读信道数据(&R)")), "读信道");
    connect(read, &QAction::triggered, this, &StartWindow::readChannels);
    QAction* write = named(bar->addAction(blanks(8) + QStringLiteral("写信道数据(&W)")), "写信道");
    connect(write, &QAction::triggered, this, &StartWindow::writeChannels);
    QMenu* system = bar->addMenu(blanks(8) + QStringLiteral("系统设置(&S)"));
    system->setObjectName(QStringLiteral("系统"));
    QAction* port = named(system->addAction(QStringLiteral("选择端口(&P)")), "端口");
    connect(port, &QAction::triggered, this, [this] {
        aux_windows::PortDialog::open(*port_, [this] { return write_->isRunning(); });
    });
    named(system->addAction(QStringLiteral("波特率(&B)")), "波特率");
    QAction* quit = named(bar->addAction(blanks(7) + QStringLiteral("退出系统(&E)")), "退出");
    connect(quit, &QAction::triggered, this, &QWidget::close);
    QMenu* help = bar->addMenu(blanks(7) + QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("帮助"));
    QAction* instructions = named(help->addAction(QStringLiteral("操作说明(&I)")), "说明");
    connect(instructions, &QAction::triggered, this,
            [] { aux_windows::InstructionsWindow::open(); });
    QAction* about = named(help->addAction(QStringLiteral("关于本软件(&A)")), "关于");
    connect(about, &QAction::triggered, this, [] { aux_windows::AboutWindow::open(); });
    // A drop-down menu is a window of its own and takes no font from the bar.
    for (QMenu* menu : {file, system, help}) {
        menu->setFont(bar->font());
    }
}

QString StartWindow::formatDate(const QDate& date) const {
    return QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day());
}

void StartWindow::startUp() {
    show();
    dcsCodes_.fill();
    label8_->setText(formatDate(options_.today()));
    channels_->MoveFirst();
    // The port, and what is said about it, wait for the first frame: its open
    // is not drawn, and a message comes over the window, not before it.
    platform::afterFirstFrame(this, [this] {
        if (!traceFailure_.isEmpty()) {
            platform::showMessage(this, {QStringLiteral("无法写入线路记录文件 %1")
                                             .arg(qEnvironmentVariable("KR4720_TRACE")),
                                         platform::dataErrorTitle(),
                                         platform::MessageIcon::Information, traceFailure_});
        }
        openSerialPort();
        timer3_.start();
    });
    // A year of backups is thousands of files: the window is up first.
    platform::afterFirstFrame(this, [] { platform::removeOldBackups(platform::backupsFolder()); });
    // Without a Chinese face every caption is a row of boxes; the command on
    // the message's second line reads in any face.
    platform::afterFirstFrame(this, [this] {
        if (!platform::chineseFontInstalled()) {
            platform::showMessage(
                this,
                {QStringLiteral("没有安装中文字体，窗口中的文字无法显示"),
                 platform::portMessageTitle(), platform::MessageIcon::Exclamation,
                 QStringLiteral("sudo apt-get install fonts-arphic-ukai fonts-arphic-uming")});
        }
    });
    timer1_.stop();
    timer2_.stop();
}

void StartWindow::openSerialPort() {
    timer1_.stop();
    port_->setPortNumber(1);
    if (port_->open()) {
        return;
    }
    platform::showMessage(this, {QStringLiteral("串行端口 1已被其它设备使用，已选择 COM2 "),
                                 platform::portMessageTitle(), platform::MessageIcon::Exclamation,
                                 port_->openFailureDetail()});
    port_->setPortNumber(2);
    if (!port_->open()) {
        // The window still comes up; the port dialog can try again later.
        platform::showMessage(
            this, {QStringLiteral("串行端口 2 已被使用， "), platform::portMessageTitle(),
                   platform::MessageIcon::Exclamation, port_->openFailureDetail()});
    }
}

// The ready text speaks of the radio on the open port: a closed port clears
// it, and a newly opened one is polled until its radio answers.
void StartWindow::portOpenChanged(bool open) {
    if (!open) {
        label2_->setText(QString());
    } else if (!write_->isRunning()) {
        timer3_.start();
    }
}

// While idle nothing else would notice; a transfer says so itself, and a line
// lost while a transfer's own message was open is told when it has ended. The
// ready text went with the port (portOpenChanged).
void StartWindow::onLineLost() {
    lineLostUntold_ = write_->isRunning() || read_->isRunning();
    if (lineLostUntold_) {
        return;
    }
    platform::Message box{QStringLiteral("串行端口连接中断"), platform::portMessageTitle(),
                          platform::MessageIcon::Exclamation, port_->deviceName()};
    platform::showMessage(this, box);
}

bool StartWindow::refuseWhileWriting() {
    if (!write_->isRunning()) {
        return false;
    }
    platform::showMessage(this, platform::transferRunningMessage());
    return true;
}

bool StartWindow::takeOpenEdit() {
    outOfRangeShown_ = false;
    grid_->commitOpenEditor();
    return !outOfRangeShown_;
}

void StartWindow::writeChannels() {
    // A typo still open in a cell is cleared by the range check: writing on
    // would erase that channel on the radio.
    if (write_->isRunning() || !takeOpenEdit()) {
        return;
    }
    std::optional<radio_link::RadioImage> records;
    try {
        records = radio_link::RecordsToWrite(*channels_, *emergency_, dcsCodes_, squelchText());
    } catch (const DataError&) {
        // The write meets the same failure and says so.
    }
    sentRecorder_->clear();
    write_->start();
    if (!write_->isRunning()) {
        return;
    }
    // "A" is on the line: keep what the write is sending before its records go.
    writeHold_.emplace();
    writeBackedUp_ = true;
    writeBackup_ = records;
    writeBackupPath_ = records ? keepBackup(QStringLiteral("write"), *records) : QString();
}

void StartWindow::afterWrite() {
    writeHold_.reset();
    if (!writeBackedUp_) {
        return;
    }
    writeBackedUp_ = false;
    // A row edited while the write ran goes out as it was at its tick: the
    // backup then holds what really went on the line.
    const auto sent = sentRecorder_->image();
    if (sent && sent != writeBackup_) {
        keepBackup(QStringLiteral("write"), *sent, writeBackupPath_);
    }
    reportBackupFailure();
    reportTraceFailure();
    if (sent) {
        tellEditsNotWritten(*sent);
    }
    if (lineLostUntold_) {
        onLineLost();
    }
}

// A row changed after its record had gone (typing finished after its tick,
// or taken only as the write ended) differs from the radio now: said, so that
// the user writes again instead of trusting the grid.
void StartWindow::tellEditsNotWritten(const radio_link::RadioImage& sent) {
    std::optional<radio_link::RadioImage> now;
    try {
        now = radio_link::RecordsToWrite(*channels_, *emergency_, dcsCodes_, squelchText());
    } catch (const DataError&) {
        // The store failing is told when the grid leaves the row.
    }
    QStringList changed;
    for (int row = 0; now && row < kChannelCount; ++row) {
        if ((*now)[static_cast<std::size_t>(row)] != sent[static_cast<std::size_t>(row)]) {
            changed << QString::number(row + 1);
        }
    }
    if (!changed.isEmpty()) {
        platform::showMessage(
            this, {QStringLiteral("信道 %1 在写入时改动，改动没有写入对讲机，请重新写入 ")
                       .arg(changed.join(QStringLiteral("、"))),
                   platform::dataErrorTitle(),
                   platform::MessageIcon::Information,
                   {}});
    }
}

void StartWindow::readChannels() {
    // A read keeps the thread until it ends, so it would stall a running write.
    if (write_->isRunning() || !takeOpenEdit()) {
        return;
    }
    const QScopedValueRollback reading(reading_, true);
    readMessage_.reset();
    readBackup_.reset();
    // A read refused before "B" must not back up the last one's reply again.
    replyRecorder_->clear();
    readHeldInput_ = true;
    read_->run();
    dropInputHeldByRead();
    reportTraceFailure();
    if (lineLostUntold_) {
        onLineLost();
    }
    // A whole reply the database could not take is kept all the same: the
    // backup is then the program's only copy of it, and the user is told where.
    if (const auto records = replyRecorder_->image();
        records && readMessage_ != radio_link::TransferMessage::BadReply) {
        EmergencyWindow::reloadIfOpen();
        const QString kept = keepReadBackup(*records);
        const bool onlyCopy = readMessage_ == radio_link::TransferMessage::DataFailure;
        if (onlyCopy && !kept.isEmpty()) {
            platform::showMessage(this,
                                  {QStringLiteral("读出的数据已保存在备份文件 %1").arg(kept),
                                   platform::dataErrorTitle(), platform::MessageIcon::Information});
        }
        reportBackupFailure(onlyCopy);
    }
}

// A backup never holds up or stops a transfer: one that cannot be saved is
// told once the transfer is over. Returns the file saved, empty on failure.
QString StartWindow::keepBackup(const QString& what, const radio_link::RadioImage& image,
                                const QString& replacing) {
    const std::string text = radio_link::RadioImageText(image);
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    const platform::BackupSave saved =
        replacing.isEmpty()
            ? platform::saveBackup(what, bytes)
            : platform::BackupSave{replacing, platform::saveWholeFile(replacing, bytes)};
    backupFailure_ = saved.ok() ? QString() : saved.path;
    backupFailureReason_ = saved.error;
    return saved.ok() ? saved.path : QString();
}

// A read's reply is backed up once, as soon as it is known to be whole.
QString StartWindow::keepReadBackup(const radio_link::RadioImage& records) {
    if (!readBackup_) {
        readBackup_ = keepBackup(QStringLiteral("read"), records);
    }
    return *readBackup_;
}

// When the backup was to be the only copy of a read, the reply is lost; the
// radio still holds it.
void StartWindow::reportBackupFailure(bool onlyCopy) {
    if (backupFailure_.isEmpty()) {
        return;
    }
    const QString text =
        onlyCopy ? QStringLiteral("备份文件 %1 也无法保存，读出的数据没有保存（对讲机中的数据不变，"
                                  "可以重新读取）")
                 : QStringLiteral("备份文件 %1 无法保存（数据传送不受影响）");
    platform::showMessage(this, {text.arg(backupFailure_), platform::dataErrorTitle(),
                                 platform::MessageIcon::Information, backupFailureReason_});
    backupFailure_.clear();
}

// A trace that stopped (a full disk) is told once, after the transfer.
void StartWindow::reportTraceFailure() {
    if (!trace_ || traceStopTold_ || trace_->failure().isEmpty()) {
        return;
    }
    traceStopTold_ = true;
    platform::showMessage(this, {QStringLiteral("无法继续写入线路记录文件 %1，记录不完整")
                                     .arg(qEnvironmentVariable("KR4720_TRACE")),
                                 platform::dataErrorTitle(), platform::MessageIcon::Information,
                                 trace_->failure()});
}

namespace {

const QString kChannelFileFilter = QStringLiteral("text(*.doc)|*.doc");
// Far more than any channel file; a bigger file is read only this far.
constexpr qint64 kChannelFileReadLimit = 16 * 1024 * 1024;

} // namespace

// Both file commands start on row 1 and then ask for a file; false when there
// is nothing to do. Text still open in a cell is taken first, as every file
// command does: taken on the move to row 1, it would be stored into its own
// row and leave the cursor there while the grid stood on row 1.
bool StartWindow::chooseChannelFile(bool save) {
    if (!takeOpenEdit()) {
        return false;
    }
    try {
        channels_->MoveFirst();
    } catch (const DataError& error) {
        showDataError(QString::fromStdString(error.what()));
        // A save goes on with the set the grid shows: the way out of a
        // database that has stopped storing (a full disk, a folder made
        // read-only). A load would have nowhere to put its rows.
        if (!save) {
            return false;
        }
    }
    commonDialog1_.setFilter(kChannelFileFilter);
    return save ? commonDialog1_.ShowSave(this) : commonDialog1_.ShowOpen(this);
}

void StartWindow::SaveChannelFile() {
    if (!chooseChannelFile(true)) {
        return;
    }
    QString failure;
    try {
        const std::string squelch = combo8_->currentText().toLocal8Bit().toStdString();
        // Off row 1, the move that began the save could not store the row
        // being edited (and said so): the file gets the set the grid shows.
        const std::string text = channels_->currentRow() == 0
                                     ? channel_files::SaveText(*channels_, squelch)
                                     : channel_files::ChannelFileText(
                                           channel_files::ShownChannelFile(*channels_, squelch));
        failure = saveChosenFile(commonDialog1_.fileName(), text);
    } catch (const DataError& error) {
        showDataError(QString::fromStdString(error.what()));
        return;
    } catch (const channel_files::ChannelFileValueError& error) {
        failure = QString::fromStdString(error.what());
    }
    if (!failure.isEmpty()) {
        platform::showMessage(
            this, {QStringLiteral("无法保存文件 %1").arg(commonDialog1_.fileName()),
                   platform::dataErrorTitle(), platform::MessageIcon::Information, failure});
    }
}

QString StartWindow::saveChosenFile(const QString& path, const std::string& text) const {
    // Replacing the program's own database with text would lose the set it
    // holds, and every edit made after.
    for (const std::string_view database : {kChannelDatabaseFile, kEmergencyDatabaseFile}) {
        if (platform::sameFile(path, databasePath(options_.databaseFolder, database))) {
            return QStringLiteral("这是本程序的数据库文件，不能用来保存");
        }
    }
    return platform::saveWholeFile(path,
                                   QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

void StartWindow::LoadChannelFile() {
    if (refuseWhileWriting() || !chooseChannelFile(false)) {
        return;
    }
    // `reason` is ours, in Chinese; `detail` the system's words.
    const auto refuse = [this](const QString& reason, const QString& detail = {}) {
        const QString name = commonDialog1_.fileName();
        platform::showMessage(
            this, {reason.isEmpty() ? QStringLiteral("无法打开文件 %1").arg(name)
                                    : QStringLiteral("无法打开文件 %1：%2").arg(name, reason),
                   platform::dataErrorTitle(), platform::MessageIcon::Information, detail});
    };
    const platform::FileStart file =
        platform::readFileStart(commonDialog1_.fileName(), kChannelFileReadLimit);
    if (file.notRegular) {
        refuse(file.error);
        return;
    }
    if (!file.opened) {
        refuse({}, file.error);
        return;
    }
    // Everything is read and checked before anything changes.
    const channel_files::ChannelFileLoad load = channel_files::ParseChannelFile(
        std::string_view(file.bytes.constData(), file.bytes.size()));
    if (!load.ok()) {
        refuse(QString::fromStdString(load.errorText()));
        return;
    }
    try {
        channel_files::ApplyChannelFile(*load.contents, *channels_);
    } catch (const DataError& error) {
        showDataError(QString::fromStdString(error.what()));
        return;
    }
    showSquelch(QString::fromLocal8Bit(load.contents->squelch));
}

bool StartWindow::chooseCsvFile(bool save) {
    if (!takeOpenEdit()) {
        return false;
    }
    csvDialog_.setFilter(QStringLiteral("CSV|*.csv"));
    csvDialog_.setDefaultSuffix(QStringLiteral("csv"));
    return save ? csvDialog_.ShowSave(this) : csvDialog_.ShowOpen(this);
}

// Replaces the 16 channels with the rows of a CHIRP CSV file, or changes
// nothing when the file is refused. The emergency channel and the squelch
// level are not part of such a file and stay.
void StartWindow::ImportChirpCsv() {
    if (refuseWhileWriting() || !chooseCsvFile(false)) {
        return;
    }
    const auto refuse = [this](const QString& reason, const QString& detail = {}) {
        platform::showMessage(
            this, {QStringLiteral("无法导入文件 %1").arg(csvDialog_.fileName()) + reason,
                   platform::dataErrorTitle(), platform::MessageIcon::Information, detail});
    };
    const platform::FileStart file =
        platform::readFileStart(csvDialog_.fileName(), kChannelFileReadLimit);
    if (file.notRegular) {
        refuse(QStringLiteral("：") + file.error);
        return;
    }
    if (!file.opened) {
        refuse({}, file.error);
        return;
    }
    if (file.tooLarge) {
        refuse(QStringLiteral("：文件太大"));
        return;
    }
    const channel_files::ChirpCsvImport import = channel_files::ParseChirpCsv(
        std::string_view(file.bytes.constData(), static_cast<std::size_t>(file.bytes.size())),
        dcsCodes_);
    if (!import.ok()) {
        refuse(QStringLiteral("：") + QString::fromStdString(import.errorText()));
        return;
    }
    // A file with no row this radio can hold is the wrong file, not a wish to
    // empty every channel: the rows skipped go on the second line.
    if (import.taken == 0) {
        refuse(QStringLiteral("：没有可以导入的行，信道没有改变"),
               QString::fromStdString(import.reportText()).section(QLatin1Char('\n'), 1));
        return;
    }
    try {
        channel_files::ApplyChirpCsvRows(*import.rows, *channels_);
    } catch (const DataError& error) {
        showDataError(QString::fromStdString(error.what()));
        return;
    }
    platform::showMessage(this,
                          {QString::fromStdString(import.reportText()), QStringLiteral("导入CSV"),
                           platform::MessageIcon::Information, QString()});
}

// Writes the 16 channels as a CHIRP CSV file, whole or not at all.
void StartWindow::ExportChirpCsv() {
    if (!chooseCsvFile(true)) {
        return;
    }
    ChannelSet set;
    try {
        set.rows = CollectChannelRows(*channels_);
        channels_->MoveFirst();
    } catch (const DataError& error) {
        // The row being edited was refused: the file gets the set the grid
        // shows, as a save does.
        showDataError(QString::fromStdString(error.what()));
        set.rows = ShownChannelRows(*channels_);
    }
    const std::string text = channel_files::ChirpCsvText(set);
    const QString failure = saveChosenFile(csvDialog_.fileName(), text);
    if (!failure.isEmpty()) {
        platform::showMessage(this, {QStringLiteral("无法导出文件 %1").arg(csvDialog_.fileName()),
                                     platform::dataErrorTitle(), platform::MessageIcon::Information,
                                     failure});
    } else if (const std::string note = channel_files::CsvExportNote(set, dcsCodes_);
               !note.empty()) {
        platform::showMessage(this, {QString::fromStdString(note), QStringLiteral("导出CSV"),
                                     platform::MessageIcon::Information});
    }
}

void StartWindow::setStatus(const std::string& text) {
    label2_->setText(QString::fromStdString(text));
}

void StartWindow::setProgress(int value) {
    progressBar1_->setValue(value);
    // The read keeps the thread; paint now rather than at the next event loop turn.
    progressBar1_->repaint();
}

std::string StartWindow::squelchText() const {
    return combo8_->currentText().toStdString();
}

void StartWindow::setSquelchText(const std::string& text) {
    showSquelch(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

// The box keeps the text as given (" 3"); its list opens on that level, and
// the wheel and arrow keys step from it, not from the list's first entry.
void StartWindow::showSquelch(const QString& text) {
    combo8_->setCurrentIndex(combo8_->findText(text.trimmed()));
    combo8_->setEditText(text);
}

// Keys typed and clicks made while the read kept the thread were meant for
// the window as it stood: typed on, they would land in the row the read left
// current. They go before the read's first message, which they could close.
void StartWindow::dropInputHeldByRead() {
    if (readHeldInput_) {
        readHeldInput_ = false;
        platform::dropWaitingInput();
    }
}

void StartWindow::showMessage(radio_link::TransferMessage message,
                              const radio_link::MessageDetail& detail) {
    using radio_link::TransferMessage;
    dropInputHeldByRead();
    readMessage_ = message;
    platform::Message box{{}, platform::dataErrorTitle(), platform::MessageIcon::Information, {}};
    switch (message) {
    case TransferMessage::ReadTimeout:
    case TransferMessage::BadReply:
        box.text = QStringLiteral("读数错误！！");
        break;
    case TransferMessage::OutOfRange:
        box.text = QStringLiteral("数据超出范围 ！！");
        box.informativeText = QString::fromStdString(radio_link::UnsendableValueText(detail));
        break;
    case TransferMessage::SquelchReplaced:
        box.text = QStringLiteral("静噪级别超出范围，已写入原来的静噪级别 %1 ")
                       .arg(QString::fromStdString(detail.text));
        break;
    case TransferMessage::LongSilence:
        box = {QStringLiteral("数据传送停顿了 %1 秒，对讲机可能没有收下，请重新写入 ")
                   .arg(QString::fromStdString(detail.text)),
               platform::portMessageTitle(),
               platform::MessageIcon::Exclamation,
               {}};
        break;
    case TransferMessage::PortNotOpen:
        box = {QStringLiteral("串行端口没有打开，请先选择端口 "),
               platform::portMessageTitle(),
               platform::MessageIcon::Exclamation,
               {}};
        break;
    case TransferMessage::LineLost:
        lineLostUntold_ = false;
        box = {QStringLiteral("串行端口连接中断，数据传送没有完成 "),
               platform::portMessageTitle(),
               platform::MessageIcon::Exclamation,
               {}};
        break;
    case TransferMessage::DataFailure:
        // A whole reply the database refused has no other copy: it is backed
        // up before the box, which may stay open long, or outlive the program.
        if (const auto records = replyRecorder_->image(); records && read_->isRunning()) {
            keepReadBackup(*records);
        }
        showDataError(QString::fromStdString(detail.text));
        return;
    }
    platform::showMessage(this, box);
}

void StartWindow::closeEvent(QCloseEvent* event) {
    // Dropping the input a read held runs the events that waited, a close
    // among them: the read goes on below, and must keep its window. A stop
    // signal's next try closes it after the read; a click on the close box
    // is dropped with the rest.
    if (reading_) {
        event->ignore();
        return;
    }
    // Once "A" is out the radio gets all 17 records (about 2 s at most); the
    // window closes when the last one has gone. Text still being typed is
    // taken now, so that it goes out with its record when that has not left
    // yet; a typo keeps the window open.
    if (write_->isRunning()) {
        closeAfterWrite_ = takeOpenEdit() || platform::stopSignal() != 0;
        event->ignore();
        return;
    }
    // A typo that was refused has been told and its cell emptied: the user
    // may put it right before the row is stored.
    if (!takeOpenEdit() && platform::stopSignal() == 0) {
        event->ignore();
        return;
    }
    try {
        channels_->storePending();
    } catch (const DataError& error) {
        const QString reason = QString::fromStdString(error.what());
        // After a stop signal nobody may be there to answer.
        if (platform::stopSignal() != 0) {
            showDataError(reason);
        } else if (!platform::askQuestion(
                       this,
                       {QStringLiteral("数据库操作失败，修改没有保存。仍然退出吗？ "),
                        platform::dataErrorTitle(), platform::MessageIcon::Exclamation, reason})) {
            event->ignore();
            return;
        }
    }
    timer1_.stop();
    timer3_.stop();
    timer4_.stop();
    closeSecondaryWindows();
    port_->close();
    event->accept();
}

} // namespace kr4720::main_window
