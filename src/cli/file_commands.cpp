#include "channel_data/channel_edits.h"
#include "channel_data/channel_layout.h"
#include "channel_data/tone_tables.h"
#include "channel_files/chirp_csv.h"
#include "cli/commands.h"
#include "radio_link/record_codec.h"
#include "text/number_text.h"

#include <QJsonArray>

#include <cmath>

namespace kr4720::cli {
namespace {

// An empty field is "" whatever the file kept it as; null is for a part the
// file does not have.
QJsonValue jsonOf(const FieldValue& value) {
    return QString::fromStdString(value.value_or(std::string()));
}

} // namespace

QJsonObject setJson(const ChannelSet& set, bool hasSquelch, bool hasEmergency) {
    static const char* const kChannelKeys[kChannelFieldCount] = {
        "channel", "rxFrequency", "rxTone", "rxCode", "txFrequency",
        "txTone",  "txCode",      "scan",   "bcl",    "beat"};
    QJsonArray channels;
    for (int row = 0; row < kChannelCount; ++row) {
        QJsonObject channel{{QStringLiteral("channel"), row + 1}};
        for (int field = 1; field < kChannelFieldCount; ++field) {
            channel.insert(
                QLatin1String(kChannelKeys[field]),
                jsonOf(set.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)]));
        }
        channels.append(channel);
    }
    const QJsonObject emergency{
        {QStringLiteral("rxFrequency"), jsonOf(set.emergency[emergency_field::kReceiveFrequency])},
        {QStringLiteral("txFrequency"), jsonOf(set.emergency[emergency_field::kTransmitFrequency])},
        {QStringLiteral("beat"), jsonOf(set.emergency[emergency_field::kBeatShift])}};
    return {
        {QStringLiteral("channels"), channels},
        {QStringLiteral("emergency"), hasEmergency ? QJsonValue(emergency) : QJsonValue()},
        {QStringLiteral("squelch"),
         hasSquelch ? QJsonValue(QString::fromStdString(set.squelch).trimmed()) : QJsonValue()}};
}

QString applySetOptions(const Options& options, ChannelSet& set) {
    if (options.squelch) {
        const QString level = options.squelch->trimmed();
        // Only 0 to 9: a full-width "７" from a Chinese input method is a
        // digit to Qt, but the radio's record would take it for 0.
        if (level.size() != 1 || level[0] < QLatin1Char('0') || level[0] > QLatin1Char('9')) {
            return QStringLiteral("--squelch 需要 0 到 9 的一个数字，不是 %1")
                .arg(*options.squelch);
        }
        set.squelch = level.toStdString();
    }
    if (options.emergency) {
        const QStringList parts = options.emergency->split(QLatin1Char(','));
        const QString beat =
            parts.size() == 3 ? parts[2].trimmed().toLower() : QStringLiteral("off");
        if (parts.size() < 2 || parts.size() > 3 ||
            (beat != QLatin1String("on") && beat != QLatin1String("off"))) {
            return QStringLiteral("--emergency 的格式是 收频率,发频率[,on|off]，不是 %1")
                .arg(*options.emergency);
        }
        for (int field :
             {emergency_field::kReceiveFrequency, emergency_field::kTransmitFrequency}) {
            bool number = false;
            const double frequency = parts[field].trimmed().toDouble(&number);
            if (!number || !std::isfinite(frequency)) {
                return QStringLiteral("--emergency：%1 不是频率").arg(parts[field]);
            }
            set.emergency[static_cast<std::size_t>(field)] =
                QString::number(frequency, 'f', 5).toStdString();
        }
        set.emergency[emergency_field::kBeatShift] = beat.toStdString();
    }
    return {};
}

std::optional<FileFormat> argumentFormat(const QString& path, const QString& formatOption,
                                         bool output, const Console& console) {
    if (output && path == QLatin1String("-") && formatOption.isEmpty()) {
        return FileFormat::Table;
    }
    const auto format = fileFormat(path, formatOption);
    if (!format && !formatOption.isEmpty()) {
        console.failure(
            QStringLiteral("--format：%1 不是文件格式，应为 img、doc 或 csv").arg(formatOption));
    } else if (!format) {
        console.failure(
            QStringLiteral(
                "无法识别文件 %1 的格式：扩展名应为 .img、.doc 或 .csv，或用 --format 指定")
                .arg(path));
    }
    // The JSON document is what goes to standard output then: a file there
    // would be dropped without a word.
    if (format && output && path == QLatin1String("-") && console.json()) {
        console.failure(QStringLiteral("--json：标准输出用于 JSON 结果，文件不能写到 -"));
        return std::nullopt;
    }
    return format;
}

