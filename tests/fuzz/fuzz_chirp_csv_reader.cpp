// Arbitrary bytes as a CHIRP CSV file: the reader must never crash, hang or
// read out of bounds; whatever it takes must be channels the radio can hold,
// and written out and read again they must come back unchanged.

#include "channel_data/channel_edits.h"
#include "channel_files/chirp_csv.h"
#include "support/dcs_codes.h"
#include "text/number_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace kr4720;
using namespace kr4720::channel_files;

namespace {

bool inList(const FieldValue& value, bool tone) {
    if (value == "") {
        return true;
    }
    if (tone) {
        return std::find(kCtcssTones.begin(), kCtcssTones.end(), *value) != kCtcssTones.end();
    }
    return std::find(kDcsCodeList.begin(), kDcsCodeList.end(), *value) != kDcsCodeList.end();
}

// A frequency as a typed one is stored: in range, on the raster, five decimals.
bool storedFrequency(const FieldValue& value) {
    return value && normalisedFrequency(text::leadingNumberValue(*value)) == *value;
}

} // namespace

// The stack trace of the abort shows which invariant broke.
#define CHECK(condition) ((condition) ? void() : std::abort())

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ChirpCsvImport imported = ParseChirpCsv(text, filledDcsCodes());
    if (!imported.ok()) {
        CHECK(imported.errorLine >= 1 && !imported.error.empty());
        CHECK(imported.taken == 0 && imported.skipped.empty());
        return 0;
    }
    CHECK(imported.taken >= 0 && imported.taken <= kChannelCount);
    CHECK(imported.leftOver == 0 || imported.taken == kChannelCount);
    CHECK(!imported.reportText().empty());
    int lastLine = 0;
    for (const CsvSkippedRow& skipped : imported.skipped) {
        CHECK(skipped.line > lastLine && !skipped.reason.empty());
        lastLine = skipped.line;
    }

    ChannelSet set;
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelRow& row = (*imported.rows)[static_cast<std::size_t>(i)];
        CHECK(!row[channel_field::kNumber]);
        if (i >= imported.taken) {
            for (int field = 1; field < kChannelFieldCount; ++field) {
                CHECK(row[static_cast<std::size_t>(field)] == "");
            }
            continue;
        }
        namespace f = channel_field;
        CHECK(storedFrequency(row[f::kReceiveFrequency]));
        CHECK(row[f::kTransmitFrequency] == "" || storedFrequency(row[f::kTransmitFrequency]));
        CHECK(inList(row[f::kReceiveTone], true) && inList(row[f::kTransmitTone], true));
        CHECK(inList(row[f::kReceiveCode], false) && inList(row[f::kTransmitCode], false));
        CHECK(row[f::kReceiveTone] == "" || row[f::kReceiveCode] == "");
        CHECK(row[f::kTransmitTone] == "" || row[f::kTransmitCode] == "");
        CHECK(row[f::kScan] == "add" || row[f::kScan] == "del");
        const std::string_view bcl = textOf(row[f::kBusyLockout]);
        CHECK(bcl == "off" || (bcl.size() == 1 && bcl[0] >= '1' && bcl[0] <= '9'));
        CHECK(row[f::kBeatShift] == "off" || row[f::kBeatShift] == "on");
        for (int field = 1; field < kChannelFieldCount; ++field) {
            set.rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(field)] =
                row[static_cast<std::size_t>(field)];
        }
    }

    // What was taken is written and read back unchanged.
    const ChirpCsvImport again = ParseChirpCsv(ChirpCsvText(set), filledDcsCodes());
    CHECK(again.ok() && again.skipped.empty() && again.leftOver == 0);
    CHECK(again.taken == imported.taken);
    CHECK(*again.rows == *imported.rows);
    // Nor does its export find a channel it cannot bring back.
    CHECK(CsvExportNote(set, filledDcsCodes()).empty());
    return 0;
}
