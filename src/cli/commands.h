#pragma once

#include "channel_data/channel_set.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/port_job.h"
#include "cli/set_files.h"

#include <QJsonObject>

namespace kr4720::platform {
class LineTrace;
}

namespace kr4720::cli {

int runRead(const Options& options, const Console& console, platform::LineTrace* trace);
int runWrite(const Options& options, const Console& console, platform::LineTrace* trace);
int runVerify(const Options& options, const Console& console, platform::LineTrace* trace);
int runConvert(const Options& options, const Console& console);
int runShow(const Options& options, const Console& console);

// Helpers the commands share.

// The set as JSON: channels 1-16 with their fields, the emergency channel and
// the squelch level (null when the set's file has none).
QJsonObject setJson(const ChannelSet& set, bool hasSquelch = true, bool hasEmergency = true);

// Puts --squelch N and --emergency RX,TX[,on|off] into the set; a Chinese
// usage error when one is malformed.
QString applySetOptions(const Options& options, ChannelSet& set);

// The format of a file to be read or written, by its extension or --format;
// "-" as an output prints a table, or the file's text when --format names one.
// Prints the refusal and returns nullopt for a name in no known format.
std::optional<FileFormat> argumentFormat(const QString& path, const QString& formatOption,
                                         bool output, const Console& console);

// The file argument read in the format its extension (or --format) names;
// prints the refusal and returns nullopt when it cannot be read.
std::optional<LoadedFile> loadArgument(const QString& path, const QString& formatOption,
                                       const Console& console);

// Saves the set to `out`, or prints the file's text for "-". Prints the
// failure and returns false when it cannot.
bool putSet(const QString& out, FileFormat format, const ChannelSet& set, const Console& console,
            const radio_link::RadioImage* received = nullptr);

// A warning, on standard error, for each direction of a channel whose tone
// hides its code on the radio.
void warnToneBesideCode(const ChannelSet& set, const Console& console);

// A warning, on standard error, naming each frequency outside 130–500 MHz and
// each tone that is not one of the radio's 39: the window's grid takes none
// of them, but a file may hold them and the radio gets them as they are.
void warnOutsideTheGrid(const ChannelSet& set, const Console& console);

// Warnings, on standard error, for what a file of `target` cannot hold of `set`.
void warnWhatIsLost(FileFormat target, const ChannelSet& set, bool hasSquelch, bool hasEmergency,
                    const Console& console);

// Runs `task` on every port given with -p (auto included), all at once,
// reports one line per port and returns the combined exit status.
int runOnEveryPort(const Options& options, PortTask task, const Console& console,
                   platform::LineTrace* trace, const QString& doneText);

// One line per port on standard output, the second lines on standard error,
// and the JSON document.
void reportPorts(const std::vector<PortTask>& tasks, const std::vector<PortResult>& results,
                 const Console& console, const QString& doneText);

} // namespace kr4720::cli
