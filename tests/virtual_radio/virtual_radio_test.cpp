#include "virtual_radio/virtual_radio.h"

#include "radio_link/radio_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using kr4720::VirtualRadio;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The program's side of the line: plain POSIX calls on the device path.
struct Port {
    explicit Port(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Port() { ::close(fd); }

    // Sends bytes, then reads until count bytes have come, the timeout passes or
    // the line hangs up.
    std::string ask(const std::string& bytes, std::size_t count,
                    std::chrono::milliseconds timeout) {
        // Nothing to send after a hang-up: writing then fails.
        const ssize_t sent = bytes.empty() ? 0 : ::write(fd, bytes.data(), bytes.size());
        EXPECT_EQ(sent, static_cast<ssize_t>(bytes.size()));
        std::string data;
        const auto deadline = Clock::now() + timeout;
        while (data.size() < count && !hungUp && Clock::now() < deadline) {
            pollfd pfd{fd, POLLIN, 0};
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buffer[1024];
            const ssize_t length = ::read(fd, buffer, std::min(sizeof buffer, count - data.size()));
            hungUp = length <= 0; // end of file or EIO: the radio closed its end
            data.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
            chunks += length > 0 ? 1 : 0;
        }
        return data;
    }

    int fd;
    bool hungUp = false;
    int chunks = 0;
};

// Replies at once unless changed.
VirtualRadio::Options fastOptions(const std::function<void(VirtualRadio::Options&)>& change = {}) {
    VirtualRadio::Options options;
    options.pace = false;
    if (change) {
        change(options);
    }
    return options;
}

// A started radio and the program's port on it.
struct Line {
    explicit Line(VirtualRadio::Options options = fastOptions())
        : radio(std::move(options)), port((radio.start(), radio.devicePath())) {}
    VirtualRadio radio;
    Port port;
};

// A name of this process's own in the temporary folder.
std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "vradio_" + std::to_string(::getpid()) + "_" + name;
}

std::string joined(const VirtualRadio::Memory& memory, std::size_t count = 17) {
    return std::accumulate(memory.begin(), memory.begin() + count, std::string());
}

std::string readReply(const VirtualRadio::Memory& memory) {
    return VirtualRadio::leadingRecord() + joined(memory);
}

// A channel set unlike the demo one: every record different, hex characters only.
VirtualRadio::Memory testMemory(unsigned seed) {
    VirtualRadio::Memory memory;
    for (std::string& record : memory) {
        for (std::size_t i = 0; i < VirtualRadio::kRecordLength; ++i) {
            seed = seed * 1103515245u + 12345u;
            record.push_back("0123456789ABCDEF"[(seed >> 16) & 15u]);
        }
    }
    return memory;
}

TEST(VirtualRadio, AnswersPollsOnlyAndLogsEveryByte) {
    VirtualRadio radio(fastOptions());
    radio.start();
    for (int opening = 0; opening < 2; ++opening) { // reopening must not cost the radio its line
        Port port(radio.devicePath());
        EXPECT_EQ(port.ask("C", 1, 1s), "C");
        EXPECT_EQ(port.ask("x0", 1, 150ms), "");
    }
    EXPECT_EQ(radio.receivedBytes(), "Cx0Cx0");
    EXPECT_EQ(radio.sentBytes(), "CC");
    const auto times = radio.arrivalTimes();
    ASSERT_EQ(times.size(), 6u);
    EXPECT_GE(times[3] - times[1], 100ms);
}

TEST(VirtualRadio, OnlyACompleteWriteIsKeptAndReadBack) {
    Line line(fastOptions([](auto& o) { o.writeQuietTimeout = 150ms; }));
    const VirtualRadio::Memory first = testMemory(1);
    // One record per burst, as the program sends them.
    EXPECT_EQ(line.port.ask("A", 0, 0ms), "");
    for (const std::string& record : first) {
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(line.port.ask(record, 0, 0ms), "");
    }
    ASSERT_TRUE(line.radio.waitFor([](const auto& c) { return c.completeWrites == 1; }, 2s));
    EXPECT_EQ(line.port.ask("B", 576, 2s), readReply(first));

    // The line goes quiet after five records, then inside a record (the tail is no command).
    for (int dropped : {1, 2}) {
        const std::string tail = dropped == 2 ? "ABCABCABCA" : "";
        EXPECT_EQ(line.port.ask("A" + joined(testMemory(2), 5) + tail, 1, 300ms), "");
        EXPECT_TRUE(
            line.radio.waitFor([&](const auto& c) { return c.incompleteWrites == dropped; }, 2s));
    }
    // A poll in the middle of a write ends it and is answered.
    EXPECT_EQ(line.port.ask("A" + joined(testMemory(2), 2), 0, 0ms), "");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(line.port.ask("C", 1, 1s), "C");
    EXPECT_EQ(line.radio.incompleteWrites(), 3);
    EXPECT_EQ(line.port.ask("B", 576, 2s), readReply(first));
}

