#include "cli/port_job.h"

#include "channel_data/channel_layout.h"
#include "channel_data/tone_tables.h"
#include "platform/backups.h"
#include "platform/port_names.h"
#include "platform/serial_port.h"
#include "platform/stop_signals.h"
#include "platform/window_timer.h"
#include "radio_link/handshake.h"
#include "radio_link/read_sequence.h"
#include "radio_link/record_codec.h"
#include "radio_link/reply_recorder.h"
#include "radio_link/write_sequence.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace kr4720::cli {
namespace {

using namespace std::chrono_literals;

// A timer the transfers may start and stop where nothing has to tick (the
// read's Timer3: the command-line program polls only when it waits for a radio).
class IdleTimer : public radio_link::Timer {
public:
    void start() override { active_ = true; }
    void stop() override { active_ = false; }
    bool isActive() const override { return active_; }

private:
    bool active_ = false;
};

// What the transfers show in the window: here the progress goes to the
// caller, the squelch box is the set's squelch text, a message is the failure.
class JobDisplay : public radio_link::TransferDisplay {
public:
    JobDisplay(ChannelSet& set, const ProgressFunction& progress, Phase phase)
        : set_(set), progress_(progress), phase_(phase) {}

    void setStatus(const std::string& text) override { status_ = text; }
    void setProgress(int value) override {
        if (progress_ && value > 0) {
            progress_(phase_, std::min(100, value + 6));
        }
    }
    std::string squelchText() const override { return set_.squelch; }
    void setSquelchText(const std::string& text) override { set_.squelch = text; }
    void showMessage(radio_link::TransferMessage message,
                     const radio_link::MessageDetail& detail) override {
        if (message_) {
            return;
        }
        message_ = message;
        if (message == radio_link::TransferMessage::OutOfRange) {
            detail_ = radio_link::UnsendableValueText(detail);
        } else if (message == radio_link::TransferMessage::LongSilence) {
            detail_ = "停顿了 " + detail.text + " 秒";
        } else {
            detail_ = detail.text;
        }
    }

    const std::string& status() const { return status_; }
    std::optional<radio_link::TransferMessage> message() const { return message_; }
    const std::string& detail() const { return detail_; }

private:
    ChannelSet& set_;
    const ProgressFunction& progress_;
    Phase phase_;
    std::string status_;
    std::optional<radio_link::TransferMessage> message_;
    std::string detail_;
};

QString messageText(radio_link::TransferMessage message) {
    using radio_link::TransferMessage;
    switch (message) {
    case TransferMessage::ReadTimeout:
    case TransferMessage::BadReply:
        return QStringLiteral("读数错误！！");
    case TransferMessage::SquelchReplaced:
        return QStringLiteral("静噪级别超出范围，已写入原来的静噪级别");
    case TransferMessage::OutOfRange:
        return QStringLiteral("数据超出范围 ！！");
    case TransferMessage::PortNotOpen: // the job opened it: the line went away
        return QStringLiteral("串行端口连接中断");
    case TransferMessage::LineLost:
        return QStringLiteral("串行端口连接中断，数据传送没有完成");
    case TransferMessage::DataFailure:
        return QStringLiteral("数据操作失败");
    case TransferMessage::LongSilence:
        return QStringLiteral("数据传送停顿过久，对讲机可能没有收下，请重新写入");
    }
    return {};
}

class Job {
public:
    Job(const PortTask& task, const ProgressFunction& progress) : task_(task), progress_(progress) {
        codes_.fill();
        port_.setDeviceName(task.device);
        port_.setTrace(task.trace);
    }

    PortResult run() {
        report(Phase::Opening, 0);
        if (stopHere() || !open()) {
            report(endPhase(), 0);
            return result_;
        }
        switch (task_.kind) {
        case PortTask::Kind::Detect:
            result_.answered = waitUntilReady(1000ms, QStringLiteral("对讲机没有应答"));
            break;
        case PortTask::Kind::Read:
        case PortTask::Kind::Verify:
            if (read(Phase::Reading) && !stopHere() && task_.kind == PortTask::Kind::Verify) {
                compare();
            }
            break;
        case PortTask::Kind::Write:
            write();
            break;
        }
        port_.close();
        report(endPhase(), 100);
        return result_;
    }

private:
    void report(Phase phase, int percent) {
        if (progress_) {
            progress_(phase, percent);
        }
    }

    Phase endPhase() const {
        if (result_.code == kOk) {
            return Phase::Done;
        }
        return result_.code >= kStopped ? Phase::Stopped : Phase::Failed;
    }

    void fail(int code, const QString& message, const QString& detail = {}) {
        result_.code = code;
        result_.message = message;
        result_.detail = detail;
    }

    // Once the program has been asked to stop, the port ends at the next
    // point where the radio holds a whole set: before "A" or after the last record.
    bool stopHere() {
        const int signal = platform::stopSignal();
        if (signal == 0) {
            return false;
        }
        if (result_.written) {
            fail(kStopped + signal, QStringLiteral("已停止：已写入，没有核对"));
        } else {
            fail(kStopped + signal, task_.kind == PortTask::Kind::Write
                                        ? QStringLiteral("已停止，没有写入")
                                        : QStringLiteral("已停止"));
        }
        return true;
    }

