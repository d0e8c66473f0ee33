#include "virtual_radio/virtual_radio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace {

using kr4720::VirtualRadio;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The program's side of the line: plain POSIX calls on the device path.
class Port {
public:
    explicit Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
    ~Port() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool send(const std::string& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until count bytes have come, the timeout passes or the line hangs up.
    std::string receive(std::size_t count, std::chrono::milliseconds timeout) {
        std::string data;
        const auto deadline = Clock::now() + timeout;
        while (data.size() < count && !hungUp_) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buffer[1024];
            const std::size_t wanted = std::min(sizeof buffer, count - data.size());
            const ssize_t length = ::read(fd_, buffer, wanted);
            if (length > 0) {
                data.append(buffer, static_cast<std::size_t>(length));
                ++chunks_;
            } else if (length == 0 || errno == EIO || (pfd.revents & (POLLHUP | POLLERR))) {
                hungUp_ = true;
            }
        }
        return data;
    }

    bool hungUp() const { return hungUp_; }
    int chunks() const { return chunks_; }

private:
    int fd_;
    bool hungUp_ = false;
    int chunks_ = 0;
};

VirtualRadio::Options fastOptions() {
    VirtualRadio::Options options;
    options.pace = false;
    return options;
}

std::string joined(const VirtualRadio::Memory& memory, std::size_t count = 17) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += memory[i];
    }
    return text;
}

// A channel set unlike the demo one: every record different, hex characters only.
VirtualRadio::Memory testMemory(unsigned seed) {
    static const char kHex[] = "0123456789ABCDEF";
    VirtualRadio::Memory memory;
    for (std::size_t r = 0; r < memory.size(); ++r) {
        for (std::size_t i = 0; i < VirtualRadio::kRecordLength; ++i) {
            seed = seed * 1103515245u + 12345u;
            memory[r].push_back(kHex[(seed >> 16) & 15u]);
        }
    }
    return memory;
}

// MHz x 100000 from an 8-character frequency field (pairs low first).
long frequencyUnits(const std::string& field, bool receive) {
    const std::string digits =
        field.substr(6, 2) + field.substr(4, 2) + field.substr(2, 2) + field.substr(0, 2);
    return std::stol(digits) + (receive ? 4505000 : 0);
}

std::string temporaryDirectory() {
    std::string pattern = ::testing::TempDir() + "vradioXXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    return made != nullptr ? std::string(made) : std::string();
}

