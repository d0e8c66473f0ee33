#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/field_value.h"

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
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

// Why a text is not taken as a channel file.
enum class ChannelFileProblem {
    None,
    Incomplete,   // the text ends before its 145th value
    NotText,      // a NUL or another control byte: binary data, UTF-16 and the like
    Blank,        // nothing but blanks and line breaks where the values should be
    NotFrequency, // a frequency value that is neither empty nor a number
};

// The outcome of reading a channel file: the contents ready to be stored, or
// what is wrong with it.
struct ChannelFileLoad {
    std::optional<ChannelFileContents> contents;
    ChannelFileProblem problem = ChannelFileProblem::None;
    int missingValue = 0;           // 1 to 145 for Incomplete
    int badValue = 0;               // the value (1 to 145) for NotFrequency
    int badLine = 0;                // its line, from 1
    std::string badText;            // and its text
    std::size_t badByte = 0;        // the byte's offset for NotText
    std::size_t charactersUsed = 0; // how far the text was read
    // Whether values follow the 145th (blanks, line breaks, commas and a
    // Ctrl-Z end mark aside). They are not read, but mostly mean that an extra
    // comma, blank or empty line has moved the values before them.
    bool moreValues = false;

    bool ok() const { return contents.has_value(); }
    // What is wrong, in Chinese, e.g. "文件不完整：缺少第 37 个值（应有 145 个值）" or
    // "不是信道文件：第 3 行的第 20 个值（信道 3 的接收频率）“on”不是数字".
    std::string errorText() const;
};

// A value that no channel file can hold, with its place in Chinese, e.g.
// "第 3 个值（信道 1 的收哑音）里的双引号无法写入信道文件".
class ChannelFileValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file text for a squelch text and rows 1 to 16. Every value is followed by
// ","; Null and empty fields contribute nothing. A value holding a comma or a
// line break is put in double quotes, which the reader takes off again, so it
// cannot shift the values after it. Throws ChannelFileValueError for a value
// that would need quotes and holds a double quote itself (or starts with one).
std::string ChannelFileText(const ChannelFileContents& contents);

// Reads the first 145 values of a channel file and says what each field is to
// hold: frequencies (fields 1 and 4) in the "###.00000" form, DCS codes
// (fields 3 and 6) with "0" put in front of a two-character text, no value as
// Null. Values after the 145th are never read as values.
//
// A text that is not a channel file is refused before anything is stored:
// one with a NUL or another control byte anywhere (tab, CR, LF and the old
// end-of-file mark Ctrl-Z excepted), which also refuses UTF-16; one
// whose 145 values are nothing but blanks and line breaks; one whose frequency
// value is neither empty (blanks) nor a decimal number. Bytes from 0x80 up are
// taken as they are: the file may be in the system's 8-bit code page (GBK on a
// Chinese Windows), which no byte test can tell from UTF-8.
ChannelFileLoad ParseChannelFile(std::string_view fileText);

// Stores parsed contents into rows 1 to 16 (fields 1 to 9) in one change and
// moves the cursor back to row 1 (ChannelCursor::replaceRows). The squelch
// text is left to the caller (Combo8). Throws DataError when the table refuses.
void ApplyChannelFile(const ChannelFileContents& contents, ChannelCursor& cursor);

// Fields 1 to 9 of rows 1 to 16 with the given squelch text. The cursor ends on
// row 1. Throws DataError when the table has fewer than 16 rows.
ChannelFileContents CollectChannelFile(ChannelCursor& cursor, std::string_view squelch);

// The file of the rows as the grid shows them (ShownChannelRows), without
// moving: what a save writes when the database refuses the row being edited.
ChannelFileContents ShownChannelFile(const ChannelCursor& cursor, std::string_view squelch);

// CollectChannelFile followed by ChannelFileText: the text a save writes.
// Throws DataError or ChannelFileValueError as those do.
std::string SaveText(ChannelCursor& cursor, std::string_view squelch);

} // namespace kr4720::channel_files
