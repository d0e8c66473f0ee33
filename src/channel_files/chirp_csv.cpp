#include "channel_files/chirp_csv.h"

#include "channel_data/channel_edits.h"
#include "channel_files/line_breaks.h"
#include "text/number_text.h"
#include "text/visible_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>

namespace kr4720::channel_files {
namespace {

namespace f = channel_field;

constexpr std::string_view kLineEnd = "\r\n";

// The CHIRP columns, in the order of the header.
enum Column {
    kLocation,
    kName,
    kFrequency,
    kDuplex,
    kOffset,
    kTone,
    kRToneFreq,
    kCToneFreq,
    kDtcsCode,
    kDtcsPolarity,
    kRxDtcsCode,
    kCrossMode,
    kMode,
    kTStep,
    kSkip,
    kPower,
    kComment,
    kUrCall,
    kRpt1Call,
    kRpt2Call,
    kDvCode,
    kColumnCount
};
constexpr std::string_view kUnusedTone = "88.5";
constexpr std::string_view kUnusedCode = "023";
// A transmit frequency further away than this is a split, not an offset.
constexpr std::int64_t kLargestOffsetHz = 70'000'000;
constexpr std::size_t kReportedSkips = 10;

// ---------------------------------------------------------------- numbers

double valueOf(const FieldValue& field) {
    return text::leadingNumberValue(textOf(field));
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The frequency in whole hertz. Values no channel could hold are clamped so
// that the arithmetic below stays defined.
std::int64_t hertz(double megahertz) {
    if (const auto exact = text::scaledWholeNumber(megahertz, 6)) {
        return *exact;
    }
    if (std::isnan(megahertz)) {
        return 0;
    }
    return std::llround(std::clamp(megahertz, -1e9, 1e9) * 1e6);
}

// Whole units with `decimals` decimals: 146520000 with 6 gives "146.520000".
std::string fixedText(std::int64_t units, int decimals) {
    const bool negative = units < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    std::string fraction = std::to_string(magnitude % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    return (negative ? "-" : "") + std::to_string(magnitude / scale) + "." + fraction;
}

std::string megahertzText(std::int64_t hz) {
    return fixedText(hz, 6);
}

// A tone as CHIRP writes it, with one decimal ("67.0").
std::string toneText(double hertzValue) {
    const auto tenths = text::scaledWholeNumber(hertzValue, 1);
    return tenths && std::llabs(*tenths) < 100'000'000 ? fixedText(*tenths, 1)
                                                       : text::shortestNumberText(hertzValue);
}

// ---------------------------------------------------------------- export

// One direction's squelch signal; a tone wins over a code, as on the line.
struct Side {
    enum Kind { None, Tone, Code } kind = None;
    std::string value;
};

Side sideOf(const FieldValue& tone, const FieldValue& code) {
    if (const double value = valueOf(tone); value != 0) {
        return {Side::Tone, toneText(value)};
    }
    if (valueOf(code) != 0) {
        return {Side::Code, std::string(trimmed(textOf(code)))};
    }
    return {};
}

std::string_view crossName(Side::Kind kind) {
    return kind == Side::Tone ? "Tone" : kind == Side::Code ? "DTCS" : "";
}

void setToneColumns(std::array<std::string, kColumnCount>& columns, const Side& transmit,
                    const Side& receive) {
    columns[kRToneFreq] = kUnusedTone;
    columns[kCToneFreq] = kUnusedTone;
    columns[kDtcsCode] = kUnusedCode;
    columns[kRxDtcsCode] = kUnusedCode;
    columns[kDtcsPolarity] = "NN";
    columns[kCrossMode] = "Tone->Tone";
    if (transmit.kind == Side::None && receive.kind == Side::None) {
        return;
    }
    if (transmit.kind == Side::Tone && receive.kind == Side::None) {
        columns[kTone] = "Tone";
        columns[kRToneFreq] = transmit.value;
        return;
    }
    if (transmit.kind == receive.kind && transmit.value == receive.value) {
        const bool tone = transmit.kind == Side::Tone;
        columns[kTone] = tone ? "TSQL" : "DTCS";
        if (tone) {
            columns[kCToneFreq] = transmit.value;
        } else {
            columns[kDtcsCode] = transmit.value;
            columns[kRxDtcsCode] = transmit.value;
        }
        return;
    }
    columns[kTone] = "Cross";
    columns[kCrossMode] =
        std::string(crossName(transmit.kind)) + "->" + std::string(crossName(receive.kind));
    if (transmit.kind != Side::None) {
        columns[transmit.kind == Side::Tone ? kRToneFreq : kDtcsCode] = transmit.value;
    }
    if (receive.kind != Side::None) {
        columns[receive.kind == Side::Tone ? kCToneFreq : kRxDtcsCode] = receive.value;
    }
}

std::array<std::string, kColumnCount> exportColumns(int location, const ChannelRow& row) {
    std::array<std::string, kColumnCount> columns;
    columns[kLocation] = std::to_string(location);
    const std::int64_t receive = hertz(valueOf(row[f::kReceiveFrequency]));
    columns[kFrequency] = megahertzText(receive);

    std::vector<std::int64_t> frequencies{receive};
    if (valueOf(row[f::kTransmitFrequency]) == 0) {
        columns[kDuplex] = "off";
        columns[kOffset] = megahertzText(0);
    } else {
        const std::int64_t transmit = hertz(valueOf(row[f::kTransmitFrequency]));
        frequencies.push_back(transmit);
        const std::int64_t offset = transmit - receive;
        if (offset == 0) {
            columns[kOffset] = megahertzText(0);
        } else if (std::llabs(offset) <= kLargestOffsetHz) {
            columns[kDuplex] = offset > 0 ? "+" : "-";
            columns[kOffset] = megahertzText(std::llabs(offset));
        } else {
            columns[kDuplex] = "split";
            columns[kOffset] = megahertzText(transmit);
        }
    }

    setToneColumns(columns, sideOf(row[f::kTransmitTone], row[f::kTransmitCode]),
                   sideOf(row[f::kReceiveTone], row[f::kReceiveCode]));

    columns[kMode] = "FM";
    const auto onStep = [&frequencies](std::int64_t step) {
        return std::all_of(frequencies.begin(), frequencies.end(),
                           [step](std::int64_t hz) { return hz % step == 0; });
    };
    columns[kTStep] = onStep(6250) && !onStep(5000) ? "6.25" : "5.00";
    columns[kSkip] = textOf(row[f::kScan]) == "del" ? "S" : "";

    std::string comment;
    if (valueOf(row[f::kBusyLockout]) != 0) {
        comment = "BCL=" + std::string(trimmed(textOf(row[f::kBusyLockout])));
    }
    if (textOf(row[f::kBeatShift]) == "on") {
        comment += comment.empty() ? "beat=on" : " beat=on";
    }
    columns[kComment] = comment;
    return columns;
}

void appendValue(std::string& line, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (const char c : value) {
        line += c;
        if (c == '"') {
            line += '"';
        }
    }
    line += '"';
}

// ---------------------------------------------------------------- reading

struct CsvRecord {
    int line = 0;
    std::vector<std::string> values;
};

// Splits the text into records: commas between values, quoted values with
// doubled quotes and line breaks inside, blank lines and "#" lines skipped.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    // False at the end of the text or on an unclosed quote (then `error` is set).
    bool next(CsvRecord& record, std::string& error) {
        skipIgnoredLines();
        if (pos_ >= text_.size()) {
            return false;
        }
        record.line = line_;
        record.values.clear();
        while (true) {
            std::string value;
            if (!readValue(value)) {
                error = "引号没有结束";
                return false;
            }
            record.values.push_back(std::move(value));
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            endLine();
            return true;
        }
    }

    int line() const { return line_; }

    struct Comment {
        int line;
        std::size_t values; // as many as its commas allow, quotes not looked at
    };
    // The "#" lines skipped so far.
    const std::vector<Comment>& comments() const { return comments_; }

private:
    void skipIgnoredLines() {
        while (pos_ < text_.size()) {
            // A line ends at a carriage return, a line feed or both, as rows do.
            const auto end = std::min(text_.find_first_of("\r\n", pos_), text_.size());
            const std::string_view rest = text_.substr(pos_, end - pos_);
            // A row of bare commas, as spreadsheets leave below the list, is blank too.
            const bool blank = rest.find_first_not_of(" \t,") == std::string_view::npos;
            if (!blank && rest.front() != '#') {
                return;
            }
            if (!blank) {
                comments_.push_back(
                    {line_,
                     static_cast<std::size_t>(std::count(rest.begin(), rest.end(), ',')) + 1});
            }
            pos_ = end;
            endLine();
        }
    }

    bool atLineEnd() const {
        return pos_ >= text_.size() || text_[pos_] == '\n' || text_[pos_] == '\r';
    }

    void endLine() {
        if (pos_ < text_.size() && text_[pos_] == '\r') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        ++line_;
    }

    bool readValue(std::string& value) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
            ++pos_;
        }
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            pos_ = start;
            while (!atLineEnd() && text_[pos_] != ',') {
                value += text_[pos_++];
            }
            return true;
        }
        ++pos_;
        while (true) {
            if (pos_ >= text_.size()) {
                return false;
            }
            const char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {
                    value += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (breaksLine(c, text_[pos_ - 2])) {
                ++line_; // a line break inside the quotes, whichever way it is written
            }
            value += c;
        }
        // Anything between the closing quote and the next comma belongs to the value.
        while (!atLineEnd() && text_[pos_] != ',') {
            value += text_[pos_++];
        }
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::vector<Comment> comments_;
};

// A value quoted in a reason.
std::string shown(std::string_view value) {
    return "“" + text::visibleText(value, text::kQuotedValueLength) + "”";
}

std::optional<double> numberOf(std::string_view value) {
    if (!text::isDecimalNumberText(value)) {
        return std::nullopt;
    }
    return text::leadingNumberValue(value);
}

// Column names as spreadsheets may retype them: "frequency" is "Frequency".
struct IgnoringCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return lower(x) < lower(y); });
    }
    static char lower(char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
};
using Columns = std::map<std::string, std::size_t, IgnoringCase>;