    bool open() {
        if (port_.open()) {
            return true;
        }
        // The device, the system's reason and that another program holds it,
        // or for a refused permission the group to join.
        const QString reason = port_.openFailureDetail();
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError:
            fail(kPortUnavailable,
                 QStringLiteral("无法打开串行端口 %1：端口不存在").arg(task_.device), reason);
            break;
        case QSerialPort::PermissionError:
            result_.refused = true;
            if (!platform::heldByAnotherProgram(port_.deviceName(), port_.error())) {
                fail(kPortUnavailable,
                     QStringLiteral("无法打开串行端口 %1：没有使用权限").arg(task_.device), reason);
                break;
            }
            [[fallthrough]];
        default:
            fail(
                kPortUnavailable,
                QStringLiteral("无法打开串行端口 %1：已被其它程序使用或无法打开").arg(task_.device),
                reason);
            break;
        }
        return false;
    }

    // The window's radio-ready handshake: "C" polls until the radio answers
    // "C". Without an answer the port fails with `silence`, or stops.
    bool waitUntilReady(std::chrono::milliseconds limit, const QString& silence) {
        report(Phase::Waiting, 0);
        ChannelSet scratch;
        JobDisplay display(scratch, progress_, Phase::Waiting);
        QTimer timer3;
        timer3.setInterval(radio_link::RadioReadyHandshake::kPollInterval);
        timer3.setTimerType(Qt::PreciseTimer);
        platform::WindowTimer windowTimer3(timer3);
        radio_link::RadioReadyHandshake handshake(port_, display, windowTimer3);
        QEventLoop loop;
        QObject::connect(&timer3, &QTimer::timeout, &loop, [&] {
            handshake.tick();
            if (!timer3.isActive() || !port_.isOpen() || platform::stopSignal() != 0) {
                loop.quit();
            }
        });
        QTimer::singleShot(limit, &loop, &QEventLoop::quit);
        timer3.start();
        loop.exec();
        timer3.stop();
        if (display.status() == radio_link::kRadioReadyText) {
            if (fallsSilent()) {
                return true;
            }
            fail(kFailed, QStringLiteral("端口上的设备一直在发送数据，不像是对讲机"));
            return false;
        }
        if (!stopHere()) {
            fail(kFailed,
                 port_.isOpen() ? silence : messageText(radio_link::TransferMessage::PortNotOpen));
        }
        return false;
    }

    // A radio answers a poll with "C" and then falls silent; one "C" per poll
    // still on its way may follow. A device that keeps sending (a GPS
    // receiver) can have a "C" in its stream too, and must not be written.
    bool fallsSilent() {
        const QDeadlineTimer quiet(50);
        while (!quiet.hasExpired() &&
               port_.waitForInput(std::chrono::milliseconds(quiet.remainingTime()))) {
            if (port_.input() != "C") {
                return false;
            }
        }
        return true;
    }

    bool read(Phase phase) {
        report(phase, 0);
        ChannelSet set;
        ChannelSetCursor channels(set);
        ChannelSetEmergencyCursor emergency(set);
        JobDisplay display(set, progress_, phase);
        IdleTimer timer3;
        platform::SteadyClock clock;
        radio_link::ReplyRecorder recorder(port_);
        radio_link::ReadSequence sequence(
            {recorder, channels, emergency, codes_, display, timer3, clock});
        sequence.run();
        if (const auto message = display.message()) {
            // Ctrl+C while the radio was silent is the user's stop, not the radio's.
            if (stopHere()) {
                return false;
            }
            if (*message == radio_link::TransferMessage::ReadTimeout &&
                !recorder.image().has_value() && recorder.takenCount() == 0) {
                fail(kFailed, QStringLiteral("对讲机没有应答"));
            } else {
                fail(kFailed, messageText(*message), QString::fromStdString(display.detail()));
            }
            return false;
        }
        result_.answered = true;
        result_.image = recorder.image();
        result_.radioSet = set;
        return true;
    }

    void write() {
        if (task_.readBeforeWrite) {
            if (!read(Phase::Reading) || stopHere() || (task_.backup && !saveBackup())) {
                return;
            }
        } else if (!waitUntilReady(1000ms, QStringLiteral("对讲机没有应答"))) {
            return;
        }
        ChannelSet set = task_.setToWrite(result_.radioSet);
        if (!send(set)) {
            return;
        }
        result_.written = true;
        if (task_.verify) {
            // The radio answers the poll again once it has stored the set.
            if (waitUntilReady(3000ms, QStringLiteral("写入后对讲机没有应答，无法核对")) &&
                !stopHere() && read(Phase::Verifying)) {
                compare(set);
            }
        }
    }