std::optional<LoadedFile> loadArgument(const QString& path, const QString& formatOption,
                                       const Console& console) {
    const auto format = argumentFormat(path, formatOption, false, console);
    if (!format) {
        return std::nullopt;
    }
    DcsCodes codes;
    codes.fill();
    LoadedFile loaded = loadFile(path, *format, codes);
    if (!loaded.ok()) {
        console.failure(loaded.error);
        return std::nullopt;
    }
    if (!loaded.warning.isEmpty()) {
        console.warning(loaded.warning);
    }
    if (!loaded.report.isEmpty()) {
        console.note(loaded.report);
    }
    if (!loaded.skipped.isEmpty()) {
        console.attach(QStringLiteral("skippedRows"), loaded.skipped);
    }
    if (!loaded.moved.isEmpty()) {
        console.attach(QStringLiteral("movedRows"), loaded.moved);
    }
    return loaded;
}

bool putSet(const QString& out, FileFormat format, const ChannelSet& set, const Console& console,
            const radio_link::RadioImage* received) {
    DcsCodes codes;
    codes.fill();
    std::string text;
    QString error = out == QLatin1String("-") ? fileText(out, format, set, codes, received, text)
                                              : saveFile(out, format, set, codes, received);
    if (!error.isEmpty()) {
        console.failure(error);
        return false;
    }
    if (out == QLatin1String("-")) {
        console.data(QByteArray::fromStdString(text));
    }
    return true;
}

namespace {

// "A和B", "A" or "B", as each is there.
QString namesOf(bool first, const QString& firstName, bool second, const QString& secondName) {
    return first && second ? firstName + QStringLiteral("和") + secondName
           : first         ? firstName
                           : secondName;
}

} // namespace

void warnToneBesideCode(const ChannelSet& set, const Console& console) {
    namespace f = channel_field;
    QStringList sides;
    for (std::size_t row = 0; row < set.rows.size(); ++row) {
        const ChannelRow& channel = set.rows[row];
        if (radio_link::ToneHidesCode(channel[f::kReceiveTone], channel[f::kReceiveCode])) {
            sides << QStringLiteral("信道 %1 接收").arg(row + 1);
        }
        if (radio_link::ToneHidesCode(channel[f::kTransmitTone], channel[f::kTransmitCode])) {
            sides << QStringLiteral("信道 %1 发送").arg(row + 1);
        }
    }
    if (!sides.isEmpty()) {
        console.warning(
            QStringLiteral("注意：%1同时有哑音和数字哑音，对讲机只用哑音，数字哑音没有写入")
                .arg(sides.join(QStringLiteral("、"))));
    }
}

void warnOutsideTheGrid(const ChannelSet& set, const Console& console) {
    namespace f = channel_field;
    QStringList values;
    for (std::size_t row = 0; row < set.rows.size(); ++row) {
        const ChannelRow& channel = set.rows[row];
        // A channel without a receive frequency goes out empty.
        if (text::leadingNumberValue(textOf(channel[f::kReceiveFrequency])) == 0) {
            continue;
        }
        for (const int field :
             {f::kReceiveFrequency, f::kTransmitFrequency, f::kReceiveTone, f::kTransmitTone}) {
            const auto& value = channel[static_cast<std::size_t>(field)];
            const double number = text::leadingNumberValue(textOf(value));
            const bool tone = field == f::kReceiveTone || field == f::kTransmitTone;
            if (number != 0 && (tone ? !FindCtcssTone(number)
                                     : number < kLowestFrequency || number > kHighestFrequency)) {
                const auto name = kChannelFieldNames[static_cast<std::size_t>(field)];
                values << QStringLiteral("信道 %1 %2 %3")
                              .arg(row + 1)
                              .arg(QString::fromUtf8(name.data(),
                                                     static_cast<qsizetype>(name.size())),
                                   QString::fromStdString(std::string(textOf(value))));
            }
        }
    }
    if (!values.isEmpty()) {
        console.warning(
            QStringLiteral("注意：%1 超出 130–500 MHz 或不是 39 个哑音之一，照原样写入对讲机")
                .arg(values.join(QStringLiteral("、"))));
    }
}

