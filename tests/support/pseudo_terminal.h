#pragma once

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

// A pseudo-terminal that a test holds the far end of: the program opens
// path() as its serial port, the test reads and writes through fd().
class PseudoTerminal {
public:
    PseudoTerminal() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            termios raw{};
            tcgetattr(slave_, &raw);
            cfmakeraw(&raw);
            tcsetattr(slave_, TCSANOW, &raw);
            path_ = name;
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PseudoTerminal() { // -1 when openpty failed, which close() refuses harmlessly
        close(master_);
        close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& path() const { return path_; }

    // Everything the program has sent so far.
    std::string readAvailable() {
        std::string text;
        char buffer[512];
        ssize_t n = 0;
        while ((n = read(master_, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    void send(const std::string& text) { (void)!write(master_, text.data(), text.size()); }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
