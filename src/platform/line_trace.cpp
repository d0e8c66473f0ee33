#include "platform/line_trace.h"

#include "platform/text_files.h"

#include <QFileInfo>
#include <QTime>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace kr4720::platform {

QString LineTrace::open(const QString& path) {
    const std::lock_guard lock(mutex_);
    file_.close();
    failure_.clear();
    file_.setFileName(path);
#ifndef Q_OS_WIN
    // Opening a FIFO for writing waits until a reader opens it, which with
    // nobody reading holds the program before its window or first step. A
    // device (/dev/stderr on a terminal) has no end to append at. Both stay
    // without blocking: a reader that stops (a full pipe, a terminal paused
    // with Ctrl+S) must not hold a radio between two records; the trace stops
    // instead and is told after the transfer.
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) == 0 &&
        (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode))) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            return errno == ENXIO && S_ISFIFO(status.st_mode)
                       ? QStringLiteral("没有程序在读这个管道")
                       : QString::fromLocal8Bit(std::strerror(errno));
        }
        file_.open(fd, QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle);
        return {};
    }
#endif
    if (isDatabaseFile(path)) {
        return QStringLiteral("记录文件不能是数据库文件");
    }
    // Also through a link: the lines would go into the file it leads to.
    if (namesChannelFile(path) || namesChannelFile(QFileInfo(path).canonicalFilePath())) {
        return QStringLiteral("记录文件不能是信道文件（.img、.doc、.csv）");
    }
    // Unbuffered: each line is on the disk once put() returns, in one write
    // that O_APPEND puts after any other program's.
    if (!file_.open(QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered)) {
        return file_.errorString();
    }
    return {};
}

bool LineTrace::namesChannelFile(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("img") || suffix == QLatin1String("doc") ||
           suffix == QLatin1String("csv");
}

QByteArray LineTrace::lineText(const QString& clock, const QString& port, Direction direction,
                               const QByteArray& bytes, int foldedBefore) {
    QByteArray printable = bytes;
    for (char& c : printable) {
        if (c < 0x20 || c > 0x7e) {
            c = '.';
        }
    }
    QByteArray line = clock.toLatin1() + ' ' + port.toUtf8() +
                      (direction == Direction::Sent ? " -> " : " <- ") + bytes.toHex(' ') + "  |" +
                      printable + '|';
    if (foldedBefore > 0) {
        line += "  [" + QByteArray::number(foldedBefore) + " more before this one]";
    }
    return line;
}

namespace {

// A received burst is cut into lines of a record's length.
constexpr qsizetype kBurstLine = 32;

} // namespace

LineTrace::~LineTrace() {
    const std::lock_guard lock(mutex_);
    for (auto it = ports_.begin(); it != ports_.end(); ++it) {
        flushPending(it.key(), it.value(), it.value().pending.size());
        flushFolded(it.key(), it.value());
    }
}

// Writes the last burst left out, with the count of those before it.
void LineTrace::flushFolded(const QString& port, PortState& state) {
    if (state.folded == 0) {
        return;
    }
    const Direction direction =
        state.lastKey.startsWith('>') ? Direction::Sent : Direction::Received;
    put(lineText(state.foldClock, port, direction, state.lastKey.mid(1), state.folded - 1));
    state.folded = 0;
}

void LineTrace::put(const QByteArray& line) {
    if (!file_.isOpen()) {
        return;
    }
    // A disk that fills takes part of a line first; writing the rest then
    // fails with the system's reason.
    const QByteArray text = line + '\n';
    for (qint64 written = 0; written < text.size();) {
        const qint64 count = file_.write(text.constData() + written, text.size() - written);
        if (count <= 0) {
            failure_ = file_.errorString();
            file_.close();
            return;
        }
        written += count;
    }
}

QString LineTrace::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void LineTrace::flushPending(const QString& port, PortState& state, qsizetype upTo) {
    if (upTo <= 0 || !file_.isOpen()) {
        return;
    }
    const QByteArray bytes = state.pending.left(upTo);
    state.pending.remove(0, upTo);
    write(port, state, state.pendingClock, Direction::Received, bytes, state.lastArrival);
}

void LineTrace::write(const QString& port, PortState& state, const QString& clock,
                      Direction direction, const QByteArray& bytes,
                      std::chrono::steady_clock::time_point now) {
    const QByteArray key = (direction == Direction::Sent ? ">" : "<") + bytes;
    // Only one-character bursts fold: polls, never records.
    if (bytes.size() == 1 && key == state.lastKey &&
        now - state.lastWritten < std::chrono::seconds(1)) {
        ++state.folded;
        state.foldClock = clock;
        return;
    }
    if (key != state.lastKey) {
        flushFolded(port, state);
    }
    put(lineText(clock, port, direction, bytes, state.folded));
    state.lastKey = key;
    state.lastWritten = now;
    state.folded = 0;
}

void LineTrace::record(const QString& port, Direction direction, const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const QString clock = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    const std::lock_guard lock(mutex_);
    if (!file_.isOpen()) {
        return;
    }
    PortState& state = ports_[port];
    if (direction == Direction::Sent || now - state.lastArrival > kBurstGap) {
        flushPending(port, state, state.pending.size());
    }
    if (direction == Direction::Sent) {
        write(port, state, clock, direction, bytes, now);
        return;
    }
    if (state.pending.isEmpty()) {
        state.pendingClock = clock;
    }
    state.pending += bytes;
    state.lastArrival = now;
    // A trace that stops (a full disk) part-way stops this too.
    while (file_.isOpen() && state.pending.size() >= kBurstLine) {
        flushPending(port, state, kBurstLine);
        state.pendingClock = clock;
    }
}

void LineTrace::flushQuiet(const QString& port) {
    const std::lock_guard lock(mutex_);
    const auto it = ports_.find(port);
    if (it != ports_.end() && std::chrono::steady_clock::now() - it->lastArrival >= kBurstGap) {
        flushPending(port, *it, it->pending.size());
    }
}

} // namespace kr4720::platform
