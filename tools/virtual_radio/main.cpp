// kr4720-virtual-radio: a KR4720 on a pseudo-terminal. Prints the device path,
// then serves the radio protocol until SIGINT or SIGTERM.

#include "virtual_radio/virtual_radio.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: kr4720-virtual-radio [options]\n"
    "A KR4720 radio on a pseudo-terminal. Prints the device path, then answers\n"
    "the programming protocol until interrupted.\n"
    "\n"
    "  --link PATH       also make PATH a symbolic link to the device\n"
    "  --memory FILE     keep the channel set in FILE, a radio image (.img)\n"
    "  --fast            send replies at once instead of at 9600 baud\n"
    "  --no-answer       answer nothing (a radio that is switched off)\n"
    "  --stop-after N    stop a reply after N of its 18 records\n"
    "  --delay MS        wait MS milliseconds before replying to a read\n"
    "  --stray TEXT      send TEXT before the reply to a read\n"
    "  --trailing TEXT   send TEXT right after the reply to a read\n"
    "  --noise TEXT      send TEXT instead of the records of a reply\n"
    "  --close-after N   close the line after N records of a read or a write\n"
    "  --help            show this help\n";

std::optional<int> parseCount(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

int usageError(const std::string& message) {
    std::cerr << "kr4720-virtual-radio: " << message << "\n\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    kr4720::VirtualRadio::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (option == "--fast") {
            options.pace = false;
            continue;
        }
        if (option == "--no-answer") {
            options.noAnswer = true;
            continue;
        }
        if (i + 1 >= argc) {
            return usageError("unknown option or missing value: " + std::string(option));
        }
        const std::string value = argv[++i];
        if (option == "--link") {
            options.linkPath = value;
        } else if (option == "--memory") {
            options.memoryFile = value;
        } else if (option == "--stray") {
            options.strayBeforeReply = value;
        } else if (option == "--trailing") {
            options.strayAfterReply = value;
        } else if (option == "--noise") {
            options.replyInstead = value;
        } else if (option == "--stop-after" || option == "--delay" || option == "--close-after") {
            const std::optional<int> count = parseCount(value);
            if (!count) {
                return usageError("not a number: " + value);
            }
            if (option == "--stop-after") {
                options.stopAfterRecords = count;
            } else if (option == "--delay") {
                options.replyDelay = std::chrono::milliseconds(*count);
            } else {
                options.closeAfterRecords = count;
            }
        } else {
            return usageError("unknown option: " + std::string(option));
        }
    }

    // Blocked before the radio's thread exists, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    // A Ctrl+C the shell has it ignore (started in the background, as by
    // kr4720.sh demo) is for the program, which may be finishing a write.
    if (struct sigaction current{};
        sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
        sigaddset(&stopSignals, SIGINT);
    }
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    kr4720::VirtualRadio radio(options);
    try {
        radio.start();
    } catch (const std::exception& error) {
        std::cerr << "kr4720-virtual-radio: " << error.what() << '\n';
        return 1;
    }
    std::cout << radio.devicePath() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    radio.stop();
    return 0;
}
