#pragma once

#include <QHash>
#include <QList>
#include <QSerialPort>
#include <QString>

namespace kr4720::platform {

// One serial device the system offers.
struct PortEntry {
    QString device;   // "/dev/ttyUSB0"
    bool usb = false; // it has a USB vendor id: a programming cable, or a modem, a GPS...
    // Its link name under /dev/serial/by-path ("pci-0000:00:14.0-usb-0:2:1.0-port0"),
    // which follows the socket the cable is plugged into; empty when it has none.
    QString byPath;
    bool knownCable = false; // its chip is one that programming cables use
};

// The name of the USB-serial chip with this vendor:product id when
// programming cables use it ("CH340"); empty for any other device.
QString cableChip(quint16 vendor, quint16 product);
// The id as lsusb prints it: "1a86:7523".
QString usbIdText(quint16 vendor, quint16 product);

// The links of a by-path folder: the device each leads to (its canonical
// path) and the link's name.
QHash<QString, QString> byPathNames(const QString& folder);
// The serial devices present now, with their /dev/serial/by-path names.
QList<PortEntry> availablePortEntries();
// Starts the lookup of the serial devices on a thread of its own when port 1
// will need it (KR4720_COM1 unset): asking udev about every tty takes a core
// for some milliseconds. The next availablePortEntries() takes its result.
void lookUpPortsAhead();

// The device behind port n. The environment variable KR4720_COM<n> wins when
// set. Otherwise, on Windows, COM<n>; elsewhere the n-th entry of: the USB
// serial devices of `ports` (those with a cable's chip first, a laptop's
// built-in modem after them; each in the order of their by-path names, those
// without one after them by device name), then /dev/ttyS0, /dev/ttyS1, ...
// so that one plugged-in cable is port 1.
QString portDeviceName(int portNumber, const QList<PortEntry>& ports);
// The same over the devices present now: resolved afresh on each call, so a
// cable plugged in after start-up is found.
QString portDeviceName(int portNumber);

// Qt reports a device held by another program (its lock, or exclusive use)
// as a permission error too: one the user may read and write is held.
bool heldByAnotherProgram(const QString& device, QSerialPort::SerialPortError error);

// The second line of a "cannot open" message: the device, the library's
// reason and then that another program holds it or, when the user may not
// use the device, the group to join.
QString portOpenFailureDetail(const QString& device, QSerialPort::SerialPortError error,
                              const QString& reason);

} // namespace kr4720::platform
