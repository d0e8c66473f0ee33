#pragma once

#include "platform/port_names.h"
#include "radio_link/serial_link.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

namespace kr4720::platform {

// The radio's serial port (MSComm1): 9600 baud, 8 data bits, no parity, one
// stop bit, no flow control. The port number changes only while it is closed.
class LineTrace;

class SerialPort : public QObject, public radio_link::SerialLink {
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    int portNumber() const { return portNumber_; }
    // False when the port is open: the number changes only while closed.
    bool setPortNumber(int number);
    // Opens the device the current port number maps to now; false when it is
    // missing, another program holds it or the user may not use it.
    bool open();
    void close();
    QString errorText() const { return port_.errorString(); }
    QSerialPort::SerialPortError error() const { return port_.error(); }
    // A device opened instead of the numbered port's (kr4720-cli names its
    // ports by device); empty goes back to the number.
    void setDeviceName(const QString& device) { device_ = device; }
    // The device the last open tried, e.g. "/dev/ttyUSB0".
    QString deviceName() const { return openedDevice_; }
    // Why the last open failed, for the second line of its message.
    QString openFailureDetail() const { return openFailureDetail_; }
    // Every byte sent and received from now on also goes to the trace.
    void setTrace(LineTrace* trace) { trace_ = trace; }
    // Waits until everything queued has left the device; false on time-out.
    bool drainOutput(std::chrono::milliseconds timeout);

    bool isOpen() const override;
    void setTextMode() override {}
    bool output(std::string_view text) override;
    int inBufferCount() override;
    std::string input() override;
    void discardInput() override;
    bool waitForInput(std::chrono::milliseconds timeout) override;

signals:
    // The port was opened or closed (also when the line broke).
    void openChanged(bool open);
    // The line broke while open (device gone, cable pulled).
    void lineLost();

private:
    void takeAvailable();
    void handleError(QSerialPort::SerialPortError error);
    bool waitForSent(const QDeadlineTimer& deadline);

    QSerialPort port_;
    int portNumber_ = 1;
    QString device_;
    QString openedDevice_;
    LineTrace* trace_ = nullptr;
    QTimer traceFlush_;
    // What has arrived and not been taken yet: at most the newest kKeptInput
    // characters. A device that never stops sending (a GPS receiver on the
    // port, a noisy line) would otherwise fill memory while the handshake
    // takes one character a tick; a reply is far shorter.
    static constexpr qsizetype kKeptInput = 64 * 1024;
    QByteArray received_;
    QString openFailureDetail_;
};

} // namespace kr4720::platform
