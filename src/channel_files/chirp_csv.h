#pragma once

#include "channel_data/channel_set.h"
#include "channel_data/tone_tables.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// CHIRP's CSV channel lists, in and out. Only the 16 channels travel: CSV has
// no place for the emergency channel or the squelch level.
namespace kr4720::channel_files {

// The header line CHIRP writes, without its line end.
inline constexpr std::string_view kChirpCsvHeader =
    "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
    "RxDtcsCode,CrossMode,Mode,TStep,Skip,Power,Comment,URCALL,RPT1CALL,RPT2CALL,DVCODE";

// One line per channel that has a receive frequency, CRLF line ends.
std::string ChirpCsvText(const ChannelSet& set);

// The note told after an export when a channel's line would not bring back
// what the radio gets from it once imported: a tone outside the 39, a
// frequency outside 130-500 MHz or off the raster, a word the radio does not
// know ("DEL"), a text that is not a number. Empty when every channel comes
// back. The export itself writes what it can.
std::string CsvExportNote(const ChannelSet& set, const DcsCodes& codes);

struct CsvSkippedRow {
    int line = 0;       // 1-based line of the file
    std::string reason; // Chinese
};

// The outcome of reading a CSV file: fields 1 to 9 of the 16 rows (field 0
// stays Null: channel numbers are not taken from the file), with what was
// taken, skipped and left over; or the line and problem that refuse the file.
struct ChirpCsvImport {
    std::optional<std::array<ChannelRow, kChannelCount>> rows;
    int errorLine = 0;
    std::string error; // Chinese; names the problem

    int taken = 0;
    std::vector<CsvSkippedRow> skipped;
    std::vector<CsvSkippedRow> moved; // rows taken with a frequency moved onto the raster
    int leftOver = 0;                 // rows that could be held, beyond the 16th

    bool ok() const { return rows.has_value(); }
    // The report shown after an import, in Chinese: rows taken, skipped with
    // line and reason, moved onto the raster (the first ten of each), left over.
    std::string reportText() const;
    // The refusal, in Chinese, naming line and problem.
    std::string errorText() const;
};

ChirpCsvImport ParseChirpCsv(std::string_view text, const DcsCodes& codes);

// Stores imported rows into fields 1 to 9 of rows 1 to 16 through the cursor
// in one go (ChannelCursor::replaceRows: all rows or none) and moves it back
// to row 1. Throws DataError when the table refuses.
void ApplyChirpCsvRows(const std::array<ChannelRow, kChannelCount>& rows, ChannelCursor& cursor);

} // namespace kr4720::channel_files
