#pragma once

#include "channel_data/tone_tables.h"
#include "platform/file_dialog.h"
#include "platform/stop_signals.h"
#include "platform/window_timer.h"
#include "radio_link/handshake.h"
#include "radio_link/radio_image.h"
#include "radio_link/read_sequence.h"
#include "radio_link/reply_recorder.h"
#include "radio_link/write_records.h"
#include "radio_link/write_sequence.h"

#include <QDate>
#include <QLockFile>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <future>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QProgressBar;
class QAction;

namespace kr4720::platform {
class SqliteChannelTable;
class SqliteEmergencyTable;
class SerialPort;
class LineTrace;
} // namespace kr4720::platform

namespace kr4720::main_window {

class ChannelGrid;

// The database folder made (when named) and locked against a second copy of
// the program: the lock when it could be tried, else why the folder could
// not be made.
struct FolderLock {
    std::unique_ptr<QLockFile> lock;
    QString folderFailure;
};

struct StartWindowOptions {
    // Folder of tw8810.mdb and tw8810X.mdb; the working directory when empty.
    QString databaseFolder;
    // Today's date for the date display.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // The folder's lock from lockFolderAhead; the window takes it itself when
    // there is none.
    std::future<FolderLock> folderLock = {};
};

// Makes and locks a database folder on a thread of its own: the lock's write
// waits for the disk, which the start-up need not do on its main thread.
std::future<FolderLock> lockFolderAhead(const QString& databaseFolder);

// 启动窗体: the main window. It owns the channel and emergency cursors, the
// grid, the serial port, the four timers and every control the commands act
// on. Creating it opens both databases (throws platform::StoreOpenError when
// one cannot be used); startUp() runs the start-up steps.
class StartWindow : public QMainWindow, private radio_link::TransferDisplay {
    Q_OBJECT
public:
    explicit StartWindow(StartWindowOptions options = {}, QWidget* parent = nullptr);
    ~StartWindow() override;

    void startUp();

    platform::SqliteChannelTable& channelCursor() { return *channels_; }
    platform::SqliteEmergencyTable& emergencyCursor() { return *emergency_; }
    platform::SerialPort& serialPort() { return *port_; }
    const DcsCodes& dcsCodes() const { return dcsCodes_; }
    ChannelGrid* grid() const { return grid_; }

    QTimer& timer1() { return timer1_; }
    QTimer& timer2() { return timer2_; }
    QTimer& timer3() { return timer3_; }
    QTimer& timer4() { return timer4_; }

    // The menu commands 写信道 and 读信道.
    void writeChannels();
    void readChannels();
    // The menu commands 保存 and 打开.
    void SaveChannelFile();
    void LoadChannelFile();
    // The menu commands 导入CSV and 导出CSV: the 16 channels from and to CHIRP CSV.
    void ImportChirpCsv();
    void ExportChirpCsv();
    const radio_link::WriteSequence& writeSequence() const { return *write_; }
    // For commands that replace rows: true, after telling the user, while a
    // write is sending them.
    bool refuseWhileWriting();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildPickers(QWidget* client);
    void showDataError(const QString& reason);
    void showSquelch(const QString& text);
    void closeSecondaryWindows();
    // Puts text still open in a cell into the channel, as leaving the cell
    // would; false when the range check refused it as a typo or out of range
    // (and said so).
    bool takeOpenEdit();
    bool chooseChannelFile(bool save);
    // Saves a file the user chose; the reason when it cannot.
    QString saveChosenFile(const QString& path, const std::string& text) const;
    bool chooseCsvFile(bool save);
    void openSerialPort();
    void onLineLost();
    void portOpenChanged(bool open);
    void afterWrite();
    void tellEditsNotWritten(const radio_link::RadioImage& sent);
    void dropInputHeldByRead();
    QString keepBackup(const QString& what, const radio_link::RadioImage& image,
                       const QString& replacing = {});
    QString keepReadBackup(const radio_link::RadioImage& records);
    void reportBackupFailure(bool onlyCopy = false);
    void reportTraceFailure();

    // What the transfers show in the window.
    void setStatus(const std::string& text) override;
    void setProgress(int value) override;
    std::string squelchText() const override;
    void setSquelchText(const std::string& text) override;
    void showMessage(radio_link::TransferMessage message,
                     const radio_link::MessageDetail& detail) override;
    QString formatDate(const QDate& date) const;

    StartWindowOptions options_;
    // Held while the window has the folder's databases: a second window on
    // them would store rows from its own view over the first one's.
    std::unique_ptr<QLockFile> folderLock_;
    std::unique_ptr<platform::SqliteChannelTable> channels_;
    std::unique_ptr<platform::SqliteEmergencyTable> emergency_;
    // KR4720_TRACE: every byte on the line; outlives the port that writes to it.
    std::unique_ptr<platform::LineTrace> trace_;
    QString traceFailure_;
    bool traceStopTold_ = false;
    bool lineLostUntold_ = false; // the line went while a transfer ran, and it did not say so
    bool reading_ = false;        // readChannels is on the stack
    bool readHeldInput_ = false;  // a read kept the thread: input made meanwhile is dropped
    std::unique_ptr<platform::SerialPort> port_;
    DcsCodes dcsCodes_;
    platform::CommonDialog commonDialog1_;
    // CSV files have a dialog of their own, so a channel file's name is never
    // offered for a CSV export or the other way round.
    platform::CommonDialog csvDialog_;

    QTimer timer1_;
    QTimer timer2_;
    QTimer timer3_;
    QTimer timer4_;
    platform::WindowTimer windowTimer1_{timer1_};
    platform::WindowTimer windowTimer3_{timer3_};
    platform::WindowTimer windowTimer4_{timer4_};
    platform::SteadyClock clock_;
    // What the transfers put on and take from the line, for the backups.
    std::unique_ptr<radio_link::SentRecorder> sentRecorder_;
    std::unique_ptr<radio_link::ReplyRecorder> replyRecorder_;
    std::unique_ptr<radio_link::RadioReadyHandshake> handshake_;
    std::unique_ptr<radio_link::WriteSequence> write_;
    std::unique_ptr<radio_link::ReadSequence> read_;

    ChannelGrid* grid_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label8_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QComboBox* combo8_ = nullptr;
    // The window was asked to close while a write ran: it closes when the write ends.
    bool closeAfterWrite_ = false;
    bool outOfRangeShown_ = false;

    // The backup of the running write: its file and what was saved.
    bool writeBackedUp_ = false;
    std::optional<platform::SuspendHold> writeHold_; // Ctrl+Z waits for the write
    QString writeBackupPath_; // the write's backup, replaced by what really went out
    std::optional<radio_link::RadioImage> writeBackup_;
    // A backup that could not be saved, told once the transfer is over.
    QString backupFailure_;
    QString backupFailureReason_;
    // The message the running read showed, if any: whether it refused its
    // reply as not the radio's, or the database refused what it read.
    std::optional<radio_link::TransferMessage> readMessage_;
    std::optional<QString> readBackup_; // the read's backup once made, empty when it failed
};

} // namespace kr4720::main_window
