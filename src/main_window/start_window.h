#pragma once

#include "channel_data/tone_tables.h"

#include <QDate>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QProgressBar;
class QAction;

namespace kr4720::platform {
class SqliteChannelTable;
class SqliteEmergencyTable;
class SerialPort;
} // namespace kr4720::platform

namespace kr4720::main_window {

class ChannelGrid;

struct StartWindowOptions {
    // Folder of tw8810.mdb and tw8810X.mdb; the working directory when empty.
    QString databaseFolder;
    // Today's date for the date display.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
};

// 启动窗体: the main window. It owns the channel and emergency cursors, the
// grid, the serial port, the four timers and every control the commands act
// on. Creating it opens both databases (throws platform::StoreOpenError when
// one cannot be used); startUp() runs the start-up steps.
class StartWindow : public QMainWindow {
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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void openSerialPort();
    QString formatDate(const QDate& date) const;

    StartWindowOptions options_;
    std::unique_ptr<platform::SqliteChannelTable> channels_;
    std::unique_ptr<platform::SqliteEmergencyTable> emergency_;
    std::unique_ptr<platform::SerialPort> port_;
    DcsCodes dcsCodes_;

    QTimer timer1_;
    QTimer timer2_;
    QTimer timer3_;
    QTimer timer4_;

    ChannelGrid* grid_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label8_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    QComboBox* combo8_ = nullptr;
};

} // namespace kr4720::main_window
