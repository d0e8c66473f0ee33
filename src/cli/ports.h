#pragma once

#include "cli/console.h"
#include "cli/options.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace kr4720::platform {
class LineTrace;
}

namespace kr4720::cli {

struct PortName {
    QString device; // what is opened: "/dev/ttyUSB0"
    QString label;  // how it is named in messages and backups: "ttyUSB0"
    // A USB device whose chip no programming cable uses: a laptop's modem, a GPS.
    bool otherDevice = false;
    bool named = false; // by the user, not found by a search
};

// A device path as it is, "ttyUSB0" as /dev/ttyUSB0, COM1 and COM2 as the
// window program maps them.
PortName resolvePort(const QString& text);

// The ports named by -p, with "auto" replaced by every port where a radio
// answers the poll; empty after a message when none is left.
// With `keepRefused`, "auto" also gives the ports that could not be opened
// (held by another program, say) and are no other device: a radio may be on
// one, and the command then fails on it in its summary.
std::vector<PortName> resolvePorts(const QStringList& given, const Console& console,
                                   platform::LineTrace* trace, bool keepRefused = false);

// The ports a search looks at: every serial port of the system and the
// devices COM1 and COM2 map to.
std::vector<PortName> candidatePorts();

// Polls every port at once; the ports where a radio answered within a second.
// Ports that fail are told with `reportFailures`; one that another program
// holds, or that this user may not open, is told always, as a radio may be on
// it, unless it is another device (ModemManager holds a modem's ports).
std::vector<PortName> detectRadios(const std::vector<PortName>& ports, const Console& console,
                                   platform::LineTrace* trace, bool reportFailures,
                                   int* code = nullptr, std::vector<PortName>* refused = nullptr);

int runPorts(const Options& options, const Console& console);
int runDetect(const Options& options, const Console& console, platform::LineTrace* trace);

} // namespace kr4720::cli