    bool saveBackup() {
        const platform::BackupSave save = platform::saveBackup(
            task_.label + QStringLiteral("-before-write"),
            QByteArray::fromStdString(radio_link::RadioImageText(*result_.image)));
        if (!save.ok()) {
            fail(kFailed, QStringLiteral("无法保存备份 %1，没有写入").arg(save.path), save.error);
            return false;
        }
        result_.backupPath = save.path;
        return true;
    }

    bool send(ChannelSet& set) {
        // A stop that came while the backup was saved: the radio is not written.
        if (stopHere()) {
            return false;
        }
        const platform::SuspendHold hold;
        report(Phase::Writing, 0);
        ChannelSetCursor channels(set);
        ChannelSetEmergencyCursor emergency(set);
        JobDisplay display(set, progress_, Phase::Writing);
        QTimer timer1;
        QTimer timer4;
        timer1.setInterval(radio_link::WriteSequence::kRecordSpacing);
        timer4.setInterval(radio_link::WriteSequence::kPauseAfterStart);
        for (QTimer* timer : {&timer1, &timer4}) {
            timer->setTimerType(Qt::PreciseTimer);
        }
        platform::WindowTimer windowTimer1(timer1);
        platform::WindowTimer windowTimer4(timer4);
        IdleTimer timer3;
        platform::SteadyClock clock;
        radio_link::WriteSequence sequence({port_, channels, emergency, codes_, display,
                                            windowTimer1, timer3, windowTimer4, clock});
        QEventLoop loop;
        QObject::connect(&timer4, &QTimer::timeout, &loop, [&] { sequence.onTimer4(); });
        QObject::connect(&timer1, &QTimer::timeout, &loop, [&] {
            sequence.onTimer1();
            if (!sequence.isRunning()) {
                loop.quit();
            }
        });
        sequence.start();
        if (sequence.isRunning()) {
            loop.exec();
        }
        // The file's values and the options were checked before any port was
        // opened: a value refused here is one the radio itself holds and the
        // write keeps, so the radio fails, not the file.
        if (const auto message = display.message()) {
            fail(kFailed, messageText(*message), QString::fromStdString(display.detail()));
            return false;
        }
        if (!port_.drainOutput(2000ms)) {
            fail(kFailed, messageText(radio_link::TransferMessage::LineLost));
            return false;
        }
        return true;
    }

    void compare() { compare(*task_.expected); }
    void compare(const ChannelSet& expected) {
        result_.differences =
            compareSets(result_.radioSet, expected, task_.compareSquelch, task_.compareEmergency);
        if (!result_.differences.empty()) {
            fail(kFailed, QStringLiteral("对讲机中的数据与文件不同（%1 处）")
                              .arg(result_.differences.size()));
        }
    }

    const PortTask& task_;
    const ProgressFunction& progress_;
    DcsCodes codes_;
    platform::SerialPort port_;
    PortResult result_;
};

QString shown(const FieldValue& value) {
    return QString::fromStdString(std::string(textOf(value)));
}

} // namespace

std::vector<Difference> compareSets(const ChannelSet& radio, const ChannelSet& expected,
                                    bool squelch, bool emergency) {
    DcsCodes codes;
    codes.fill();
    // Both sides as a read from the radio would give them.
    const auto normal = [&](const ChannelSet& set) {
        const auto encoded = radio_link::EncodeRadioImage(set, codes);
        return encoded.ok() ? radio_link::DecodeRadioImage(*encoded.image, codes) : set;
    };
    const ChannelSet a = normal(radio);
    const ChannelSet b = normal(expected);
    std::vector<Difference> differences;
    for (int row = 0; row < kChannelCount; ++row) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            const auto& x = a.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)];
            const auto& y = b.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)];
            if (textOf(x) != textOf(y)) {
                differences.push_back(
                    {row + 1,
                     QString::fromUtf8(
                         kChannelFieldNames[static_cast<std::size_t>(field)].data(),
                         static_cast<qsizetype>(
                             kChannelFieldNames[static_cast<std::size_t>(field)].size())),
                     shown(x), shown(y)});
            }
        }
    }
    if (emergency) {
        for (int field = 0; field < kEmergencyFieldCount; ++field) {
            const auto& x = a.emergency[static_cast<std::size_t>(field)];
            const auto& y = b.emergency[static_cast<std::size_t>(field)];
            if (textOf(x) != textOf(y)) {
                const auto name = kEmergencyFieldNames[static_cast<std::size_t>(field)];
                differences.push_back(
                    {kChannelCount + 1,
                     QStringLiteral("紧急信道") +
                         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                     shown(x), shown(y)});
            }
        }
    }
    if (squelch && a.squelch != b.squelch) {
        differences.push_back(
            {kChannelCount + 1,
             QString::fromUtf8(radio_link::kSquelchFieldName.data(),
                               static_cast<qsizetype>(radio_link::kSquelchFieldName.size())),
             QString::fromStdString(a.squelch), QString::fromStdString(b.squelch)});
    }
    return differences;
}

PortResult runPortTask(const PortTask& task, const ProgressFunction& progress) {
    Job job(task, progress);
    return job.run();
}

} // namespace kr4720::cli