// One data row of the file with its columns found by name.
class CsvRow {
public:
    CsvRow(const Columns& columns, const std::vector<std::string>& values)
        : columns_(columns), values_(values) {}

    std::string_view operator[](std::string_view name) const {
        const auto found = columns_.find(name);
        return found == columns_.end() ? std::string_view() : trimmed(values_[found->second]);
    }

private:
    const Columns& columns_;
    const std::vector<std::string>& values_;
};

struct Signal {
    std::string tone;
    std::string code;
};

// The tone of a column as the pick list shows it, or the reason it cannot be held.
std::optional<std::string> listTone(std::string_view value) {
    const auto number = numberOf(value);
    const auto tone = number ? FindCtcssTone(*number) : std::nullopt;
    return tone ? std::optional<std::string>(*tone) : std::nullopt;
}

// A code of the list with its leading zeros ("23" and "023" both give "023").
std::optional<std::string> listCode(std::string_view value, const DcsCodes& codes) {
    if (value.empty() || value.size() > 3 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::string code(3 - value.size(), '0');
    code += value;
    if (FindDcsIndex(codes, code) == 0) {
        return std::nullopt;
    }
    return code;
}

struct RowOutcome {
    std::optional<ChannelRow> row;
    std::string reason; // why it is skipped, or what was moved onto the raster
};

RowOutcome skip(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

// Reads a side's tone or code from its column; false with the reason when the
// radio has no such tone or code.
bool readSignal(const CsvRow& row, char kind, std::string_view column, const DcsCodes& codes,
                Signal& signal, std::string& reason) {
    if (kind == 'T') {
        const auto tone = listTone(row[column]);
        if (!tone) {
            reason = std::string(column) + shown(row[column]) + "不是本机的 39 个哑音之一";
            return false;
        }
        signal.tone = *tone;
    } else if (kind == 'D') {
        const auto code = listCode(row[column], codes);
        if (!code) {
            reason = std::string(column) + shown(row[column]) + "不是本机的 83 个数字哑音之一";
            return false;
        }
        signal.code = *code;
    }
    return true;
}

// 'T' for a tone, 'D' for a code, 0 for none, with the column each is taken from.
struct SignalUse {
    char transmit = 0;
    std::string_view transmitColumn;
    char receive = 0;
    std::string_view receiveColumn;
};

std::optional<SignalUse> crossUse(std::string_view mode) {
    const auto arrow = mode.find("->");
    if (arrow == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view from = mode.substr(0, arrow);
    const std::string_view to = mode.substr(arrow + 2);
    const auto kind = [](std::string_view name) -> std::optional<char> {
        if (name.empty()) {
            return char{0};
        }
        if (name == "Tone") {
            return 'T';
        }
        if (name == "DTCS") {
            return 'D';
        }
        return std::nullopt;
    };
    const auto tx = kind(from);
    const auto rx = kind(to);
    if (!tx || !rx || (*tx == 0 && *rx == 0)) {
        return std::nullopt;
    }
    return SignalUse{*tx, *tx == 'T' ? "rToneFreq" : "DtcsCode", *rx,
                     *rx == 'T' ? "cToneFreq" : "RxDtcsCode"};
}

RowOutcome channelOf(const CsvRow& row, const DcsCodes& codes) {
    const std::string_view frequencyValue = row["Frequency"];
    if (frequencyValue.empty()) {
        return skip("没有频率");
    }
    const auto receive = numberOf(frequencyValue);
    if (!receive || *receive == 0) {
        return skip("Frequency" + shown(frequencyValue) + "不是频率");
    }

    const std::string_view duplex = row["Duplex"];
    std::optional<double> transmit;
    if (duplex != "off") {
        double offset = 0;
        if (duplex == "+" || duplex == "-" || duplex == "split") {
            const auto value = numberOf(row["Offset"]);
            if (!value) {
                return skip("Offset" + shown(row["Offset"]) + "不是数字");
            }
            // CHIRP writes the direction into Duplex and never a negative
            // offset: "-" with -0.6 would be a guess either way.
            if (*value < 0) {
                return skip("Offset" + shown(row["Offset"]) + "不能为负数");
            }
            offset = *value;
        } else if (!duplex.empty()) {
            return skip("Duplex" + shown(duplex) + "无法识别");
        }
        transmit = duplex == "split" ? offset
                   : duplex == "-"   ? *receive - offset
                                     : *receive + offset;
    }
    const auto outOfRange = [](const char* name, double megahertz) {
        return skip(std::string(name) + " " + text::shortestNumberText(megahertz) +
                    " MHz 超出 130–500 MHz");
    };
    const auto receiveText = normalisedFrequency(*receive);
    if (!receiveText) {
        return outOfRange("接收频率", *receive);
    }
    std::optional<std::string> transmitText;
    if (transmit) {
        transmitText = normalisedFrequency(*transmit);
        if (!transmitText) {
            return outOfRange("发送频率", *transmit);
        }
    }
    // A frequency off the raster is stored moved, as a typed one is: the report
    // names it (a transmit frequency equal to the receive one only once).
    std::string moved;
    const auto noteMove = [&moved](const char* name, double megahertz, const std::string& stored) {
        if (std::abs(numberOf(stored).value_or(0) - megahertz) > 1e-7) {
            moved += (moved.empty() ? "" : "，") + std::string(name) + " " +
                     text::shortestNumberText(megahertz) + " MHz 存为 " + stored;
        }
    };
    noteMove("接收频率", *receive, *receiveText);
    if (transmit && *transmit != *receive) {
        noteMove("发送频率", *transmit, *transmitText);
    }

    const std::string_view mode = row["Mode"];
    if (!mode.empty() && mode != "FM" && mode != "NFM") {
        return skip("Mode" + shown(mode) + "不是 FM 或 NFM");
    }

    const std::string_view toneMode = row["Tone"];
    SignalUse use;
    if (toneMode == "Tone") {
        use = {'T', "rToneFreq", 0, {}};
    } else if (toneMode == "TSQL") {
        use = {'T', "cToneFreq", 'T', "cToneFreq"};
    } else if (toneMode == "DTCS") {
        use = {'D', "DtcsCode", 'D', "DtcsCode"};
    } else if (toneMode == "Cross") {
        const std::string_view crossMode =
            row["CrossMode"].empty() ? "Tone->Tone" : row["CrossMode"];
        const auto cross = crossUse(crossMode);
        if (!cross) {
            return skip("CrossMode" + shown(crossMode) + "无法识别");
        }
        use = *cross;
    } else if (toneMode == "TSQL-R" || toneMode == "DTCS-R") {
        return skip("本机不支持 Tone 模式" + shown(toneMode));
    } else if (!toneMode.empty()) {
        return skip("Tone" + shown(toneMode) + "无法识别");
    }
    Signal transmitSignal;
    Signal receiveSignal;
    std::string reason;
    if (!readSignal(row, use.transmit, use.transmitColumn, codes, transmitSignal, reason) ||
        !readSignal(row, use.receive, use.receiveColumn, codes, receiveSignal, reason)) {
        return skip(reason);
    }
    const std::string_view polarity = row["DtcsPolarity"];
    if ((use.transmit == 'D' || use.receive == 'D') && !polarity.empty() && polarity != "NN") {
        return skip("DtcsPolarity" + shown(polarity) + "不是 NN");
    }

    std::string busyLockout = "off";
    std::string beatShift = "off";
    std::string_view comment = row["Comment"];
    while (!comment.empty()) {
        const auto end = comment.find(' ');
        const std::string_view word = comment.substr(0, end);
        // Any setting the radio's record can carry, as an export writes it.
        if (word.size() == 5 && word.substr(0, 4) == "BCL=" && word[4] >= '1' && word[4] <= '9') {
            busyLockout = std::string(word.substr(4));
        } else if (word == "beat=on") {
            beatShift = "on";
        }
        comment = end == std::string_view::npos ? std::string_view() : comment.substr(end + 1);
    }

    ChannelRow channel;
    channel[f::kReceiveFrequency] = *receiveText;
    channel[f::kReceiveTone] = receiveSignal.tone;
    channel[f::kReceiveCode] = receiveSignal.code;
    channel[f::kTransmitFrequency] = transmitText.value_or(std::string());
    channel[f::kTransmitTone] = transmitSignal.tone;
    channel[f::kTransmitCode] = transmitSignal.code;
    channel[f::kScan] = row["Skip"] == "S" ? "del" : "add";
    channel[f::kBusyLockout] = busyLockout;
    channel[f::kBeatShift] = beatShift;
    return {channel, moved};
}

ChannelRow emptyChannel() {
    ChannelRow row;
    for (int field = 1; field < kChannelFieldCount; ++field) {
        row[static_cast<std::size_t>(field)] = std::string();
    }
    return row;
}

// The line of the first byte that no text file holds, or 0.
int lineOfControlByte(std::string_view text) {
    int line = 1;
    char previous = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (breaksLine(c, previous)) {
            ++line;
        } else if ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F) {
            return line;
        }
        previous = c;
    }
    return 0;
}

ChirpCsvImport refuse(int line, std::string problem) {
    ChirpCsvImport result;
    result.errorLine = line;
    result.error = std::move(problem);
    return result;
}

} // namespace

