#pragma once

#include "channel_data/channel_set.h"
#include "channel_data/tone_tables.h"
#include "radio_link/radio_image.h"

#include <QJsonArray>
#include <QString>

#include <optional>

namespace kr4720::cli {

// The three file formats: radio image (.img), channel file (.doc) and CHIRP
// CSV (.csv); a table on standard output for "-" or no file.
enum class FileFormat { Image, ChannelFile, Csv, Table };

// The format named by --format (img, doc, csv), else by the extension;
// nullopt when neither says.
std::optional<FileFormat> fileFormat(const QString& path, const QString& formatOption);
QString formatName(FileFormat format);

// A channel set read from a file, with what the file holds: a channel file has
// no emergency channel, a CSV file neither that nor the squelch level.
struct LoadedFile {
    ChannelSet set;
    bool hasSquelch = false;
    bool hasEmergency = false;
    QString error;           // Chinese, naming the file, the line and the problem
    QString report;          // what a CSV import took and skipped, when anything was skipped
    QString warning;         // what the file holds that was not read
    QJsonArray skipped;      // the rows it skipped: line and reason
    QJsonArray moved;        // the rows whose frequency it moved onto the raster
    bool noRowTaken = false; // a CSV none of whose rows this radio can hold

    bool ok() const { return error.isEmpty(); }
};

LoadedFile loadFile(const QString& path, FileFormat format, const DcsCodes& codes);

// Why a set cannot become radio records: the channel (or the emergency
// channel) and the column that holds a value the radio cannot carry.
QString unencodableText(const radio_link::RadioImageEncoding& encoding);

// The text of the file `path` would get: the set (or, for an image, exactly
// the records a read received when `received` is given) in `format`. Returns
// a Chinese reason when the set cannot be written in it.
QString fileText(const QString& path, FileFormat format, const ChannelSet& set,
                 const DcsCodes& codes, const radio_link::RadioImage* received, std::string& text);
// Writes fileText() to `path` atomically. Returns a Chinese reason on failure.
QString saveFile(const QString& path, FileFormat format, const ChannelSet& set,
                 const DcsCodes& codes, const radio_link::RadioImage* received = nullptr);
// The reason saveFile(path, ...) would fail at once, so that a radio is not
// read into a file that cannot be written. Empty when it can start.
QString checkSaveFile(const QString& path);

// The set as a table for a terminal: one line per channel, then the emergency
// channel and the squelch level, with no line end after the last line. Those
// two are said to be missing when the set's file has none.
QString tableText(const ChannelSet& set, bool hasSquelch = true, bool hasEmergency = true);

} // namespace kr4720::cli
