#include "platform/serial_port.h"

#include "platform/line_trace.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

namespace kr4720::platform {

SerialPort::SerialPort(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPort::handleError);
    // A received burst goes to the trace once the line has been quiet for a
    // burst's gap.
    traceFlush_.setSingleShot(true);
    traceFlush_.setInterval(LineTrace::kBurstGap + std::chrono::milliseconds(5));
    connect(&traceFlush_, &QTimer::timeout, this, [this] {
        if (trace_ != nullptr) {
            trace_->flushQuiet(port_.portName());
        }
    });
}

SerialPort::~SerialPort() {
    // Quietly: whoever listens to openChanged may be half gone already.
    blockSignals(true);
    close();
}

bool SerialPort::setPortNumber(int number) {
    if (port_.isOpen()) {
        return false;
    }
    portNumber_ = number;
    return true;
}

bool SerialPort::open() {
    if (port_.isOpen()) {
        return false;
    }
    received_.clear();
    openFailureDetail_.clear();
    openedDevice_ = device_.isEmpty() ? portDeviceName(portNumber_) : device_;
    // A path is opened as the device it leads to: the lock that keeps a second
    // program off the line is named after the device, so a link to it
    // (/dev/serial/by-id/...) cannot write into another program's transfer.
    const QString real = openedDevice_.contains(QLatin1Char('/'))
                             ? QFileInfo(openedDevice_).canonicalFilePath()
                             : QString();
    port_.setPortName(real.isEmpty() ? openedDevice_ : real);
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        openFailureDetail_ =
            portOpenFailureDetail(openedDevice_, port_.error(), port_.errorString());
        return false;
    }
    // A pseudo-terminal refuses the modem lines; that is no reason to fail.
    port_.clearError();
    emit openChanged(true);
    return true;
}

void SerialPort::close() {
    received_.clear();
    if (port_.isOpen()) {
        // Closing puts back the settings the device had before, at once: the
        // last record must be on the line first, or it goes out at another speed.
        waitForSent(QDeadlineTimer(500));
        port_.close();
        emit openChanged(false);
    }
}

bool SerialPort::isOpen() const {
    return port_.isOpen();
}

bool SerialPort::output(std::string_view text) {
    if (!port_.isOpen()) {
        return false;
    }
    const auto written = port_.write(text.data(), static_cast<qint64>(text.size()));
    port_.flush();
    if (trace_ != nullptr && written > 0) {
        trace_->record(port_.portName(), LineTrace::Direction::Sent,
                       QByteArray(text.data(), static_cast<qsizetype>(written)));
    }
    return written == static_cast<qint64>(text.size()) && port_.isOpen();
}

void SerialPort::takeAvailable() {
    if (port_.isOpen() && port_.bytesAvailable() > 0) {
        const QByteArray bytes = port_.readAll();
        if (trace_ != nullptr) {
            trace_->record(port_.portName(), LineTrace::Direction::Received, bytes);
            traceFlush_.start();
        }
        received_ += bytes;
        if (received_.size() > kKeptInput) {
            received_.remove(0, received_.size() - kKeptInput);
        }
    }
}

int SerialPort::inBufferCount() {
    takeAvailable();
    return static_cast<int>(received_.size());
}

std::string SerialPort::input() {
    takeAvailable();
    if (received_.isEmpty()) {
        return {};
    }
    std::string character(1, received_.front());
    received_.remove(0, 1);
    return character;
}

void SerialPort::discardInput() {
    if (port_.isOpen()) {
        port_.clear(QSerialPort::Input);
        takeAvailable();
    }
    received_.clear();
}

bool SerialPort::waitForInput(std::chrono::milliseconds timeout) {
    takeAvailable();
    if (!received_.isEmpty()) {
        return true;
    }
    if (!port_.isOpen()) {
        return false;
    }
    port_.waitForReadyRead(static_cast<int>(timeout.count()));
    takeAvailable();
    return !received_.isEmpty();
}

bool SerialPort::drainOutput(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (port_.isOpen() && port_.bytesToWrite() > 0) {
        if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    return port_.isOpen() && waitForSent(deadline);
}

// What the driver still holds (a USB cable's buffer) leaves at 9600 baud, a
// millisecond a character.
bool SerialPort::waitForSent(const QDeadlineTimer& deadline) {
#ifdef Q_OS_UNIX
    for (int queued = 0; ::ioctl(port_.handle(), TIOCOUTQ, &queued) == 0 && queued > 0;
         QThread::msleep(2)) {
        if (deadline.hasExpired()) {
            return false;
        }
    }
#endif
    return true;
}

void SerialPort::handleError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::UnsupportedOperationError: // modem lines of a pseudo-terminal
    case QSerialPort::TimeoutError:              // waitForReadyRead ran out
    case QSerialPort::OpenError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
        return;
    default:
        break;
    }
    if (port_.isOpen()) {
        port_.close();
        received_.clear();
        emit openChanged(false);
        emit lineLost();
    }
}

} // namespace kr4720::platform
