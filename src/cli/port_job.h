#pragma once

#include "channel_data/channel_set.h"
#include "radio_link/radio_image.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kr4720::platform {
class LineTrace;
}

namespace kr4720::cli {

// Exit statuses of the program; stopped by a signal: kStopped + its number
// (130 for Ctrl+C).
enum ExitCode { kOk = 0, kFailed = 1, kBadUsage = 2, kPortUnavailable = 3, kStopped = 128 };

// What one port is asked to do. Each port runs on its own thread with its own
// serial port, timers and event loop, so a fleet is programmed in parallel.
struct PortTask {
    enum class Kind { Detect, Read, Write, Verify };

    Kind kind = Kind::Read;
    QString device; // "/dev/ttyUSB0"
    QString label;  // "ttyUSB0": messages and backup names
    platform::LineTrace* trace = nullptr;

    // Write: the read before it (the backup and what the file lacks), then
    // the set to write made from what the radio held.
    bool readBeforeWrite = true;
    bool backup = true;
    std::function<ChannelSet(const ChannelSet& radio)> setToWrite;
    // Write --verify and Verify: the set the radio should hold and which of
    // its parts to compare.
    bool verify = false;
    std::optional<ChannelSet> expected;
    bool compareSquelch = true;
    bool compareEmergency = true;
};

// One field that differs between the radio and the file, in normal forms.
struct Difference {
    int channel = 0; // 1-16; 17 for the emergency channel and the squelch level
    QString field;   // the column name shown in the window
    QString radio;
    QString file;
};

struct PortResult {
    int code = kOk;
    QString message; // Chinese; what failed, empty on success
    QString detail;  // the library's words or the hint, for a second line
    bool answered = false;
    bool refused = false; // the port is there but may not be opened now: a radio may be on it
    std::optional<radio_link::RadioImage> image; // what a read received
    ChannelSet radioSet;                         // ... and what it decodes to
    QString backupPath;
    bool written = false;
    std::vector<Difference> differences;
};

enum class Phase { Opening, Waiting, Reading, Writing, Verifying, Done, Failed, Stopped };

// Called from the port's own thread.
using ProgressFunction = std::function<void(Phase, int percent)>;

PortResult runPortTask(const PortTask& task, const ProgressFunction& progress);

// The fields where `radio` and `expected` differ once both are put into the
// form a read from the radio gives (145.5 = 145.50000, 67 = 67.0, a blank scan
// = add). `expected` must encode.
std::vector<Difference> compareSets(const ChannelSet& radio, const ChannelSet& expected,
                                    bool squelch, bool emergency);

} // namespace kr4720::cli
