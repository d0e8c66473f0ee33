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
        EXPECT_EQ(bytes.empty() ? 0 : ::write(fd, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        std::string data;
        char buffer[1024];
        pollfd pfd{fd, POLLIN, 0};
        for (const auto deadline = Clock::now() + timeout;
             data.size() < count && Clock::now() < deadline &&
             ::poll(&pfd, 1, static_cast<int>(timeout.count())) > 0;) {
            const ssize_t length = ::read(fd, buffer, std::min(sizeof buffer, count - data.size()));
            if (length <= 0) {
                break; // end of file or EIO: the radio closed its end
            }
            data.append(buffer, static_cast<std::size_t>(length));
            ++chunks;
        }
        return data;
    }

    int fd;
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
const std::string kTemp = ::testing::TempDir() + "vradio_" + std::to_string(::getpid()) + "_";

std::string joined(const VirtualRadio::Memory& memory, std::size_t count = 17) {
    return std::accumulate(memory.begin(), memory.begin() + count, std::string());
}

std::string readReply(const VirtualRadio::Memory& memory) {
    return VirtualRadio::leadingRecord() + joined(memory);
}

// A channel set unlike the demo one and every other seed's, every record different.
VirtualRadio::Memory testMemory(char seed) {
    const char* hex = "0123456789ABCDEF";
    VirtualRadio::Memory memory;
    const std::string s(14, seed);
    for (std::size_t i = 0; i < 16; ++i) {
        memory[i] = std::string{hex[i / 16], hex[i % 16]} + "00" + s + "00" + s.substr(2);
    }
    memory[16] = "000" + s.substr(5) + "0000" + seed + "000" + s.substr(6) + "0000";
    return memory;
}

TEST(VirtualRadio, AnswersPollsOnlyAndKeepsOnlyACompleteWriteInTheMemoryFile) {
    const auto options = fastOptions([](auto& o) {
        o.writeQuietTimeout = 150ms;
        o.memoryFile = kTemp + "memory";
    });
    const VirtualRadio::Memory first = testMemory('1');
    {
        Line line(options);
        // Only a poll is answered; every byte is logged with its arrival time.
        EXPECT_EQ(line.port.ask("x0", 1, 150ms), "");
        EXPECT_EQ(line.port.ask("C", 1, 1s), "C");
        EXPECT_EQ(line.radio.receivedBytes(), "x0C");
        EXPECT_EQ(line.radio.sentBytes(), "C");
        EXPECT_GE(line.radio.arrivalTimes().at(2) - line.radio.arrivalTimes().at(0), 100ms);
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
            EXPECT_EQ(line.port.ask("A" + joined(testMemory('2'), 5) + tail, 1, 300ms), "");
            EXPECT_TRUE(line.radio.waitFor(
                [&](const auto& c) { return c.incompleteWrites == dropped; }, 2s));
        }
        // A poll in the middle of a write ends it and is answered.
        EXPECT_EQ(line.port.ask("A" + joined(testMemory('2'), 2), 0, 0ms), "");
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(line.port.ask("C", 1, 1s), "C");
        EXPECT_EQ(line.radio.incompleteWrites(), 3);
        EXPECT_EQ(line.port.ask("B", 576, 2s), readReply(first));
    }
    // A radio image, one record a line, that the next radio starts from.
    std::string content{std::istreambuf_iterator<char>(std::ifstream(options.memoryFile).rdbuf()),
                        {}};
    EXPECT_EQ(content, kr4720::radio_link::RadioImageText(first));
    EXPECT_EQ(Line(options).port.ask("B", 576, 2s), readReply(first));

    // A damaged file is refused rather than served.
    std::ofstream(options.memoryFile) << first[0] << "\nshort\n";
    VirtualRadio third(options);
    EXPECT_THROW(third.start(), std::runtime_error);
    EXPECT_FALSE(third.running());
    std::remove(options.memoryFile.c_str());
}

// Paced, a reply takes the line time in small pieces; fast, it comes at once,
// once the reply delay is over.
TEST(VirtualRadio, PacedReadTakesTheLineTimeAndFastDoesNot) {
    const struct {
        bool pace;
        std::chrono::milliseconds delay, least, most;
    } cases[] = {{true, 0ms, 500ms, 2s}, {false, 0ms, 0ms, 250ms}, {false, 300ms, 300ms, 550ms}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        Line line(fastOptions([&](auto& o) {
            o.pace = c.pace;
            o.replyDelay = c.delay;
        }));
        const auto begin = Clock::now();
        EXPECT_EQ(line.port.ask("B", 576, 3s), readReply(VirtualRadio::demoMemory()));
        const auto taken = Clock::now() - begin;
        EXPECT_GE(taken, c.least);
        EXPECT_LT(taken, c.most);
        EXPECT_EQ(line.port.chunks > 20, c.pace);
    }
}

TEST(VirtualRadioProgram, PrintsItsDeviceAndCleansUpOnSignal) {
    const std::string link = kTemp + "link";
    fs::create_symlink("/nonexistent", link); // left over from an earlier run: replaced
    // The shell tells its process id, then becomes the program.
    const std::string command =
        "echo $$; exec '" KR4720_VIRTUAL_RADIO_EXE "' --link '" + link + "' --fast --stop-after 2";
    FILE* out = ::popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    int pid = 0;
    char device[256] = {};
    ASSERT_EQ(std::fscanf(out, "%d %255s", &pid, device), 2);
    EXPECT_EQ(fs::read_symlink(link), device);
    EXPECT_EQ(Port(link).ask("B", 65, 500ms).size(), 64u);
    ::kill(pid, SIGTERM);
    const int status = ::pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(link)));
}

} // namespace
