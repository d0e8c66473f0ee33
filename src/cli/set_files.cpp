#include "cli/set_files.h"

#include "channel_data/channel_layout.h"
#include "channel_files/channel_file.h"
#include "channel_files/chirp_csv.h"
#include "cli/console.h"
#include "platform/text_files.h"
#include "radio_link/record_codec.h"
#include "text/visible_text.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QStringList>

namespace kr4720::cli {
namespace {

// Large enough for any file of these formats, small enough for memory.
constexpr qint64 kFileReadLimit = 16 * 1024 * 1024;

std::string_view viewOf(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString saveFailure(const QString& path, const QString& reason) {
    return reason.isEmpty() ? reason : QStringLiteral("无法保存文件 %1：%2").arg(path, reason);
}

} // namespace

std::optional<FileFormat> fileFormat(const QString& path, const QString& formatOption) {
    const QString name =
        formatOption.isEmpty() ? QFileInfo(path).suffix().toLower() : formatOption.toLower();
    if (name == QLatin1String("img")) {
        return FileFormat::Image;
    }
    if (name == QLatin1String("doc")) {
        return FileFormat::ChannelFile;
    }
    if (name == QLatin1String("csv")) {
        return FileFormat::Csv;
    }
    return std::nullopt;
}

QString formatName(FileFormat format) {
    switch (format) {
    case FileFormat::Image:
        return QStringLiteral("img");
    case FileFormat::ChannelFile:
        return QStringLiteral("doc");
    case FileFormat::Csv:
        return QStringLiteral("csv");
    case FileFormat::Table:
        break;
    }
    return QStringLiteral("table");
}

LoadedFile loadFile(const QString& path, FileFormat format, const DcsCodes& codes) {
    LoadedFile loaded;
    const auto refuse = [&](const QString& reason) {
        loaded.error = QStringLiteral("无法读取文件 %1：%2").arg(path, reason);
        return loaded;
    };
    const platform::FileStart file = platform::readFileStart(path, kFileReadLimit);
    if (!file.opened) {
        return refuse(file.error);
    }
    if (file.tooLarge) {
        return refuse(QStringLiteral("文件太大"));
    }
    switch (format) {
    case FileFormat::Image: {
        const radio_link::RadioImageLoad load =
            radio_link::ParseRadioImage(viewOf(file.bytes), codes);
        if (!load.ok()) {
            return refuse(fromStd(load.problem));
        }
        loaded.set = radio_link::DecodeRadioImage(*load.image, codes);
        loaded.hasSquelch = true;
        loaded.hasEmergency = true;
        break;
    }
    case FileFormat::ChannelFile: {
        const channel_files::ChannelFileLoad load =
            channel_files::ParseChannelFile(viewOf(file.bytes));
        if (!load.ok()) {
            return refuse(fromStd(load.errorText()));
        }
        if (load.moreValues) {
            loaded.warning = QStringLiteral("注意：%1 在第 145 个值之后还有内容，没有读入（多出的"
                                            "逗号、空格或空行会使信道错位，请检查文件）")
                                 .arg(path);
        }
        ChannelSetCursor cursor(loaded.set);
        channel_files::ApplyChannelFile(*load.contents, cursor);
        const QString squelch = QString::fromLocal8Bit(load.contents->squelch).trimmed();
        // An empty first value holds no level: the radio keeps its own, rather
        // than getting 0.
        loaded.hasSquelch = !squelch.isEmpty();
        if (loaded.hasSquelch) {
            loaded.set.squelch = squelch.toStdString();
        }
        break;
    }
    case FileFormat::Csv: {
        const channel_files::ChirpCsvImport load =
            channel_files::ParseChirpCsv(viewOf(file.bytes), codes);
        if (!load.ok()) {
            return refuse(fromStd(load.errorText()));
        }
        ChannelSetCursor cursor(loaded.set);
        channel_files::ApplyChirpCsvRows(*load.rows, cursor);
        loaded.noRowTaken = load.taken == 0;
        if (!load.skipped.empty() || !load.moved.empty() || load.leftOver > 0) {
            loaded.report = path + QStringLiteral("：") + fromStd(load.reportText());
        }
        const auto rowsOf = [](const std::vector<channel_files::CsvSkippedRow>& rows) {
            QJsonArray array;
            for (const channel_files::CsvSkippedRow& row : rows) {
                array.append(QJsonObject{{QStringLiteral("line"), row.line},
                                         {QStringLiteral("reason"), fromStd(row.reason)}});
            }
            return array;
        };
        loaded.skipped = rowsOf(load.skipped);
        loaded.moved = rowsOf(load.moved);
        break;
    }
    case FileFormat::Table:
        return refuse(QStringLiteral("不是文件格式"));
    }
    return loaded;
}

QString unencodableText(const radio_link::RadioImageEncoding& encoding) {
    const QString where = encoding.field == radio_link::kSquelchFieldName ? QString()
                          : encoding.channel > kChannelCount
                              ? QStringLiteral("紧急信道 ")
                              : QStringLiteral("信道 %1 ").arg(encoding.channel);
    return QStringLiteral("数据超出范围 ！！（%1%2 %3）")
        .arg(where, fromStd(encoding.field),
             fromStd(text::visibleText(encoding.value, text::kQuotedValueLength)));
}

QString checkSaveFile(const QString& path) {
    return saveFailure(path, platform::checkWholeFileSave(path));
}

QString fileText(const QString& path, FileFormat format, const ChannelSet& set,
                 const DcsCodes& codes, const radio_link::RadioImage* received, std::string& text) {
    switch (format) {
    case FileFormat::Image:
        if (received != nullptr) {
            text = radio_link::RadioImageText(*received);
        } else {
            const radio_link::RadioImageEncoding encoding =
                radio_link::EncodeRadioImage(set, codes);
            if (!encoding.ok()) {
                return unencodableText(encoding);
            }
            text = radio_link::RadioImageText(*encoding.image);
        }
        break;
    case FileFormat::ChannelFile: {
        ChannelSet copy = set;
        ChannelSetCursor cursor(copy);
        try {
            text = channel_files::SaveText(
                cursor, QString::fromStdString(set.squelch).toLocal8Bit().toStdString());
        } catch (const channel_files::ChannelFileValueError& error) {
            return saveFailure(path, fromStd(error.what()));
        }
        break;
    }
    case FileFormat::Csv:
        text = channel_files::ChirpCsvText(set);
        break;
    case FileFormat::Table:
        text = (tableText(set) + QLatin1Char('\n')).toStdString();
        break;
    }
    return {};
}

QString saveFile(const QString& path, FileFormat format, const ChannelSet& set,
                 const DcsCodes& codes, const radio_link::RadioImage* received) {
    std::string text;
    if (QString error = fileText(path, format, set, codes, received, text); !error.isEmpty()) {
        return error;
    }
    return saveFailure(path,
                       platform::saveWholeFile(
                           path, QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
}

namespace {

QString padded(const QString& text, int width) {
    return text + QString(std::max(0, width - cells(text)), QLatin1Char(' '));
}

} // namespace

QString tableText(const ChannelSet& set, bool hasSquelch, bool hasEmergency) {
    std::vector<QStringList> lines;
    QStringList header;
    for (const auto name : kChannelFieldNames) {
        header << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    lines.push_back(header);
    for (int row = 0; row < kChannelCount; ++row) {
        QStringList line{QString::number(row + 1)};
        for (int field = 1; field < kChannelFieldCount; ++field) {
            line << fromStd(std::string(
                textOf(set.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(field)])));
        }
        lines.push_back(line);
    }
    std::vector<int> widths(kChannelFieldCount, 0);
    for (const QStringList& line : lines) {
        for (int i = 0; i < line.size(); ++i) {
            widths[static_cast<std::size_t>(i)] =
                std::max(widths[static_cast<std::size_t>(i)], cells(line[i]));
        }
    }
    QString text;
    for (const QStringList& line : lines) {
        QString out;
        for (int i = 0; i < line.size(); ++i) {
            out += padded(line[i], widths[static_cast<std::size_t>(i)] + 2);
        }
        text += out.trimmed() + QLatin1Char('\n');
    }
    const auto emergency = [&](int field) {
        const auto name = kEmergencyFieldNames[static_cast<std::size_t>(field)];
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
               QLatin1Char(' ') +
               fromStd(std::string(textOf(set.emergency[static_cast<std::size_t>(field)])));
    };
    const QString missing = QStringLiteral("（文件中没有）");
    text += QStringLiteral("紧急信道  %1\n")
                .arg(hasEmergency ? QStringList{emergency(0), emergency(1), emergency(2)}.join(
                                        QStringLiteral("  "))
                                  : missing);
    text +=
        QStringLiteral("静噪级别  %1").arg(hasSquelch ? fromStd(set.squelch).trimmed() : missing);
    return text;
}

} // namespace kr4720::cli
