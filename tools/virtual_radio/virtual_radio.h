#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kr4720 {

// A KR4720 that lives on a pseudo-terminal, for demos, end-to-end tests and
// benchmarks. The program under test opens devicePath() (or the link) as its
// serial port. The radio answers the "C" poll, takes a channel set after "A"
// and sends its channel set after "B", at the line rate of 9600 baud unless
// pacing is switched off. Faults of a real radio or cable can be switched on
// through Options.
//
// Every public member may be called from any thread.
class VirtualRadio {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kRecordLength = 32;
    static constexpr int kChannelRecords = 16;
    // 16 channel records and the emergency record.
    static constexpr int kMemoryRecords = 17;
    // A reply to "B": the leading record, then the memory.
    static constexpr int kReplyRecords = 18;
    // 10 bits per character at 9600 baud.
    static constexpr std::chrono::nanoseconds kCharacterTime{1'041'667};

    using Memory = std::array<std::string, kMemoryRecords>;

    struct Options {
        // Symbolic link to the device, made at start and removed at stop. Empty: none.
        std::string linkPath;
        // A radio image file (the 17 records, one a line). Loaded at start when it
        // exists, rewritten after each complete write. Empty: the memory lives
        // only as long as the radio.
        std::string memoryFile;
        // Send at the line rate; off sends every reply at once.
        bool pace = true;
        // A dead radio: nothing is answered (everything is still logged).
        bool noAnswer = false;
        // The reply to "B" stops after this many of its 18 records.
        std::optional<int> stopAfterRecords;
        // Silence between "B" and the reply.
        std::chrono::milliseconds replyDelay{0};
        // Sent after the delay and before the first record of a reply.
        std::string strayBeforeReply;
        // Sent in place of the records of a reply (noise, a radio of another kind).
        std::optional<std::string> replyInstead;
        // Sent right after the last record of a reply.
        std::string strayAfterReply;
        // The line goes away (the device vanishes) after this many records of a
        // reply have been sent, or after this many records of a write have arrived.
        std::optional<int> closeAfterRecords;
        // A write that falls silent this long between two records is dropped.
        std::chrono::milliseconds writeQuietTimeout{2000};
        // A record is sent as one burst: a pause this long inside one means the
        // write was given up; a single character followed by such a pause is
        // taken as a command ("C", "A", "B") instead.
        std::chrono::milliseconds recordGapTimeout{60};
    };

    struct Counters {
        int pollsAnswered = 0;    // "C" answered
        int writesStarted = 0;    // "A" taken
        int completeWrites = 0;   // writes of all 17 records, kept as the memory
        int incompleteWrites = 0; // writes dropped before their 17th record
        int readsAnswered = 0;    // replies to "B" sent as far as they go
        std::size_t bytesReceived = 0;
        std::size_t bytesSent = 0;
        // EIO or hang-up on the radio's side of the line. None are expected: the
        // radio holds the line open itself while the program closes and reopens it.
        int lineErrors = 0;
        bool lineOpen = false; // false before start and after the line was closed
    };

    VirtualRadio();
    explicit VirtualRadio(Options options);
    ~VirtualRadio();

    VirtualRadio(const VirtualRadio&) = delete;
    VirtualRadio& operator=(const VirtualRadio&) = delete;

    // Opens the pseudo-terminal, loads the memory file, makes the link and
    // starts the radio's thread. Throws std::runtime_error on failure.
    void start();
    // Stops the thread, closes the line and removes the link. Safe to repeat.
    void stop();
    bool running() const;

    // The slave side, e.g. "/dev/pts/7"; empty before start.
    std::string devicePath() const;
    const Options& options() const { return options_; }

    Memory memory() const;
    void setMemory(const Memory& memory);

    // Everything received, one entry of arrivalTimes() per byte.
    std::string receivedBytes() const;
    std::vector<Clock::time_point> arrivalTimes() const;
    // Everything put on the line so far.
    std::string sentBytes() const;
    void clearLog();

    Counters counters() const;
    int pollsAnswered() const;
    int completeWrites() const;
    int incompleteWrites() const;
    int readsAnswered() const;
    bool lineOpen() const;

    // Waits until the condition holds for the counters, or the timeout passes.
    // Returns whether it holds.
    bool waitFor(const std::function<bool(const Counters&)>& condition,
                 std::chrono::milliseconds timeout) const;
    // Waits until every write begun has been kept whole or dropped: the last
    // records of a write may still be on their way when the program that sent
    // them has ended. Returns whether that happened within the timeout.
    bool waitForWritesSettled(std::chrono::milliseconds timeout) const;

    // Puts bytes on the line (after whatever is already queued), paced like a reply.
    void sendRaw(const std::string& bytes);

    // The channel set a radio without a memory file starts with.
    static Memory demoMemory();
    // The record sent ahead of the memory in every reply to "B".
    static std::string leadingRecord();
    // Reads a memory file, a radio image. Throws std::runtime_error.
    static Memory loadMemoryFile(const std::string& path);
    // Writes a temporary file beside the target and renames it over the target.
    static void saveMemoryFile(const std::string& path, const Memory& memory);

private:
    enum class Mode { Idle, Receiving };

    struct Reply {
        bool active = false;
        Clock::time_point startAt;
        std::string text;
        std::size_t sent = 0;
        std::size_t strayLength = 0;
        bool closeWhenDone = false;
    };

    void run();
    void wake();
    void serviceTimers(Clock::time_point now);
    void readInput();
    void handleByte(char byte, Clock::time_point now);
    void handleCommand(char byte, Clock::time_point now);
    void dropWrite(Clock::time_point now);
    void startReply(Clock::time_point now);
    void pumpOutput(Clock::time_point now);
    int pollTimeoutMs(Clock::time_point now) const;
    void closeLine();
    void releaseResources();

    const Options options_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::thread thread_;
    bool running_ = false;
    bool stopping_ = false;

    int masterFd_ = -1;
    int slaveFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string devicePath_;
    bool linkMade_ = false;

    Memory memory_;
    Mode mode_ = Mode::Idle;
    std::string writeBuffer_;
    Clock::time_point lastWriteByteAt_;

    std::string rawOut_;
    Reply reply_;
    bool lineIdle_ = true;
    bool outputBlocked_ = false;
    Clock::time_point nextCharacterAt_;
    Clock::time_point lastSentAt_;
    bool closePending_ = false;
    Clock::time_point closeDeadline_;

    std::string received_;
    std::vector<Clock::time_point> arrivals_;
    std::string sent_;
    Counters counters_;
};

} // namespace kr4720
