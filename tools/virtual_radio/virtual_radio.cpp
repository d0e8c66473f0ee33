#include "virtual_radio/virtual_radio.h"

#include "radio_link/radio_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kr4720 {

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool setFlags(int fd, int statusFlags) {
    const int current = ::fcntl(fd, F_GETFL);
    if (current < 0 || ::fcntl(fd, F_SETFL, current | statusFlags) < 0) {
        return false;
    }
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

std::string symlinkTarget(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0) {
        return {};
    }
    target.resize(static_cast<std::size_t>(length));
    return target;
}

} // namespace

VirtualRadio::VirtualRadio() : VirtualRadio(Options{}) {}

VirtualRadio::VirtualRadio(Options options) : options_(std::move(options)), memory_(demoMemory()) {}

VirtualRadio::~VirtualRadio() {
    stop();
}

VirtualRadio::Memory VirtualRadio::demoMemory() {
    // Written out by hand so that the radio does not share the program's codec:
    // a wrong encoder in the program then cannot hide behind a matching radio.
    //   ch pos 1-2 | "00" | receive freq (MHz*100000 - 4505000, pairs reversed)
    //   | receive tone | flags | BCL | "00" | transmit freq (no offset) | transmit tone
    Memory memory;
    // clang-format off
    // 1: 438.50000 MHz both ways, CTCSS 88.5 Hz both ways.
    memory[0] = "01" "00" "00503439" "8508" "0" "0" "00" "00008543" "8508";
    // 2: 439.12500 MHz both ways, DCS 023 (index 1) both ways, BCL 1.
    memory[1] = "02" "00" "00754039" "0155" "0" "1" "00" "00259143" "0155";
    // 3: 145.50000 MHz both ways, scan del, beat shift on.
    memory[2] = "03" "00" "00500410" "0000" "3" "0" "00" "00005514" "0000";
    // 4: 446.00625 MHz both ways, receive CTCSS 67.0 Hz, beat shift on, BCL 2.
    memory[3] = "04" "00" "25560940" "7006" "1" "2" "00" "25066044" "0000";
    // 5: 136.02500 MHz both ways, receive CTCSS 100.0 Hz, transmit DCS 754
    //    (index 83), scan del.
    memory[4] = "05" "00" "00750909" "0010" "2" "0" "00" "00256013" "5355";
    for (std::size_t channel = 5; channel < kChannelRecords; ++channel) {
        memory[channel] = std::string(kRecordLength, '0');
    }
    // Emergency: squelch 3, receive 450.00000 MHz, transmit 460.00000 MHz, beat off.
    memory[16] = "000" "3" "00504940" "0000" "0" "000" "00000046" "0000";
    // clang-format on
    return memory;
}

std::string VirtualRadio::leadingRecord() {
    return std::string(kRecordLength, '0');
}

VirtualRadio::Memory VirtualRadio::loadMemoryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open memory file " + path);
    }
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    // The memory file is a radio image, read by the program's own reader.
    DcsCodes codes;
    codes.fill();
    const radio_link::RadioImageLoad load = radio_link::ParseRadioImage(text, codes);
    if (!load.ok()) {
        throw std::runtime_error("memory file " + path + " is not a radio image: " + load.problem);
    }
    return *load.image;
}

void VirtualRadio::saveMemoryFile(const std::string& path, const Memory& memory) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << radio_link::RadioImageText(memory);
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            throw std::runtime_error("cannot write memory file " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const auto error = systemError("cannot replace memory file " + path);
        std::remove(temporary.c_str());
        throw error;
    }
}