std::string ChirpCsvText(const ChannelSet& set) {
    std::string text(kChirpCsvHeader);
    text += kLineEnd;
    for (std::size_t row = 0; row < set.rows.size(); ++row) {
        if (valueOf(set.rows[row][f::kReceiveFrequency]) == 0) {
            continue;
        }
        const auto columns = exportColumns(static_cast<int>(row) + 1, set.rows[row]);
        for (std::size_t column = 0; column < columns.size(); ++column) {
            if (column > 0) {
                text += ',';
            }
            appendValue(text, columns[column]);
        }
        text += kLineEnd;
    }
    return text;
}

ChirpCsvImport ParseChirpCsv(std::string_view text, const DcsCodes& codes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    // Spreadsheets save "Unicode text" as UTF-16, which says nothing as bytes.
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        return refuse(1, "这是 UTF-16 文本，请另存为 UTF-8 编码的 CSV 文件");
    }
    // Old DOS and Windows tools end a text file with Ctrl-Z.
    if (text.ends_with('\x1A')) {
        text.remove_suffix(1);
    }
    if (const int line = lineOfControlByte(text); line != 0) {
        return refuse(line, "不是文本文件（含有控制字符）");
    }

    CsvReader reader(text);
    CsvRecord header;
    std::string error;
    if (!reader.next(header, error)) {
        return error.empty() ? refuse(1, "没有标题行") : refuse(header.line, error);
    }
    Columns columns;
    for (std::size_t i = 0; i < header.values.size(); ++i) {
        columns.emplace(std::string(trimmed(header.values[i])), i);
    }
    for (const char* required : {"Location", "Frequency"}) {
        if (columns.find(std::string_view(required)) == columns.end()) {
            // A spreadsheet set to another separator writes the header as one value.
            const std::string_view only =
                header.values.size() == 1 ? std::string_view(header.values[0]) : std::string_view();
            const char* separator = only.find(';') != std::string_view::npos    ? "分号"
                                    : only.find('\t') != std::string_view::npos ? "制表符"
                                                                                : nullptr;
            return refuse(header.line, std::string("标题行缺少 ") + required + " 列" +
                                           (separator ? std::string("（这一行用") + separator +
                                                            "分隔，CSV 文件要用逗号分隔）"
                                                      : std::string()));
        }
    }

    ChirpCsvImport result;
    std::array<ChannelRow, kChannelCount> rows;
    rows.fill(emptyChannel());
    CsvRecord record;
    while (reader.next(record, error)) {
        if (record.values.size() < header.values.size()) {
            return refuse(record.line, "只有 " + std::to_string(record.values.size()) +
                                           " 个值，标题行有 " +
                                           std::to_string(header.values.size()) + " 个");
        }
        // More values than names: a comma inside a value that was not quoted,
        // which moves every value after it into the next column.
        if (record.values.size() > header.values.size()) {
            return refuse(record.line,
                          "有 " + std::to_string(record.values.size()) + " 个值，标题行只有 " +
                              std::to_string(header.values.size()) + " 个（含逗号的值要加引号）");
        }
        RowOutcome outcome = channelOf(CsvRow(columns, record.values), codes);
        if (!outcome.row) {
            result.skipped.push_back({record.line, std::move(outcome.reason)});
        } else if (result.taken < kChannelCount) {
            rows[static_cast<std::size_t>(result.taken++)] = std::move(*outcome.row);
            if (!outcome.reason.empty()) {
                result.moved.push_back({record.line, std::move(outcome.reason)});
            }
        } else {
            ++result.leftOver;
        }
    }
    if (!error.empty()) {
        return refuse(record.line, error);
    }
    // A "#" line with a value for every column is a row someone put aside,
    // or a row whose first value starts with "#": either way the channels
    // after it move up, so it is named like any row not taken.
    for (const CsvReader::Comment& comment : reader.comments()) {
        if (comment.line > header.line && comment.values >= header.values.size()) {
            result.skipped.push_back({comment.line, "以 # 开头，当作注释，没有导入"});
        }
    }
    std::stable_sort(
        result.skipped.begin(), result.skipped.end(),
        [](const CsvSkippedRow& a, const CsvSkippedRow& b) { return a.line < b.line; });
    result.rows = rows;
    return result;
}

