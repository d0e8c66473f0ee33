#include "channel_data/channel_layout.h"
#include "channel_data/tone_tables.h"
#include "channel_files/channel_file.h"
#include "radio_link/radio_image.h"
#include "virtual_radio/virtual_radio.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kr4720;
using namespace std::chrono_literals;
using testing::HasSubstr;

namespace {

constexpr const char* kCsvHeader =
    "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
    "RxDtcsCode,CrossMode,Mode,TStep,Skip,Power,Comment,URCALL,RPT1CALL,RPT2CALL,DVCODE\r\n";

// Two channels: 146.52 simplex with a 88.5 Hz tone both ways, 145.5 split to
// 145.0 with DCS 023 both ways and scan off.
const std::string kCsv =
    std::string(kCsvHeader) +
    "1,,146.520000,,0.000000,TSQL,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,,,,,,,\r\n"
    "2,,145.500000,-,0.500000,DTCS,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,S,,,,,,\r\n";

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

// The program under test, started as a user would, with its own backups folder.
class CliEndToEnd : public testing::Test {
protected:
    CliRun cli(const QStringList& arguments, const QStringList& variables = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"),
                           folder.filePath(QStringLiteral("data")));
        for (const QString& variable : variables) {
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        }
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(KR4720_CLI), arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    VirtualRadio& radio(const std::function<void(VirtualRadio::Options&)>& adjust = {}) {
        VirtualRadio::Options options;
        options.pace = false;
        if (adjust) {
            adjust(options);
        }
        radios.push_back(std::make_unique<VirtualRadio>(std::move(options)));
        radios.back()->start();
        return *radios.back();
    }
    static QString port(const VirtualRadio& radio) {
        return QString::fromStdString(radio.devicePath());
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    QString file(const QString& name, const std::string& contents) const {
        QFile out(path(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(contents.data(), static_cast<qsizetype>(contents.size()));
        return path(name);
    }
    std::string contents(const QString& file) const {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll().toStdString() : std::string();
    }
    static std::string imageText(const VirtualRadio::Memory& memory) {
        radio_link::RadioImage image;
        std::copy(memory.begin(), memory.end(), image.begin());
        return radio_link::RadioImageText(image);
    }
    ChannelSet decoded(const VirtualRadio& radio) const {
        radio_link::RadioImage image;
        const auto memory = radio.memory();
        std::copy(memory.begin(), memory.end(), image.begin());
        return radio_link::DecodeRadioImage(image, codes);
    }
    QStringList backups() const {
        return QDir(path(QStringLiteral("data/kr4720/backups"))).entryList(QDir::Files);
    }

    DcsCodes codes = [] {
        DcsCodes c;
        c.fill();
        return c;
    }();
    QTemporaryDir folder;
    std::vector<std::unique_ptr<VirtualRadio>> radios;
};

std::string field(const ChannelSet& set, int channel, int index) {
    return std::string(
        textOf(set.rows[static_cast<std::size_t>(channel - 1)][static_cast<std::size_t>(index)]));
}

} // namespace

// Each format read from the radio is what the radio holds, as far as the
// format goes: verify against the same radio finds no difference. An image
// holds the records as received.
TEST_F(CliEndToEnd, EveryFormatReadFromTheRadioVerifiesAgainstIt) {
    VirtualRadio& r = radio();
    for (const char* name : {"radio.img", "radio.doc", "radio.csv"}) {
        SCOPED_TRACE(name);
        const CliRun read = cli({"read", "-p", port(r), "-o", path(name)});
        ASSERT_EQ(read.code, 0) << read.err.toStdString();
        const CliRun verify = cli({"verify", "-p", port(r), path(name)});
        EXPECT_EQ(verify.code, 0) << verify.out.toStdString() << verify.err.toStdString();
    }
    EXPECT_EQ(contents(path("radio.img")), imageText(VirtualRadio::demoMemory()));

    // Once the radio differs, verify lists the field.
    auto memory = r.memory();
    memory[0].replace(12, 4, "7006"); // channel 1 receives with 67.0 Hz
    r.setMemory(memory);
    const CliRun run = cli({"verify", "-p", port(r), path("radio.csv")});
    EXPECT_EQ(run.code, 1);
    EXPECT_THAT(run.out.toStdString(), HasSubstr("信道 1  收哑音  对讲机 67  文件 88.5"));
}

TEST_F(CliEndToEnd, AReadWithoutAFileIsATableOrJson) {
    VirtualRadio& r = radio();
    const CliRun table = cli({"read", "-p", port(r)});
    ASSERT_EQ(table.code, 0);
    EXPECT_THAT(table.out.toStdString(), HasSubstr("438.5"));
    EXPECT_THAT(table.out.toStdString(), HasSubstr("静噪级别  3"));

    const CliRun json = cli({"read", "-p", port(r), "--json", "-q"});
    ASSERT_EQ(json.code, 0);
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    const QJsonArray channels = object.value("channels").toArray();
    ASSERT_EQ(channels.size(), 16);
    EXPECT_EQ(channels[1].toObject().value("rxCode").toString(), "023");
    EXPECT_EQ(object.value("emergency").toObject().value("txFrequency").toString(), "460");
}

// A channel file has no emergency channel, a CSV file neither that nor the
// squelch level: the radio keeps its own; an image is written as it is.
TEST_F(CliEndToEnd, AWriteTakesWhatTheFileHoldsAndKeepsTheRestOfTheRadio) {
    channel_files::ChannelFileContents doc;
    doc.squelch = "7";
    doc.rows[0] = {std::nullopt, "147.00000", "", "", "147.60000", "", "", "add", "off", "off"};
    VirtualRadio::Memory image = VirtualRadio::demoMemory();
    // An emergency record of its own, with squelch level 5.
    image[16] = "00050050494000001000000000460000";
    struct Case {
        const char* name;
        std::string contents;
        const char* channel1;
        char squelch;
    } cases[] = {
        {"plan.csv", kCsv, "146.52", '3'},
        {"plan.doc", channel_files::ChannelFileText(doc), "147", '7'},
        {"plan.img", imageText(image), "438.5", '5'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualRadio& r = radio();
        const CliRun run = cli({"write", "-p", port(r), file(c.name, c.contents)});
        ASSERT_EQ(run.code, 0) << run.err.toStdString();
        const auto memory = r.memory();
        EXPECT_EQ(field(decoded(r), 1, channel_field::kReceiveFrequency), c.channel1);
        EXPECT_EQ(memory[16][3], c.squelch);
        if (std::string(c.name) == "plan.img") {
            EXPECT_EQ(memory, image);
        } else {
            // The emergency channel is the radio's own.
            EXPECT_EQ(memory[16].substr(4), VirtualRadio::demoMemory()[16].substr(4));
        }
    }
}

TEST_F(CliEndToEnd, OptionsSetWhatACsvFileLacks) {
    VirtualRadio& r = radio();
    const CliRun run = cli({"write", "-p", port(r), file("plan.csv", kCsv), "--squelch", "6",
                            "--emergency", "440,441,on"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const ChannelSet set = decoded(r);
    EXPECT_EQ(set.squelch, "6");
    EXPECT_EQ(textOf(set.emergency[emergency_field::kReceiveFrequency]), "440");
    EXPECT_EQ(textOf(set.emergency[emergency_field::kBeatShift]), "on");
}

// --no-backup writes an image without reading first.
TEST_F(CliEndToEnd, AWriteKeepsWhatTheRadioHeldAsABackupFirstUnlessToldNot) {
    VirtualRadio& r = radio();
    const CliRun run = cli({"write", "-p", port(r), file("plan.csv", kCsv)});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const QStringList files = backups();
    ASSERT_EQ(files.size(), 1);
    const QString label = port(r).mid(5).replace('/', '-');
    EXPECT_TRUE(files[0].endsWith("-" + label + "-before-write.img")) << files[0].toStdString();
    EXPECT_EQ(contents(path("data/kr4720/backups/" + files[0])),
              imageText(VirtualRadio::demoMemory()));

    VirtualRadio& other = radio();
    ASSERT_EQ(cli({"write", "--no-backup", "-p", port(other),
                   file("plan.img", imageText(VirtualRadio::demoMemory()))})
                  .code,
              0);
    EXPECT_EQ(other.readsAnswered(), 0);
    EXPECT_EQ(other.completeWrites(), 1);
    EXPECT_EQ(backups().size(), 1);
}

TEST_F(CliEndToEnd, JsonIsADocumentAlsoWhenTheRadioDoesNotAnswer) {
    VirtualRadio& r = radio([](auto& o) { o.noAnswer = true; });
    const QJsonObject json =
        QJsonDocument::fromJson(cli({"read", "--json", "-p", port(r)}).out.toUtf8()).object();
    EXPECT_EQ(json.value("exitCode").toInt(), 1);
    EXPECT_THAT(json.value("errors").toArray()[0].toString().toStdString(),
                HasSubstr("对讲机没有应答"));
}

TEST_F(CliEndToEnd, ALineClosedInTheMiddleOfATransferFails) {
    const QString image = file("plan.img", imageText(VirtualRadio::demoMemory()));
    const QStringList commands[] = {{"read", "-o", path("radio.img")},
                                    {"write", "--no-backup", image}};
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.join(' ').toStdString());
        VirtualRadio& r = radio([](auto& o) { o.closeAfterRecords = 5; });
        const CliRun run = cli(QStringList(command) << "-p" << port(r));
        EXPECT_EQ(run.code, 1);
        EXPECT_THAT(run.err.toStdString() + run.out.toStdString(),
                    HasSubstr("串行端口连接中断，数据传送没有完成"));
        EXPECT_EQ(r.completeWrites(), 0);
    }
    EXPECT_FALSE(QFile::exists(path("radio.img")));
}

TEST_F(CliEndToEnd, APortThatCannotBeOpenedIsStatusThreeWithTheReason) {
    const CliRun run = cli({"read", "-p", path("no-such-port")});
    EXPECT_EQ(run.code, 3);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("端口不存在"));
}

TEST_F(CliEndToEnd, AFileThatCannotBeReadIsNamedWithItsLineAndStatusTwo) {
    const struct {
        const char* name;
        std::string contents;
        const char* said;
    } cases[] = {
        {"short.img", "00000000000000000000000000000000\n", "short.img"},
        {"short.doc", "3,1,", "short.doc"},
        {"nofreq.csv", "Location,Name\r\n1,x\r\n", "nofreq.csv"},
        {"plan.txt", "", "plan.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun run = cli({"show", file(c.name, c.contents)});
        EXPECT_EQ(run.code, 2);
        EXPECT_THAT(run.err.toStdString(), HasSubstr(c.said));
    }
    EXPECT_EQ(cli({"read"}).code, 2);
    EXPECT_EQ(cli({"frobnicate"}).code, 2);
}

TEST_F(CliEndToEnd, FourRadiosAreWrittenAtOnceAndADeadOneDoesNotStopTheOthers) {
    QStringList arguments{"write"};
    for (int i = 0; i < 4; ++i) {
        arguments << "-p" << port(radio([i](auto& o) { o.noAnswer = i == 2; }));
    }
    arguments << file("plan.csv", kCsv) << "--verify";
    const CliRun run = cli(arguments);
    EXPECT_EQ(run.code, 1);
    const QStringList lines = run.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(radios[static_cast<std::size_t>(i)]->counters().writesStarted, i == 2 ? 0 : 1);
        EXPECT_THAT(lines[i].toStdString(), HasSubstr(i == 2 ? "失败：对讲机没有应答" : "完成"));
    }
}

TEST_F(CliEndToEnd, TheTraceHasEveryBurstWithTimeDirectionHexAndText) {
    VirtualRadio& r = radio();
    ASSERT_EQ(cli({"read", "-p", port(r), "--trace", path("line.trace"), "-q"}).code, 0);
    const std::string trace = contents(path("line.trace"));
    const QString label = port(r).mid(5).replace('/', '-');
    EXPECT_THAT(trace,
                testing::ContainsRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} .* -> 42  \\|B\\|"));
    EXPECT_THAT(trace, HasSubstr(" <- 30 30 30"));
    // Every byte of the reply is in it.
    std::size_t received = 0;
    for (std::size_t at = trace.find(" <- "); at != std::string::npos;
         at = trace.find(" <- ", at + 1)) {
        const auto bar = trace.find("  |", at);
        received += (bar - at - 4 + 1) / 3;
    }
    EXPECT_EQ(received, 18u * 32u);
}

TEST_F(CliEndToEnd, ConvertWarnsWhatTheTargetCannotHold) {
    const QString image = file("radio.img", imageText(VirtualRadio::demoMemory()));
    const CliRun toCsv = cli({"convert", image, path("out.csv")});
    ASSERT_EQ(toCsv.code, 0) << toCsv.err.toStdString();
    EXPECT_THAT(toCsv.err.toStdString(), HasSubstr("CSV 文件不能保存静噪级别和紧急信道"));
    const CliRun back = cli({"convert", path("out.csv"), path("back.img")});
    ASSERT_EQ(back.code, 0) << back.err.toStdString();
    EXPECT_THAT(back.err.toStdString(), HasSubstr("源文件没有紧急信道和静噪级别"));
    // The channels survive both ways.
    EXPECT_EQ(contents(path("back.img")).substr(0, 5 * 33), contents(image).substr(0, 5 * 33));
}

// COM1 and COM2 are among the ports "auto" looks at; only the one that
// answers is written.
TEST_F(CliEndToEnd, AutoWritesEveryRadioThatAnswers) {
    VirtualRadio& live = radio();
    VirtualRadio& dead = radio([](auto& o) { o.noAnswer = true; });
    const QStringList com{"KR4720_COM1=" + port(dead), "KR4720_COM2=" + port(live)};
    const CliRun detect = cli(QStringList{"detect", "--json"}, com);
    ASSERT_EQ(detect.code, 0) << detect.err.toStdString();
    const QJsonArray found =
        QJsonDocument::fromJson(detect.out.toUtf8()).object().value("radios").toArray();
    EXPECT_TRUE(found.contains(port(live)));
    EXPECT_FALSE(found.contains(port(dead)));

    const CliRun write = cli(QStringList{"write", "-p", "auto", file("plan.csv", kCsv)}, com);
    EXPECT_EQ(write.code, 0) << write.err.toStdString();
    EXPECT_EQ(live.completeWrites(), 1);
    EXPECT_EQ(dead.counters().writesStarted, 0);
}

TEST_F(CliEndToEnd, EveryCommandHasItsHelp) {
    for (const char* command : {"ports", "detect", "read", "write", "verify", "convert", "show"}) {
        SCOPED_TRACE(command);
        const CliRun run = cli({command, "--help"});
        EXPECT_EQ(run.code, 0);
        EXPECT_THAT(run.out.toStdString(), HasSubstr(std::string("用法：kr4720-cli ") + command));
    }
    EXPECT_EQ(cli({"--version"}).out.trimmed(), "kr4720-cli 1.1.0");
}