TEST(VirtualRadio, MemoryFilePersistsAcrossRadios) {
    const auto options = fastOptions([](auto& o) { o.memoryFile = tempPath("memory"); });
    const VirtualRadio::Memory records = testMemory(4);
    {
        Line line(options);
        EXPECT_EQ(line.port.ask("A" + joined(records), 0, 0ms), "");
        ASSERT_TRUE(line.radio.waitFor([](const auto& c) { return c.completeWrites == 1; }, 2s));
    }
    // A radio image: one record a line.
    std::string content{std::istreambuf_iterator<char>(std::ifstream(options.memoryFile).rdbuf()),
                        {}};
    EXPECT_EQ(content, kr4720::radio_link::RadioImageText(records));
    EXPECT_EQ(Line(options).port.ask("B", 576, 2s), readReply(records));
    // Images from elsewhere may end their lines in CRLF.
    std::string crlf;
    for (const std::string& record : testMemory(6)) {
        crlf += record + "\r\n";
    }
    std::ofstream(options.memoryFile, std::ios::binary) << crlf;
    EXPECT_EQ(Line(options).port.ask("B", 576, 2s), readReply(testMemory(6)));

    // A damaged file is refused rather than served.
    std::ofstream(options.memoryFile) << records[0] << "\nshort\n";
    VirtualRadio third(options);
    EXPECT_THROW(third.start(), std::runtime_error);
    EXPECT_FALSE(third.running());
    std::remove(options.memoryFile.c_str());
}

TEST(VirtualRadio, PacedReadTakesTheLineTimeAndFastDoesNot) {
    for (const bool pace : {true, false}) {
        Line line(fastOptions([&](auto& o) { o.pace = pace; }));
        const auto begin = Clock::now();
        EXPECT_EQ(line.port.ask("B", 576, 3s).size(), 576u);
        const auto taken = Clock::now() - begin;
        EXPECT_EQ(taken >= 500ms && taken < 2s, pace);
        EXPECT_EQ(taken < 250ms, !pace);
        EXPECT_EQ(line.port.chunks > 20, pace); // paced: small pieces, not one burst
    }
}

TEST(VirtualRadio, FaultOptionsShapeTheReply) {
    const VirtualRadio::Memory demo = VirtualRadio::demoMemory();
    const std::string lead = VirtualRadio::leadingRecord();
    struct Case {
        void (*set)(VirtualRadio::Options&);
        std::string send;
        std::string expected;
        bool hangsUp;
    } const cases[] = {
        {[](auto& o) { o.stopAfterRecords = 5; }, "B", lead + joined(demo, 4), false},
        {[](auto& o) { o.strayBeforeReply = "Z9"; }, "B", "Z9" + lead + joined(demo), false},
        {[](auto& o) { o.noAnswer = true; }, "CAB", "", false},
        // A slow reader still gets what was sent before the line went.
        {[](auto& o) { o.closeAfterRecords = 3; }, "B", lead + joined(demo, 2), true},
        {[](auto& o) { o.closeAfterRecords = 3; }, "A" + joined(testMemory(5), 3), "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        VirtualRadio::Options options = fastOptions(c.set);
        options.replyDelay = 150ms;
        Line line(options);
        EXPECT_EQ(line.port.ask(c.send, 1, 100ms), ""); // nothing before the delay is over
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(line.port.ask("", c.expected.size() + 1, 300ms), c.expected);
        EXPECT_EQ(line.port.hungUp, c.hangsUp);
        EXPECT_EQ(line.radio.lineOpen(), !c.hangsUp);
        EXPECT_EQ(line.radio.memory(), demo);
    }
}

TEST(VirtualRadioProgram, PrintsItsDeviceAndCleansUpOnSignal) {
    const std::string link = tempPath("link");
    fs::create_symlink("/nonexistent", link); // left over from an earlier run: replaced
    // The shell tells its process id, then becomes the program.
    const std::string command =
        "echo $$; exec '" KR4720_VIRTUAL_RADIO_EXE "' --link '" + link + "' --fast --stop-after 2";
    FILE* out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    int pid = 0;
    char device[256] = {};
    ASSERT_EQ(std::fscanf(out, "%d %255s", &pid, device), 2);
    EXPECT_EQ(std::string(device).rfind("/dev/", 0), 0u) << device;
    EXPECT_EQ(fs::read_symlink(link), device);
    EXPECT_EQ(Port(link).ask("B", 65, 500ms).size(), 64u);
    ::kill(pid, SIGTERM);
    const int status = ::pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link)));
}

} // namespace