std::string ChirpCsvImport::reportText() const {
    const auto channels = [](int first, int last) {
        return "信道 " + std::to_string(first) +
               (first == last ? std::string() : "–" + std::to_string(last));
    };
    std::string report =
        taken > 0 ? "已导入 " + std::to_string(taken) + " 行，放入" + channels(1, taken) + "。"
                  : "没有可以导入的行。";
    if (taken > 0 && taken < kChannelCount) {
        report += "\n" + channels(taken + 1, kChannelCount) + " 已清空。";
    }
    const auto list = [&report](const std::string& title, const std::vector<CsvSkippedRow>& rows) {
        if (rows.empty()) {
            return;
        }
        report += "\n" + title + " " + std::to_string(rows.size()) + " 行：";
        for (std::size_t i = 0; i < rows.size() && i < kReportedSkips; ++i) {
            report += "\n第 " + std::to_string(rows[i].line) + " 行：" + rows[i].reason;
        }
        if (rows.size() > kReportedSkips) {
            report += "\n……另有 " + std::to_string(rows.size() - kReportedSkips) + " 行未列出";
        }
    };
    list("跳过", skipped);
    list("频率不在步进上、已改动的", moved);
    if (leftOver > 0) {
        report += "\n超出 16 个信道的 " + std::to_string(leftOver) + " 行没有导入。";
    }
    return report;
}