void VirtualRadio::start() {
    std::lock_guard lock(mutex_);
    if (running_) {
        return;
    }
    try {
        if (!options_.memoryFile.empty() && ::access(options_.memoryFile.c_str(), F_OK) == 0) {
            memory_ = loadMemoryFile(options_.memoryFile);
        }

        masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (masterFd_ < 0) {
            throw systemError("posix_openpt");
        }
        if (::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0) {
            throw systemError("grantpt/unlockpt");
        }
        const char* name = ::ptsname(masterFd_);
        if (name == nullptr) {
            throw systemError("ptsname");
        }
        devicePath_ = name;
        if (!setFlags(masterFd_, O_NONBLOCK)) {
            throw systemError("fcntl");
        }

        // Holding the slave open ourselves keeps the master free of EIO and
        // hang-ups while the program closes and reopens its port; raw mode is
        // set before anyone else can open it so no byte is ever echoed.
        slaveFd_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slaveFd_ < 0) {
            throw systemError("open " + devicePath_);
        }
        termios settings{};
        if (::tcgetattr(slaveFd_, &settings) != 0) {
            throw systemError("tcgetattr");
        }
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B9600);
        ::cfsetospeed(&settings, B9600);
        settings.c_cflag |= CLOCAL | CREAD;
        if (::tcsetattr(slaveFd_, TCSANOW, &settings) != 0) {
            throw systemError("tcsetattr");
        }

        int wakePipe[2];
        if (::pipe(wakePipe) != 0) {
            throw systemError("pipe");
        }
        wakeRead_ = wakePipe[0];
        wakeWrite_ = wakePipe[1];
        if (!setFlags(wakeRead_, O_NONBLOCK) || !setFlags(wakeWrite_, O_NONBLOCK)) {
            throw systemError("fcntl");
        }

        if (!options_.linkPath.empty()) {
            struct stat existing {};
            if (::lstat(options_.linkPath.c_str(), &existing) == 0) {
                // A link left behind by an earlier run is replaced; anything else is kept.
                if (!S_ISLNK(existing.st_mode)) {
                    throw std::runtime_error(options_.linkPath + " exists and is not a link");
                }
                ::unlink(options_.linkPath.c_str());
            }
            if (::symlink(devicePath_.c_str(), options_.linkPath.c_str()) != 0) {
                throw systemError("symlink " + options_.linkPath);
            }
            linkMade_ = true;
        }
    } catch (...) {
        releaseResources();
        throw;
    }

    mode_ = Mode::Idle;
    writeBuffer_.clear();
    rawOut_.clear();
    reply_ = Reply{};
    lineIdle_ = true;
    outputBlocked_ = false;
    closePending_ = false;
    counters_.lineOpen = true;
    stopping_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

void VirtualRadio::stop() {
    {
        std::lock_guard lock(mutex_);
        if (!running_) {
            return;
        }
        stopping_ = true;
    }
    wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    releaseResources();
    counters_.lineOpen = false;
    running_ = false;
    changed_.notify_all();
}

void VirtualRadio::releaseResources() {
    closeFd(masterFd_);
    closeFd(slaveFd_);
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
    if (linkMade_) {
        // Only our own link goes: someone may have pointed the path elsewhere since.
        if (symlinkTarget(options_.linkPath) == devicePath_) {
            ::unlink(options_.linkPath.c_str());
        }
        linkMade_ = false;
    }
}

bool VirtualRadio::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

std::string VirtualRadio::devicePath() const {
    std::lock_guard lock(mutex_);
    return devicePath_;
}

VirtualRadio::Memory VirtualRadio::memory() const {
    std::lock_guard lock(mutex_);
    return memory_;
}

void VirtualRadio::setMemory(const Memory& memory) {
    std::lock_guard lock(mutex_);
    memory_ = memory;
}

std::string VirtualRadio::receivedBytes() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<VirtualRadio::Clock::time_point> VirtualRadio::arrivalTimes() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

std::string VirtualRadio::sentBytes() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

void VirtualRadio::clearLog() {
    std::lock_guard lock(mutex_);
    received_.clear();
    arrivals_.clear();
    sent_.clear();
}

VirtualRadio::Counters VirtualRadio::counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

int VirtualRadio::pollsAnswered() const {
    return counters().pollsAnswered;
}
int VirtualRadio::completeWrites() const {
    return counters().completeWrites;
}
int VirtualRadio::incompleteWrites() const {
    return counters().incompleteWrites;
}
int VirtualRadio::readsAnswered() const {
    return counters().readsAnswered;
}
bool VirtualRadio::lineOpen() const {
    return counters().lineOpen;
}

bool VirtualRadio::waitFor(const std::function<bool(const Counters&)>& condition,
                           std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(counters_); });
}

bool VirtualRadio::waitForWritesSettled(std::chrono::milliseconds timeout) const {
    return waitFor(
        [](const Counters& c) { return c.writesStarted == c.completeWrites + c.incompleteWrites; },
        timeout);
}

void VirtualRadio::sendRaw(const std::string& bytes) {
    {
        std::lock_guard lock(mutex_);
        rawOut_ += bytes;
    }
    wake();
}

void VirtualRadio::wake() {
    std::lock_guard lock(mutex_);
    if (wakeWrite_ >= 0) {
        const char signal = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &signal, 1);
    }
}