void warnWhatIsLost(FileFormat target, const ChannelSet& set, bool hasSquelch, bool hasEmergency,
                    const Console& console) {
    // Neither an image nor a CSV line holds a code beside a tone.
    if (target == FileFormat::Image || target == FileFormat::Csv) {
        warnToneBesideCode(set, console);
    }
    const QString squelch = QStringLiteral("静噪级别");
    const QString emergency = QStringLiteral("紧急信道");
    if (target == FileFormat::Csv) {
        DcsCodes codes;
        codes.fill();
        if (const std::string note = channel_files::CsvExportNote(set, codes); !note.empty()) {
            console.warning(QString::fromStdString(note));
        }
    }
    if (target == FileFormat::Csv && (hasSquelch || hasEmergency)) {
        console.warning(
            QStringLiteral("注意：CSV 文件不能保存%1，%2没有写入文件")
                .arg(namesOf(hasSquelch, squelch, hasEmergency, emergency),
                     hasSquelch && hasEmergency ? QStringLiteral("它们") : QStringLiteral("它")));
    } else if (target == FileFormat::ChannelFile) {
        if (hasEmergency) {
            console.warning(QStringLiteral("注意：信道文件不能保存紧急信道，它没有写入文件"));
        }
        // A channel file always holds a squelch level, and a write of it sets the radio's.
        if (!hasSquelch) {
            console.warning(QStringLiteral(
                "注意：源文件没有静噪级别，信道文件中用新信道组的默认值；可用 --squelch 指定"));
        }
    } else if (target == FileFormat::Image && (!hasSquelch || !hasEmergency)) {
        console.warning(
            QStringLiteral("注意：源文件没有%1，镜像文件中用新信道组的默认值；可用 --squelch 和 "
                           "--emergency 指定")
                .arg(namesOf(!hasEmergency, emergency, !hasSquelch, squelch)));
    }
}

int runShow(const Options& options, const Console& console) {
    if (options.files.size() != 1) {
        console.failure(QStringLiteral("用法：kr4720-cli show FILE"));
        return kBadUsage;
    }
    const auto loaded = loadArgument(options.files[0], options.format, console);
    if (!loaded) {
        return kBadUsage;
    }
    console.result(tableText(loaded->set, loaded->hasSquelch, loaded->hasEmergency));
    console.document(setJson(loaded->set, loaded->hasSquelch, loaded->hasEmergency));
    return kOk;
}

int runConvert(const Options& options, const Console& console) {
    if (options.files.size() != 2) {
        console.failure(QStringLiteral("用法：kr4720-cli convert IN OUT"));
        return kBadUsage;
    }
    const QString& out = options.files[1];
    const auto target = argumentFormat(out, options.format, true, console);
    if (!target) {
        return kBadUsage;
    }
    auto loaded = loadArgument(options.files[0], QString(), console);
    if (!loaded) {
        return kBadUsage;
    }
    // Such a CSV would replace the output with an empty set: surely the wrong file.
    if (loaded->noRowTaken && *target != FileFormat::Table) {
        console.failure(QStringLiteral("无法转换文件 %1：没有可以导入的行，%2 没有写入")
                            .arg(options.files[0], out));
        return kBadUsage;
    }
    if (const QString error = applySetOptions(options, loaded->set); !error.isEmpty()) {
        console.failure(error);
        return kBadUsage;
    }
    const bool hasSquelch = loaded->hasSquelch || options.squelch.has_value();
    const bool hasEmergency = loaded->hasEmergency || options.emergency.has_value();
    if (*target == FileFormat::Table) {
        console.result(tableText(loaded->set, hasSquelch, hasEmergency));
        console.document(setJson(loaded->set, hasSquelch, hasEmergency));
        return kOk;
    }
    if (!putSet(out, *target, loaded->set, console)) {
        return kBadUsage;
    }
    warnWhatIsLost(*target, loaded->set, hasSquelch, hasEmergency, console);
    console.document(QJsonObject{{QStringLiteral("input"), options.files[0]},
                                 {QStringLiteral("output"), out},
                                 {QStringLiteral("format"), formatName(*target)}});
    return kOk;
}

} // namespace kr4720::cli
