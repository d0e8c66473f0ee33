#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/field_value.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The channel file: the squelch level and fields 1 to 9 of the 16 channel rows
// as 145 comma-terminated values. Saving collects the rows through the channel
// cursor and turns them into text; loading reads and checks the whole text
// first and only then stores the rows, so a broken file changes nothing.
//
// The text is handled as it is, byte for byte; converting it from and to the
// system's 8-bit code page is up to the caller. Lengths in the two-character
// rule count UTF-8 characters (for ASCII, the only thing this program writes,
// that is the byte count).
namespace kr4720::channel_files {

inline constexpr int kChannelFileValueCount = 1 + kChannelCount * (kChannelFieldCount - 1); // 145

// Fields by their ordinal in the channel row; index 0 (信道号) is never part of
// a channel file and stays Null.
using ChannelFileRow = std::array<FieldValue, kChannelFieldCount>;

struct ChannelFileContents {
    std::string squelch; // the text of Combo8
    std::array<ChannelFileRow, kChannelCount> rows;

    bool operator==(const ChannelFileContents&) const = default;
};

// The outcome of reading a channel file: the contents ready to be stored, or
// the number of the first value the file lacks.
struct ChannelFileLoad {
    std::optional<ChannelFileContents> contents;
    int missingValue = 0;           // 1 to 145 when `contents` is empty
    std::size_t charactersUsed = 0; // how far the text was read

    bool ok() const { return contents.has_value(); }
    // A message naming the missing value, e.g. "文件不完整：缺少第 37 个值（应有 145 个值）".
    std::string errorText() const;
};

// The file text for a squelch text and rows 1 to 16. Every value is followed by
// ","; Null and empty fields contribute nothing.
std::string ChannelFileText(const ChannelFileContents& contents);

// Reads the first 145 values of a channel file and says what each field is to
// hold: frequencies (fields 1 and 4) in the "###.00000" form when they are
// numbers, DCS codes (fields 3 and 6) with "0" put in front of a two-character
// text, no value as Null. Values after the 145th are never looked at.
ChannelFileLoad ParseChannelFile(std::string_view fileText);

// Stores parsed contents into rows 1 to 16 (fields 1 to 9) and moves the cursor
// back to row 1. The squelch text is left to the caller (Combo8). Throws
// DataError when the table refuses a change; the rows stored before stay.
void ApplyChannelFile(const ChannelFileContents& contents, ChannelCursor& cursor);

// Fields 1 to 9 of rows 1 to 16 with the given squelch text. The cursor is left
// after row 16. Throws DataError when the table has fewer than 16 rows.
ChannelFileContents CollectChannelFile(ChannelCursor& cursor, std::string_view squelch);

// CollectChannelFile followed by ChannelFileText: the text a save writes.
std::string SaveText(ChannelCursor& cursor, std::string_view squelch);

} // namespace kr4720::channel_files