std::string linkTarget(const std::string& path) {
    char buffer[256] = {};
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

TEST(VirtualRadio, AnswersPollsAndLogsEveryByte) {
    VirtualRadio radio(fastOptions());
    radio.start();
    {
        Port port(radio.devicePath());
        ASSERT_TRUE(port.isOpen());
        ASSERT_TRUE(port.send("C"));
        EXPECT_EQ(port.receive(1, 1s), "C");
        // Anything but a command goes unanswered.
        ASSERT_TRUE(port.send("x0"));
        EXPECT_EQ(port.receive(1, 150ms), "");
        ASSERT_TRUE(port.send("C"));
        EXPECT_EQ(port.receive(1, 1s), "C");
    }
    // Closing and reopening the port must not cost the radio its line.
    Port again(radio.devicePath());
    ASSERT_TRUE(again.send("C"));
    EXPECT_EQ(again.receive(1, 1s), "C");

    termios settings{};
    ASSERT_EQ(::tcgetattr(again.fd(), &settings), 0);
    EXPECT_EQ(settings.c_lflag & (ECHO | ICANON), 0u);

    EXPECT_EQ(radio.counters().lineErrors, 0);
    EXPECT_EQ(radio.pollsAnswered(), 3);
    EXPECT_EQ(radio.receivedBytes(), "Cx0CC");
    EXPECT_EQ(radio.sentBytes(), "CCC");
    const auto times = radio.arrivalTimes();
    ASSERT_EQ(times.size(), 5u);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_GE(times[3] - times[1], 100ms);

    radio.clearLog();
    EXPECT_TRUE(radio.receivedBytes().empty());
    EXPECT_TRUE(radio.arrivalTimes().empty());
}

TEST(VirtualRadio, DemoChannelSetIsWellFormedAndIsWhatAReadReturns) {
    const VirtualRadio::Memory demo = VirtualRadio::demoMemory();
    for (const std::string& record : demo) {
        ASSERT_EQ(record.size(), VirtualRadio::kRecordLength);
        EXPECT_EQ(record.find_first_not_of("0123456789ABCDEF"), std::string::npos) << record;
    }
    for (int channel = 1; channel <= 5; ++channel) {
        const std::string& record = demo[static_cast<std::size_t>(channel - 1)];
        EXPECT_EQ(std::stoi(record.substr(0, 2), nullptr, 16), channel);
        EXPECT_EQ(record.substr(2, 2), "00");
        EXPECT_EQ(record.substr(18, 2), "00");
    }
    EXPECT_EQ(frequencyUnits(demo[0].substr(4, 8), true), 43850000);
    EXPECT_EQ(frequencyUnits(demo[0].substr(20, 8), false), 43850000);
    EXPECT_EQ(demo[0].substr(12, 4), "8508");
    EXPECT_EQ(demo[1].substr(28, 4), "0155");
    EXPECT_EQ(frequencyUnits(demo[2].substr(4, 8), true), 14550000);
    EXPECT_EQ(demo[2][16], '3');
    EXPECT_EQ(frequencyUnits(demo[3].substr(4, 8), true), 44600625);
    EXPECT_EQ(frequencyUnits(demo[4].substr(4, 8), true), 13602500);
    for (std::size_t i = 5; i < 16; ++i) {
        EXPECT_EQ(demo[i], std::string(32, '0'));
    }
    EXPECT_EQ(demo[16], "00030050494000000000000000460000");

    VirtualRadio radio(fastOptions());
    radio.start();
    Port port(radio.devicePath());
    ASSERT_TRUE(port.send("B"));
    EXPECT_EQ(port.receive(576, 2s), VirtualRadio::leadingRecord() + joined(demo));
    EXPECT_TRUE(radio.waitFor([](const auto& c) { return c.readsAnswered == 1; }, 1s));
}

TEST(VirtualRadio, CompleteWriteIsKeptAndReadBack) {
    VirtualRadio radio(fastOptions());
    radio.start();
    Port port(radio.devicePath());

    // One record per burst, as the program sends them.
    const VirtualRadio::Memory first = testMemory(1);
    ASSERT_TRUE(port.send("A"));
    for (const std::string& record : first) {
        std::this_thread::sleep_for(5ms);
        ASSERT_TRUE(port.send(record));
    }
    ASSERT_TRUE(radio.waitFor([](const auto& c) { return c.completeWrites == 1; }, 2s));
    EXPECT_EQ(radio.memory(), first);
    ASSERT_TRUE(port.send("B"));
    EXPECT_EQ(port.receive(576, 2s), VirtualRadio::leadingRecord() + joined(first));

    // The whole write in one go works as well, and the radio is idle afterwards.
    const VirtualRadio::Memory second = testMemory(2);
    ASSERT_TRUE(port.send("A" + joined(second)));
    ASSERT_TRUE(radio.waitFor([](const auto& c) { return c.completeWrites == 2; }, 2s));
    EXPECT_EQ(radio.memory(), second);
    ASSERT_TRUE(port.send("C"));
    EXPECT_EQ(port.receive(1, 1s), "C");

    const auto counters = radio.counters();
    EXPECT_EQ(counters.writesStarted, 2);
    EXPECT_EQ(counters.incompleteWrites, 0);
    EXPECT_EQ(counters.readsAnswered, 1);
    EXPECT_EQ(counters.bytesReceived, 2 * (1 + 17 * 32) + 2u);
}

TEST(VirtualRadio, IncompleteWriteLeavesMemoryUnchanged) {
    VirtualRadio::Options options = fastOptions();
    options.writeQuietTimeout = 150ms;
    VirtualRadio radio(options);
    radio.start();
    Port port(radio.devicePath());
    const VirtualRadio::Memory records = testMemory(3);

    // The line goes quiet after five records.
    ASSERT_TRUE(port.send("A" + joined(records, 5)));
    ASSERT_TRUE(radio.waitFor([](const auto& c) { return c.incompleteWrites == 1; }, 2s));
    EXPECT_EQ(radio.memory(), VirtualRadio::demoMemory());
    ASSERT_TRUE(port.send("C"));
    EXPECT_EQ(port.receive(1, 1s), "C");

    // Broken off inside a record: the tail is not taken for commands.
    ASSERT_TRUE(port.send("A" + joined(records, 3) + "ABCABCABCA"));
    ASSERT_TRUE(radio.waitFor([](const auto& c) { return c.incompleteWrites == 2; }, 2s));
    EXPECT_EQ(port.receive(1, 100ms), "");

    // A poll in the middle of a write ends it and is answered.
    ASSERT_TRUE(port.send("A" + joined(records, 2)));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(port.send("C"));
    EXPECT_EQ(port.receive(1, 1s), "C");
    EXPECT_EQ(radio.counters().incompleteWrites, 3);

    EXPECT_EQ(radio.completeWrites(), 0);
    EXPECT_EQ(radio.pollsAnswered(), 2);
    ASSERT_TRUE(port.send("B"));
    EXPECT_EQ(port.receive(576, 2s),
              VirtualRadio::leadingRecord() + joined(VirtualRadio::demoMemory()));
}

TEST(VirtualRadio, MemoryFilePersistsAcrossRadios) {
    const std::string directory = temporaryDirectory();
    ASSERT_FALSE(directory.empty());
    VirtualRadio::Options options = fastOptions();
    options.memoryFile = directory + "/memory.txt";
    const VirtualRadio::Memory records = testMemory(4);
    {
        VirtualRadio radio(options);
        radio.start();
        EXPECT_EQ(radio.memory(), VirtualRadio::demoMemory());
        Port port(radio.devicePath());
        ASSERT_TRUE(port.send("A" + joined(records)));
        ASSERT_TRUE(radio.waitFor([](const auto& c) { return c.completeWrites == 1; }, 2s));
    }
    std::ifstream file(options.memoryFile);
    std::stringstream content;
    content << file.rdbuf();
    std::string expected;
    for (const std::string& record : records) {
        expected += record + "\n";
    }
    EXPECT_EQ(content.str(), expected);
    EXPECT_FALSE(exists(options.memoryFile + ".tmp"));

    VirtualRadio second(options);
    second.start();
    EXPECT_EQ(second.memory(), records);
    Port port(second.devicePath());
    ASSERT_TRUE(port.send("B"));
    EXPECT_EQ(port.receive(576, 2s), VirtualRadio::leadingRecord() + joined(records));
    second.stop();

    // A damaged file is refused rather than served.
    std::ofstream(options.memoryFile) << records[0] << "\nshort\n";
    VirtualRadio third(options);
    EXPECT_THROW(third.start(), std::runtime_error);
    EXPECT_FALSE(third.running());
    std::remove(options.memoryFile.c_str());
    ::rmdir(directory.c_str());
}

TEST(VirtualRadio, PacedReadTakesTheLineTime) {
    VirtualRadio paced;
    paced.start();
    Port port(paced.devicePath());
    ASSERT_TRUE(port.send("B"));
    const auto begin = Clock::now();
    EXPECT_EQ(port.receive(576, 3s).size(), 576u);
    const auto pacedTime = Clock::now() - begin;
    EXPECT_GE(pacedTime, 500ms);
    EXPECT_LT(pacedTime, 2s);
    // Small pieces, not one burst at the end.
    EXPECT_GT(port.chunks(), 20);

    VirtualRadio fast(fastOptions());
    fast.start();
    Port fastPort(fast.devicePath());
    ASSERT_TRUE(fastPort.send("B"));
    const auto fastBegin = Clock::now();
    EXPECT_EQ(fastPort.receive(576, 2s).size(), 576u);
    EXPECT_LT(Clock::now() - fastBegin, 250ms);
}

TEST(VirtualRadio, FaultOptionsShapeTheReply) {
    const VirtualRadio::Memory demo = VirtualRadio::demoMemory();
    {
        VirtualRadio::Options options = fastOptions();
        options.stopAfterRecords = 5;
        VirtualRadio radio(options);
        radio.start();
        Port port(radio.devicePath());
        ASSERT_TRUE(port.send("B"));
        EXPECT_EQ(port.receive(160, 1s), VirtualRadio::leadingRecord() + joined(demo, 4));
        EXPECT_EQ(port.receive(1, 150ms), "");
        EXPECT_EQ(radio.readsAnswered(), 1);
        ASSERT_TRUE(port.send("C"));
        EXPECT_EQ(port.receive(1, 1s), "C");
    }
    {
        VirtualRadio::Options options = fastOptions();
        options.strayBeforeReply = "Z9";
        options.replyDelay = 150ms;
        VirtualRadio radio(options);
        radio.start();
        Port port(radio.devicePath());
        ASSERT_TRUE(port.send("B"));
        const auto begin = Clock::now();
        EXPECT_EQ(port.receive(1, 1s), "Z");
        EXPECT_GE(Clock::now() - begin, 140ms);
        EXPECT_EQ(port.receive(577, 1s), "9" + VirtualRadio::leadingRecord() + joined(demo));
    }
    {
        VirtualRadio::Options options = fastOptions();
        options.noAnswer = true;
        VirtualRadio radio(options);
        radio.start();
        Port port(radio.devicePath());
        ASSERT_TRUE(port.send("CAB"));
        EXPECT_EQ(port.receive(1, 200ms), "");
        EXPECT_EQ(radio.receivedBytes(), "CAB");
        const auto counters = radio.counters();
        EXPECT_EQ(counters.pollsAnswered + counters.writesStarted + counters.readsAnswered, 0);
    }
}

TEST(VirtualRadio, CloseAfterRecordsMakesTheDeviceVanish) {
    VirtualRadio::Options options = fastOptions();
    options.closeAfterRecords = 3;
    {
        VirtualRadio radio(options);
        radio.start();
        Port port(radio.devicePath());
        ASSERT_TRUE(port.send("B"));
        // A slow reader still gets what was sent before the line went.
        std::this_thread::sleep_for(200ms);
        const std::string data = port.receive(576, 2s);
        EXPECT_TRUE(port.hungUp());
        EXPECT_EQ(data, VirtualRadio::leadingRecord() + joined(VirtualRadio::demoMemory(), 2));
        EXPECT_FALSE(radio.lineOpen());
    }
    {
        VirtualRadio radio(options);
        radio.start();
        Port port(radio.devicePath());
        ASSERT_TRUE(port.send("A" + joined(testMemory(5), 3)));
        port.receive(1, 2s);
        EXPECT_TRUE(port.hungUp());
        EXPECT_FALSE(radio.lineOpen());
        EXPECT_EQ(radio.memory(), VirtualRadio::demoMemory());
        EXPECT_EQ(radio.incompleteWrites(), 1);
        EXPECT_EQ(radio.completeWrites(), 0);
    }
}

TEST(VirtualRadio, LinkPointsToTheDeviceWhileRunning) {
    const std::string directory = temporaryDirectory();
    ASSERT_FALSE(directory.empty());
    VirtualRadio::Options options = fastOptions();
    options.linkPath = directory + "/ttyRadio";
    // A link left over from an earlier run is replaced.
    ASSERT_EQ(::symlink("/nonexistent", options.linkPath.c_str()), 0);

    VirtualRadio radio(options);
    EXPECT_TRUE(radio.devicePath().empty());
    radio.start();
    EXPECT_EQ(linkTarget(options.linkPath), radio.devicePath());
    {
        Port port(options.linkPath);
        ASSERT_TRUE(port.send("C"));
        EXPECT_EQ(port.receive(1, 1s), "C");
    }
    radio.stop();
    EXPECT_FALSE(exists(options.linkPath));
    ::rmdir(directory.c_str());
}

TEST(VirtualRadioProgram, PrintsItsDeviceAndCleansUpOnSignal) {
    const std::string directory = temporaryDirectory();
    ASSERT_FALSE(directory.empty());
    const std::string link = directory + "/ttyRadio";

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> arguments = {KR4720_VIRTUAL_RADIO_EXE, "--link", link, "--fast",
                                          "--stop-after",           "2"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    std::string line;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    ::close(out[0]);
    EXPECT_EQ(line.rfind("/dev/", 0), 0u) << line;
    EXPECT_EQ(linkTarget(link), line);
    {
        Port port(link);
        ASSERT_TRUE(port.send("B"));
        EXPECT_EQ(port.receive(64, 1s).size(), 64u);
        EXPECT_EQ(port.receive(1, 100ms), "");
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(exists(link));
    ::rmdir(directory.c_str());
}

} // namespace
