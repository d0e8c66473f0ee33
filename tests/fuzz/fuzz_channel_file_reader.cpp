// Arbitrary bytes as a channel file: the value reader and the whole-file parse
// must never crash, hang or read out of bounds, and must agree with each other.
// Written contents must read back as they were.

#include "channel_data/channel_set.h"
#include "channel_files/channel_file.h"
#include "channel_files/file_value_reader.h"
#include "text/number_text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <variant>

using namespace kr4720;
using namespace kr4720::channel_files;

namespace {

// A code field reads back as itself unless its text is a number in a form the
// reader would not have stored: "e3" gets its "0" and becomes "0e3", which then
// reads as the number 0. Only such garbage breaks the round trip.
bool codesReadBack(const ChannelFileContents& contents) {
    for (const ChannelFileRow& row : contents.rows) {
        for (const FieldValue& code :
             {row[channel_field::kReceiveCode], row[channel_field::kTransmitCode]}) {
            if (code && text::isDecimalNumberText(*code)) {
                const std::string canonical =
                    text::shortestNumberText(text::leadingNumberValue(*code));
                if ((canonical.size() == 2 ? "0" + canonical : canonical) != *code) {
                    return false;
                }
            }
        }
    }
    return true;
}

} // namespace

// The stack trace of the abort shows which invariant broke.
#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Every value moves forward; the first is text, numbers are finite.
    FileValueReader reader(text);
    std::size_t before = 0;
    std::size_t afterLastValue = 0;
    while (const auto value = NextFileValue(reader)) {
        CHECK(reader.position > before && reader.position <= size);
        CHECK(reader.valuesRead > 1 || std::holds_alternative<std::string>(*value));
        CHECK(!std::holds_alternative<double>(*value) || std::isfinite(std::get<double>(*value)));
        if (reader.valuesRead == kChannelFileValueCount) {
            afterLastValue = reader.position;
        }
        before = reader.position;
    }

    const ChannelFileLoad load = ParseChannelFile(text);
    CHECK(load.charactersUsed <= size);
    if (load.problem == ChannelFileProblem::NotText ||
        load.problem == ChannelFileProblem::NotFrequency) {
        CHECK(!load.ok() && !load.errorText().empty());
        return 0;
    }
    if (reader.valuesRead < kChannelFileValueCount) {
        CHECK(!load.ok() && load.missingValue == reader.valuesRead + 1);
        return 0;
    }
    if (load.problem == ChannelFileProblem::Blank) {
        CHECK(!load.ok() && load.charactersUsed == afterLastValue);
        return 0;
    }
    CHECK(load.ok() && load.charactersUsed == afterLastValue);
    const ChannelFileContents& contents = *load.contents;

    // Stored and collected again through a cursor, the contents are unchanged
    // (field 0, the channel number, stays Null).
    ChannelSet set;
    ChannelSetCursor cursor(set);
    ApplyChannelFile(contents, cursor);
    CHECK(cursor.currentRow() == 0);
    CHECK(CollectChannelFile(cursor, contents.squelch) == contents);

    // Written out, loaded contents make exactly 145 values again: a value
    // holding a comma or a line break is quoted, so nothing shifts. A quoted
    // value may still change on the way (quoted blanks make a blank file), so
    // the contents come back exactly only without quotes, and after one round
    // in any case.
    const std::string written = ChannelFileText(contents);
    const ChannelFileLoad reread = ParseChannelFile(written);
    CHECK(reread.charactersUsed == written.size());
    if (!reread.ok()) {
        CHECK(std::memchr(data, '"', size) && reread.problem == ChannelFileProblem::Blank);
        return 0;
    }
    CHECK(std::memchr(data, '"', size) || !codesReadBack(contents) || *reread.contents == contents);
    const ChannelFileLoad again = ParseChannelFile(ChannelFileText(*reread.contents));
    CHECK(again.ok());
    CHECK(!codesReadBack(*reread.contents) || *again.contents == *reread.contents);
    return 0;
}
