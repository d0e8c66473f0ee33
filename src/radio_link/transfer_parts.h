#pragma once

#include <chrono>
#include <string>
#include <utility>

// What the handshake and the two transfers need of the main window besides
// the serial link and the cursors.
namespace kr4720::radio_link {

// A window timer that ticks on the user-interface thread while started.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Wall-clock time for the read's pauses and time-outs.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    virtual void sleepFor(std::chrono::microseconds duration) = 0;
};

enum class TransferMessage {
    ReadTimeout,     // a record did not arrive in time
    BadReply,        // the reply cannot be what the radio sent; nothing was stored
    OutOfRange,      // a value cannot be put into a record
    PortNotOpen,     // the serial port is closed
    LineLost,        // the port failed in the middle of a transfer
    DataFailure,     // the channel store refused a change
    SquelchReplaced, // the squelch text could not be sent; the level checked before "A" was
    LongSilence,     // a write's line fell silent so long that the radio may have given it up
};

// What a message is about, where it says more than its kind.
struct MessageDetail {
    MessageDetail() = default;
    MessageDetail(std::string words) : text(std::move(words)) {}

    // DataFailure: the store's own words. SquelchReplaced: the level sent.
    // LongSilence: the longest silence in seconds, to a tenth ("2.3").
    std::string text;
    // OutOfRange: the channel (1-16, 17 for the emergency record and the
    // squelch level), the field and its value that cannot be sent, as a
    // message quotes it (what shows as nothing spelled out).
    int channel = 0;
    std::string field;
    std::string value;
};

// The status line, the progress bar, the squelch box and the message boxes.
class TransferDisplay {
public:
    virtual ~TransferDisplay() = default;
    virtual void setStatus(const std::string& text) = 0;
    // Shown at once, also while a read keeps the thread.
    virtual void setProgress(int value) = 0;
    virtual std::string squelchText() const = 0;
    virtual void setSquelchText(const std::string& text) = 0;
    // Modal: returns once the user has closed the message.
    virtual void showMessage(TransferMessage message, const MessageDetail& detail) = 0;
};

inline constexpr const char* kRadioReadyText = "对讲机就绪...";
inline constexpr const char* kTransferringText = "正在传送数据,,,,,,,";

} // namespace kr4720::radio_link