void VirtualRadio::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        Clock::time_point now = Clock::now();
        serviceTimers(now);
        pumpOutput(now);
        changed_.notify_all();

        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {masterFd_, POLLIN, 0}};
        const nfds_t count = masterFd_ >= 0 ? 2 : 1;
        const int timeout = pollTimeoutMs(now);
        lock.unlock();
        const int ready = ::poll(fds, count, timeout);
        lock.lock();
        if (ready < 0 && errno != EINTR) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (count == 2 && fds[1].revents != 0 && masterFd_ >= 0) {
            readInput();
        }
    }
}

void VirtualRadio::readInput() {
    char buffer[512];
    const ssize_t length = ::read(masterFd_, buffer, sizeof buffer);
    const Clock::time_point now = Clock::now();
    if (length <= 0) {
        // A hang-up cannot happen while our slave descriptor is open; should it
        // happen anyway, count it and do not spin on it.
        if (length == 0 || (errno != EAGAIN && errno != EINTR)) {
            ++counters_.lineErrors;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return;
    }
    // A gap that ended with these bytes must be judged before they count.
    serviceTimers(now);
    for (ssize_t i = 0; i < length && masterFd_ >= 0; ++i) {
        received_.push_back(buffer[i]);
        arrivals_.push_back(now);
        ++counters_.bytesReceived;
        handleByte(buffer[i], now);
    }
}

void VirtualRadio::handleByte(char byte, Clock::time_point now) {
    if (options_.noAnswer) {
        return;
    }
    if (mode_ == Mode::Idle) {
        handleCommand(byte, now);
        return;
    }

    writeBuffer_.push_back(byte);
    lastWriteByteAt_ = now;
    if (writeBuffer_.size() % kRecordLength != 0) {
        return;
    }
    const int records = static_cast<int>(writeBuffer_.size() / kRecordLength);
    if (records == kMemoryRecords) {
        for (std::size_t i = 0; i < memory_.size(); ++i) {
            memory_[i] = writeBuffer_.substr(i * kRecordLength, kRecordLength);
        }
        ++counters_.completeWrites;
        mode_ = Mode::Idle;
        writeBuffer_.clear();
        if (!options_.memoryFile.empty()) {
            try {
                saveMemoryFile(options_.memoryFile, memory_);
            } catch (const std::exception& error) {
                std::cerr << "kr4720-virtual-radio: " << error.what() << '\n';
            }
        }
    }
    if (options_.closeAfterRecords && records == *options_.closeAfterRecords) {
        if (mode_ == Mode::Receiving) {
            mode_ = Mode::Idle;
            writeBuffer_.clear();
            ++counters_.incompleteWrites;
        }
        closeLine();
    }
}

void VirtualRadio::handleCommand(char byte, Clock::time_point now) {
    // The radio is busy while it sends its channel set.
    if (reply_.active) {
        return;
    }
    switch (byte) {
    case 'C':
        rawOut_.push_back('C');
        ++counters_.pollsAnswered;
        break;
    case 'A':
        mode_ = Mode::Receiving;
        writeBuffer_.clear();
        lastWriteByteAt_ = now;
        ++counters_.writesStarted;
        if (options_.closeAfterRecords && *options_.closeAfterRecords == 0) {
            mode_ = Mode::Idle;
            ++counters_.incompleteWrites;
            closeLine();
        }
        break;
    case 'B':
        startReply(now);
        break;
    default:
        break;
    }
}

void VirtualRadio::dropWrite(Clock::time_point now) {
    const std::size_t partial = writeBuffer_.size() % kRecordLength;
    const std::string lone = partial == 1 ? writeBuffer_.substr(writeBuffer_.size() - 1) : "";
    mode_ = Mode::Idle;
    writeBuffer_.clear();
    ++counters_.incompleteWrites;
    // A single character followed by silence was a command, not record data.
    for (char byte : lone) {
        handleCommand(byte, now);
    }
}

void VirtualRadio::startReply(Clock::time_point now) {
    int records = kReplyRecords;
    if (options_.stopAfterRecords) {
        records = std::clamp(*options_.stopAfterRecords, 0, records);
    }
    bool closeWhenDone = false;
    if (options_.closeAfterRecords && *options_.closeAfterRecords <= kReplyRecords) {
        records = std::min(records, std::max(*options_.closeAfterRecords, 0));
        closeWhenDone = true;
    }

    reply_ = Reply{};
    reply_.active = true;
    reply_.startAt = now + options_.replyDelay;
    reply_.text = options_.strayBeforeReply;
    reply_.strayLength = reply_.text.size();
    reply_.closeWhenDone = closeWhenDone;
    if (options_.replyInstead) {
        reply_.text += *options_.replyInstead;
    } else {
        if (records > 0) {
            reply_.text += leadingRecord();
        }
        for (int i = 0; i + 1 < records; ++i) {
            reply_.text += memory_[static_cast<std::size_t>(i)];
        }
    }
    reply_.text += options_.strayAfterReply;
}

void VirtualRadio::serviceTimers(Clock::time_point now) {
    if (mode_ == Mode::Receiving) {
        const bool partial = writeBuffer_.size() % kRecordLength != 0;
        const auto limit = partial ? options_.recordGapTimeout : options_.writeQuietTimeout;
        if (now - lastWriteByteAt_ >= limit) {
            dropWrite(now);
        }
    }
    if (reply_.active && reply_.sent == reply_.text.size() && now >= reply_.startAt) {
        reply_.active = false;
        ++counters_.readsAnswered;
        if (reply_.closeWhenDone) {
            closePending_ = true;
            closeDeadline_ = now + std::chrono::seconds(1);
        }
    }
    if (closePending_ && masterFd_ >= 0) {
        // Let the program take what was sent before the line goes: a hang-up
        // throws away whatever is still waiting on the slave side.
        int waiting = 0;
        const bool drained = ::ioctl(slaveFd_, TIOCINQ, &waiting) == 0 && waiting == 0;
        if ((drained && now - lastSentAt_ >= std::chrono::milliseconds(30)) ||
            now >= closeDeadline_) {
            closeLine();
        }
    }
}

void VirtualRadio::pumpOutput(Clock::time_point now) {
    outputBlocked_ = false;
    while (masterFd_ >= 0) {
        const bool fromReply = rawOut_.empty();
        const std::string* source = fromReply ? &reply_.text : &rawOut_;
        std::size_t offset = 0;
        if (fromReply) {
            if (!reply_.active || now < reply_.startAt || reply_.sent == reply_.text.size()) {
                lineIdle_ = true;
                break;
            }
            offset = reply_.sent;
        }
        std::size_t length = source->size() - offset;

        if (options_.pace) {
            if (lineIdle_) {
                nextCharacterAt_ = std::max(nextCharacterAt_, now);
                lineIdle_ = false;
            }
            if (now < nextCharacterAt_) {
                break;
            }
            const auto due =
                static_cast<std::size_t>((now - nextCharacterAt_) / kCharacterTime) + 1;
            length = std::min(length, due);
        }

        const ssize_t written = ::write(masterFd_, source->data() + offset, length);
        if (written <= 0) {
            outputBlocked_ = true;
            break;
        }
        const auto count = static_cast<std::size_t>(written);
        sent_.append(*source, offset, count);
        counters_.bytesSent += count;
        lastSentAt_ = now;
        if (options_.pace) {
            nextCharacterAt_ += kCharacterTime * static_cast<long>(count);
        }
        if (fromReply) {
            reply_.sent += count;
            if (reply_.sent == reply_.text.size()) {
                serviceTimers(now);
            }
        } else {
            rawOut_.erase(0, count);
        }
    }
}

int VirtualRadio::pollTimeoutMs(Clock::time_point now) const {
    std::optional<Clock::time_point> next;
    const auto consider = [&](Clock::time_point at) {
        if (!next || at < *next) {
            next = at;
        }
    };
    if (mode_ == Mode::Receiving) {
        const bool partial = writeBuffer_.size() % kRecordLength != 0;
        consider(lastWriteByteAt_ +
                 (partial ? options_.recordGapTimeout : options_.writeQuietTimeout));
    }
    const bool replyPending = reply_.active && reply_.sent < reply_.text.size();
    if (reply_.active && now < reply_.startAt) {
        consider(reply_.startAt);
    }
    if (options_.pace && (!rawOut_.empty() || replyPending)) {
        consider(nextCharacterAt_);
    }
    if (outputBlocked_ || closePending_) {
        consider(now + std::chrono::milliseconds(5));
    }
    if (!next) {
        return -1;
    }
    if (*next <= now) {
        return 0;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now);
    return static_cast<int>(std::min<long long>(wait.count(), 60'000));
}

void VirtualRadio::closeLine() {
    // Closing the master makes the device vanish: the program's port sees a hang-up.
    closeFd(masterFd_);
    closeFd(slaveFd_);
    counters_.lineOpen = false;
    closePending_ = false;
    rawOut_.clear();
    reply_ = Reply{};
    mode_ = Mode::Idle;
    writeBuffer_.clear();
}

} // namespace kr4720