std::string ChirpCsvImport::errorText() const {
    return "第 " + std::to_string(errorLine) + " 行：" + error;
}

void ApplyChirpCsvRows(const std::array<ChannelRow, kChannelCount>& rows, ChannelCursor& cursor) {
    cursor.replaceRows(rows);
}

namespace {

// What a field means to the radio, or nothing for a text the radio has no
// meaning for ("DEL", "abc", "145,525"). Numbers in units of 10^-places.
std::optional<std::int64_t> numberMeaning(const FieldValue& field, int places) {
    if (trimmed(textOf(field)).empty()) {
        return 0;
    }
    if (!text::isWholeNumberText(textOf(field))) {
        return std::nullopt;
    }
    return text::scaledWholeNumber(valueOf(field), places);
}

std::optional<std::string> wordMeaning(const FieldValue& field, std::string_view blank,
                                       std::initializer_list<std::string_view> words) {
    const std::string_view text = trimmed(textOf(field));
    if (text.empty()) {
        return std::string(blank);
    }
    if (std::find(words.begin(), words.end(), textOf(field)) == words.end()) {
        return std::nullopt;
    }
    return std::string(text);
}

bool sameMeaning(const ChannelRow& a, const ChannelRow& b) {
    const auto same = [](const auto& x, const auto& y) { return x && y && *x == *y; };
    const auto squelch = [&](int tone, int code) {
        const auto toneA = numberMeaning(a[tone], 1);
        if (toneA != 0 || numberMeaning(b[tone], 1) != 0) {
            return same(toneA, numberMeaning(b[tone], 1)); // a tone wins over a code
        }
        return same(numberMeaning(a[code], 0), numberMeaning(b[code], 0));
    };
    const auto busyLockout = [](const FieldValue& field) {
        return textOf(field) == "off" ? std::optional<std::int64_t>(0) : numberMeaning(field, 0);
    };
    return same(numberMeaning(a[f::kReceiveFrequency], 5),
                numberMeaning(b[f::kReceiveFrequency], 5)) &&
           same(numberMeaning(a[f::kTransmitFrequency], 5),
                numberMeaning(b[f::kTransmitFrequency], 5)) &&
           squelch(f::kReceiveTone, f::kReceiveCode) &&
           squelch(f::kTransmitTone, f::kTransmitCode) &&
           same(wordMeaning(a[f::kScan], "add", {"add", "del"}),
                wordMeaning(b[f::kScan], "add", {"add", "del"})) &&
           same(wordMeaning(a[f::kBeatShift], "off", {"on", "off"}),
                wordMeaning(b[f::kBeatShift], "off", {"on", "off"})) &&
           same(busyLockout(a[f::kBusyLockout]), busyLockout(b[f::kBusyLockout]));
}

} // namespace

std::string CsvExportNote(const ChannelSet& set, const DcsCodes& codes) {
    std::string channels;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const ChannelRow& row = set.rows[static_cast<std::size_t>(channel - 1)];
        const std::string_view receive = textOf(row[f::kReceiveFrequency]);
        if (trimmed(receive).empty() ||
            (text::isWholeNumberText(receive) && valueOf(row[f::kReceiveFrequency]) == 0)) {
            continue; // an empty channel stays empty, whatever its other fields hold
        }
        ChannelSet alone;
        alone.rows[0] = row;
        const ChirpCsvImport back = ParseChirpCsv(ChirpCsvText(alone), codes);
        if (!back.ok() || back.taken != 1 || !sameMeaning(row, (*back.rows)[0])) {
            channels += (channels.empty() ? "" : "、") + std::to_string(channel);
        }
    }
    return channels.empty() ? std::string()
                            : "注意：CSV 文件不能照原样保存信道 " + channels +
                                  " 的设置，导入时它们会被跳过或改变";
}

} // namespace kr4720::channel_files
