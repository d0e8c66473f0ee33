#include "channel_files/channel_file.h"
#include "platform/backups.h"
#include "radio_link/radio_image.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"
#include "virtual_radio/virtual_radio.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kr4720;
using namespace std::chrono_literals;
using radio_link::RadioImageText;
using testing::ContainsRegex;
using testing::HasSubstr;
using testing::Not;

namespace {

// Two channels: 146.52 simplex with a 88.5 Hz tone both ways, 145.5 split to
// 145.0 with DCS 023 both ways and scan off.
const std::string kCsv =
    "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
    "RxDtcsCode,CrossMode,Mode,TStep,Skip,Power,Comment,URCALL,RPT1CALL,RPT2CALL,DVCODE\r\n"
    "1,,146.520000,,0.000000,TSQL,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,,,,,,,\r\n"
    "2,,145.500000,-,0.500000,DTCS,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,S,,,,,,\r\n";

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
    QJsonObject json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
};

// The program under test, started as a user would, with its own backups folder.
class CliEndToEnd : public testing::Test {
protected:
    // kr4720-cli inherits these.
    CliEndToEnd() { qputenv("XDG_DATA_HOME", QFile::encodeName(folder.file("data"))); }
    ~CliEndToEnd() override {
        for (const char* name : {"XDG_DATA_HOME", "KR4720_COM1", "KR4720_COM2"}) {
            qunsetenv(name);
        }
    }
    CliRun cli(const QStringList& arguments, const QString& program = KR4720_CLI) const {
        QProcess process;
        process.start(program, arguments);
        process.waitForFinished(60000);
        for (const auto& r : radios) {
            r->waitForWritesSettled(std::chrono::seconds(5));
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }
    VirtualRadio& radio(const std::function<void(VirtualRadio::Options&)>& adjust = [](auto&) {}) {
        VirtualRadio::Options options;
        options.pace = false;
        adjust(options);
        radios.push_back(std::make_unique<VirtualRadio>(std::move(options)));
        radios.back()->start();
        return *radios.back();
    }
    static QString port(const VirtualRadio& r) { return QString::fromStdString(r.devicePath()); }
    QString file(const QString& name, const std::string& contents) const {
        folder.write(name, QByteArray::fromStdString(contents));
        return folder.file(name);
    }
    QStringList backups(const QString& pattern = "*") const {
        return QDir(folder.file("data/kr4720/backups")).entryList({pattern}, QDir::Files);
    }

    TempFolder folder;
    std::vector<std::unique_ptr<VirtualRadio>> radios;
};

} // namespace

// Each format read from the radio is what the radio holds, as far as the
// format goes: verify against the same radio finds no difference. An image
// holds the records as received. Converting warns what the target cannot hold.
TEST_F(CliEndToEnd, EveryFormatReadFromTheRadioVerifiesAgainstItAndConverts) {
    VirtualRadio& r = radio();
    for (const char* name : {"radio.img", "radio.doc", "radio.csv"}) {
        SCOPED_TRACE(name);
        const CliRun read = cli({"read", "-p", port(r), "-o", folder.file(name)});
        ASSERT_EQ(read.code, 0) << read.err;
        // Only an image holds all the radio does; the others say what they lose.
        EXPECT_EQ(read.err.find("注意") == std::string::npos, std::string(name) == "radio.img");
        const CliRun verify = cli({"verify", "-p", port(r), folder.file(name)});
        EXPECT_EQ(verify.code, 0) << verify.out << verify.err;
    }
    EXPECT_EQ(folder.read("radio.img").toStdString(), RadioImageText(VirtualRadio::demoMemory()));
    const CliRun toCsv = cli({"convert", folder.file("radio.img"), folder.file("out.csv")});
    ASSERT_EQ(toCsv.code, 0) << toCsv.err;
    EXPECT_THAT(toCsv.err, HasSubstr("CSV 文件不能保存静噪级别和紧急信道"));
    EXPECT_THAT(toCsv.err, Not(HasSubstr("照原样")));
    EXPECT_THAT(
        cli({"convert", folder.file("out.csv"), folder.file("s.csv"), "--squelch", "4"}).err,
        HasSubstr("CSV 文件不能保存静噪级别，它没有写入文件"));
    QByteArray odd = folder.read("radio.img");
    odd.replace(12, 4, "8006"); // channel 1 receives 68.0 Hz, not one of CHIRP's tones
    folder.write("odd.img", odd);
    // -q keeps progress quiet, not what the file loses; --json carries it too.
    const CliRun oddCsv =
        cli({"convert", "-q", "--json", folder.file("odd.img"), folder.file("odd.csv")});
    EXPECT_THAT(oddCsv.err, HasSubstr("CSV 文件不能照原样保存信道 1 的设置"));
    EXPECT_THAT(oddCsv.out,
                HasSubstr("\"warnings\": [\n        \"注意：CSV 文件不能照原样保存信道 1"));
    const CliRun back =
        cli({"convert", folder.file("out.csv"), folder.file("back.img"), "--emergency", "440,441"});
    EXPECT_THAT(back.err, HasSubstr("源文件没有静噪级别，"));
    const CliRun fromDoc = cli({"convert", folder.file("radio.doc"), folder.file("doc.img")});
    EXPECT_THAT(fromDoc.err, HasSubstr("源文件没有紧急信道，"));
    // The channels survive both ways.
    EXPECT_EQ(folder.read("back.img").left(5 * 33), folder.read("radio.img").left(5 * 33));

    // Without a file: a table or JSON. The trace has every burst with its
    // time, direction, hex and text.
    const CliRun table = cli({"read", "-p", port(r), "-o-"});
    ASSERT_EQ(table.code, 0);
    EXPECT_THAT(table.err, testing::MatchesRegex("pts-[0-9]+: 正在读取\n")); // a line per step
    EXPECT_THAT(table.out, HasSubstr("\n1       438.5      88.5                438.5      88.5  "));
    EXPECT_THAT(table.out, HasSubstr("紧急信道  收频率 450  发频率 460  拍频 off\n静噪级别  3"));
    // The standard descriptors closed: the table fails, and does not go into the trace.
    const CliRun closed = cli({"-c", R"(exec "$0" read -p "$1" --trace "$2" <&- >&- 2>&-)",
                               KR4720_CLI, port(r), folder.file("t0")},
                              "/bin/sh");
    EXPECT_EQ(closed.code, 2);
    EXPECT_THAT(folder.read("t0").toStdString(), Not(HasSubstr("静噪级别")));
    const CliRun json = cli({"read", "-p", port(r), "--json", "-q", "--trace", folder.file("t")});
    ASSERT_EQ(json.code, 0);
    const QJsonArray rows = json.json().value("channels").toArray();
    EXPECT_EQ(rows[1]["rxFrequency"].toString() + rows[1]["rxCode"].toString(), "439.125023");
    EXPECT_EQ(rows[15]["channel"].toInt(), 16);
    EXPECT_EQ(json.json().value("emergency").toObject().value("txFrequency").toString(), "460");
    const std::string trace = folder.read("t").toStdString();
    EXPECT_THAT(trace,
                testing::ContainsRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} .* -> 42  \\|B\\|"));
    std::size_t received = 0;
    for (auto at = trace.find(" <- "); at != std::string::npos; at = trace.find(" <- ", at + 1)) {
        received += (trace.find("  |", at) - at - 4 + 1) / 3;
    }
    EXPECT_EQ(received, 18u * 32u);

    // Once the radio differs, verify lists the field.
    auto memory = r.memory();
    memory[0].replace(12, 4, "7006");                // channel 1 receives with 67.0 Hz
    memory[15].replace(4, 12, "005035397006");       // channel 16 receives 438.6 MHz with 67.0 Hz
    memory[16] = "00050050594000001000000000460000"; // squelch 5, receive 451, beat shift on
    r.setMemory(memory);
    const CliRun run = cli({"verify", "-p", port(r), folder.file("radio.img")});
    EXPECT_EQ(run.code, 1);
    EXPECT_THAT(run.out,
                testing::AllOf(HasSubstr("信道 16  接收频率  对讲机 438.6  文件 (空)"),
                               HasSubstr("信道 1  收哑音  对讲机 67  文件 88.5"),
                               ContainsRegex("\n[^ ]+  紧急信道收频率  对讲机 451  文件 450"),
                               ContainsRegex("\n[^ ]+  紧急信道拍频  对讲机 on  文件 off"),
                               ContainsRegex("\n[^ ]+  静噪级别  对讲机 5  文件 3")));
    const auto verified = cli({"verify", "--json", "-p", port(r), folder.file("radio.csv")}).json();
    EXPECT_FALSE(verified["ports"][0]["ok"].toBool(true));
}

// A channel file has no emergency channel, a CSV file neither that nor the
// squelch level: the radio keeps its own unless options set them. What the
// radio held is kept as a backup first.
TEST_F(CliEndToEnd, AWriteTakesWhatTheFileAndOptionsHoldAndKeepsTheRestOfTheRadio) {
    channel_files::ChannelFileContents doc;
    doc.squelch = "7";
    doc.rows[0] = {std::nullopt, "147.00000", "", "", "147.60000", "", "", "add", "off", "off"};
    const std::string demo = VirtualRadio::demoMemory()[16];
    // Over a year old, and a year apart from the next backup at most.
    const QDateTime now = QDateTime::currentDateTime();
    const QString yearsOld = platform::saveBackup("read", "", now.addDays(-400)).path;
    ASSERT_TRUE(platform::saveBackup("read", "", now.addDays(-200)).ok());
    const struct {
        QStringList arguments;
        const char* receive1; // channel 1's receive frequency as sent
        std::string emergency;
    } cases[] = {
        // 146.52 - 45.05 = 101.47 -> 10147000
        {{file("plan.csv", kCsv)}, "00701410", demo},
        // 147 - 45.05 = 101.95 -> 10195000; squelch 7
        {{file("plan.doc", channel_files::ChannelFileText(doc))},
         "00501910",
         "0007" + demo.substr(4)},
        // Squelch 6; 440 - 45.05 = 394.95 -> 00504939; beat on; 441 -> 00001044.
        {{folder.file("plan.csv"), "--squelch", "6", "--emergency", "440,441,on"},
         "00701410",
         "00060050493900001000000010440000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        VirtualRadio& r = radio();
        const CliRun run = cli(QStringList{"write", "-p", port(r)} + c.arguments);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_THAT(run.err, HasSubstr(": 正在写入\n")); // a plain line, not a bar, on a pipe
        EXPECT_EQ(r.memory()[0].substr(4, 8), c.receive1);
        EXPECT_EQ(r.memory()[16], c.emergency);
        const QStringList kept =
            backups("*-" + port(r).mid(5).replace('/', '-') + "-before-write.img");
        EXPECT_EQ(folder.read("data/kr4720/backups/" + kept.value(0)).toStdString(),
                  RadioImageText(VirtualRadio::demoMemory()));
    }

    // An image is written as it is; with --no-backup without reading first.
    VirtualRadio::Memory image = VirtualRadio::demoMemory();
    image[2] = std::string(32, '0');
    image[16] = "00050050494000001000000000460000"; // squelch 5, an emergency channel of its own
    VirtualRadio& r = radio();
    const CliRun run = cli(
        {"write", "--no-backup", "--json", "-p", port(r), file("plan.img", RadioImageText(image))});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.json()["ports"][0]["written"].toBool());
    EXPECT_EQ(r.memory(), image);
    EXPECT_EQ(r.readsAnswered(), 0);
    EXPECT_EQ(backups().size(), 4);
    EXPECT_FALSE(QFile::exists(yearsOld)); // a write keeps a year of backups
    // A channel file's write reads the radio's emergency channel all the same.
    ASSERT_EQ(cli({"write", "--no-backup", "-p", port(r), folder.file("plan.doc")}).code, 0);
    EXPECT_EQ(r.memory()[16], "0007" + image[16].substr(4));
    // A trace whose reader stops reading stops too, and holds up no record.
    ASSERT_EQ(::mkfifo(folder.file("fifo").toLocal8Bit().constData(), 0600), 0);
    const int reader = ::open(folder.file("fifo").toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GT(::fcntl(reader, F_SETPIPE_SZ, 4096), 0);
    const CliRun stalled = cli({"write", "--no-backup", "--verify", "-p", port(r), "--trace",
                                folder.file("fifo"), folder.file("plan.img")});
    ::close(reader);
    EXPECT_THAT(stalled.err, HasSubstr("记录不完整"));
    EXPECT_EQ(std::pair(stalled.code, r.memory()), std::pair(0, image));
    // An emergency channel that the radio holds and no record can carry is named.
    image[16] = "00030504940000000000000000460000";
    file("odd.img", RadioImageText(image));
    VirtualRadio& odd =
        radio([&](auto& o) { o.memoryFile = folder.file("odd.img").toStdString(); });
    const CliRun kept = cli({"write", "--no-backup", "-p", port(odd), folder.file("plan.doc")});
    EXPECT_THAT(kept.err, HasSubstr(": 紧急信道：收频率 54.45405\n"));
    EXPECT_EQ(kept.code, 1); // the radio's value, not the file's

    // Where no backup can be kept, nothing is written.
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.file("plan.csv"))); // a file
    const CliRun refused = cli({"write", "-p", port(r), folder.file("plan.csv")});
    EXPECT_THAT(refused.out, testing::EndsWith("，没有写入\n"));
    EXPECT_EQ(r.counters().writesStarted, 3);
}

// Status 0 with help or the version on standard output; 1 for a transfer that
// fails (a read whose line goes in the middle saves no file, a write whose
// read breaks off sends nothing), 2 for a wrong command line or a file that
// cannot be read, 3 for a port that cannot be opened, with the reason on
// standard error.
TEST_F(CliEndToEnd, EveryCallEndsWithItsStatusAndSaysWhy) {
    QSerialPort held(port(radio())); // as the window holds its port
    ASSERT_TRUE(held.open(QIODevice::ReadWrite));
    qputenv("KR4720_COM1", "/dev/" + held.portName().toLocal8Bit()); // a radio may be on it
    // Opened, a FIFO with no writer would hold the program in open() for good.
    ASSERT_EQ(::mkfifo(folder.file("fifo.img").toLocal8Bit().constData(), 0600), 0);
    QFile::link(folder.file("loop.doc"), folder.file("loop.doc"));
    std::vector<std::tuple<QStringList, int, std::string>> cases = {
        {{"show", file("short.img", std::string(32, '0') + "\n")}, 2, "short.img"},
        {{"show", file("short.doc", "3,1,")}, 2, "short.doc"},
        {{"show", file("nofreq.csv", "Location,Name\r\n1,x\r\n")}, 2, "nofreq.csv"},
        {{"show", file("plan.txt", "")}, 2, "plan.txt"},
        {{"show", file("big.csv", std::string(16 << 20, '#') + "\n")}, 2, "big.csv：文件太大"},
        {{"show", folder.file("fifo.img")}, 2, "fifo.img：这不是一个普通文件"},
        {{"read"}, 2, "read 需要正好一个 -p PORT"},
        {{"verify", file("plan.csv", kCsv)}, 2, "用法：kr4720-cli verify -p PORT FILE"},
        {{"frobnicate"}, 2, "未知命令 frobnicate"},
        {{"--json"}, 2, "没有给出命令"},
        {{"show", folder.file("plan.csv"), "--format", "xyz"}, 2, "--format：xyz 不是文件格式"},
        {{"read", "-p"}, 2, "选项 -p 缺少值"},
        {{"read", "-p", ""}, 2, "选项 -p 缺少值"},
        {{"show", "--json=no", "x.csv"}, 2, "选项 --json 不带值"},
        {{"show", "x.csv", "-p", "y"}, 2, "命令 show 没有选项 -p"},
        {{"show", "--", "-x.csv"}, 2, "无法读取文件 -x.csv"},
        {{"show", "/proc/self/mem", "--format", "img"}, 2, "mem：Input/output error"},
        {{"detect", "x"}, 2, "端口要用 -p 给出：-p x"},
        {{"detect", "-p", port(radio()), "-p", folder.file("no-such-port")}, 3, "端口不存在"},
        {{"read", "-p", "x", "--trace", "-"}, 2, "记录文件不能写到 -"},
        {{"read", "-p", "x", "--json", "--trace", "/dev/stdout"}, 2, "记录文件不能写到标准输出"},
        {{"convert", file("t.img", RadioImageText(VirtualRadio::demoMemory())), "-"},
         0,
         "静噪级别  3\n"},
        {{"show", folder.file("plan.csv")}, 0, "（文件中没有）\n静噪级别  （文件中没有）"},
        {{"show", "--json", folder.file("plan.csv")}, 0, "\"ok\": true,\n    \"squelch\": null"},
        {{"show", file("blank.doc", std::string(145, ','))}, 0, "静噪级别  （文件中没有）"},
        {{"show", "--json", folder.file("blank.doc")}, 0, "\"bcl\": \"\","},
        {{"show", "--json", file("extra.doc", "3" + std::string(145, ',') + "off,\r\n")},
         0,
         "extra.doc 在第 145 个值之后还有内容"},
        {{"convert", folder.file("t.img"), "-", "--format", "csv"}, 0, "Location,Name,Frequency"},
        {{"convert", folder.file("t.img"), file("tw8810.mdb", {"SQLite format 3", 16}), "--format",
          "doc"},
         2,
         "tw8810.mdb：这是数据库文件，不能用来保存"},
        {{"read", "-p", "x", "--trace", folder.file("tw8810.mdb")}, 2, "记录文件不能是数据库文件"},
        {{"convert", folder.file("t.img"), folder.file(QString(245, 'a') + ".doc")},
         2,
         "文件名太长"},
        {{"convert", folder.file("t.img"), folder.file(QString(244, 'a') + ".doc")}, 0, ""},
        {{"convert", folder.file("t.img"), folder.file("loop.doc")}, 2, "这是一个循环的符号链接"},
        {{"show", "--json", "-q",
          file("skip.csv", kCsv + "3,,50,,0,,88.5,88.5,023,NN,023,,FM,5,,,,,,,\n" +
                               "4,,145.0025,,0,,88.5,88.5,023,NN,023,,FM,5,,,,,,,\n")},
         0,
         "\"skippedRows\": [\n        {\n            \"line\": 4,"},
        {{"show", "--json", "-q", folder.file("skip.csv")},
         0,
         "存为 145.00000\"\n        }\n    ],"},
        {{"convert", file("plan.csv", kCsv), folder.file("y.img"), "--emergency", "nan,440"},
         2,
         "--emergency：nan 不是频率"},
        {{"convert", file("plan.csv", kCsv), "-", "--emergency", "1,2,on,x"}, 2, "的格式是"},
        {{"convert", folder.file("plan.csv"), "-", "--squelch", "10"}, 2, "一个数字，不是 10"},
        {{"convert", folder.file("plan.csv"), "-", "--squelch", "７"}, 2, "一个数字，不是 ７"},
        {{"write", "-p", "x", file("wide.doc", "3," + std::string(135, ',') + "4385,,,,,,,,,")},
         2,
         "不能写入对讲机：数据超出范围 ！！（信道 16 接收频率 4385.00000）"},
        {{"write", "-p", "x", file("far.doc", "3,600,254.1,,145" + std::string(141, ','))},
         3,
         "注意：信道 1 接收频率 600.00000、信道 1 收哑音 254.1 超出"},
        {{"write", "-p", "x", file("x.doc", std::string(30, 'x') + std::string(145, ','))},
         2,
         "（静噪级别 " + std::string(24, 'x') + "…）"},
        {{"convert", "--json", file("both.doc", "3,146.52,67.0,023" + std::string(142, ',')),
          folder.file("b.img")},
         0,
         "信道 1 接收同时有哑音和数字哑音"},
        {{"convert", "--json", folder.file("both.doc"), folder.file("b.csv")}, 0, "同时有哑音"},
        {{"write", "-p", "x", "--trace", file("plan.csv", kCsv)}, 2, "记录文件不能是信道文件"},
        {{"write", "-p", "x", "--trace", file("notes.txt", kCsv)}, 2, "用法：kr4720-cli write"},
        {{"write", "-p", "x", folder.file("notes.txt"), "--format", "csv", "--trace",
          folder.file("./notes.txt")},
         2,
         "记录文件不能是命令要读写的文件"},
        {{"write", "-p", "x", file("none.csv", "Location,Frequency\n")},
         2,
         "不能写入对讲机：没有可以导入的行"},
        {{"convert", folder.file("none.csv"), folder.file("y.img")}, 2, "y.img 没有写入"},
        {{"convert", "--json", folder.file("plan.csv"), folder.file("y.doc")},
         0,
         "没有静噪级别，信道"},
        {{"read", "--port=" + folder.file("no-such-port")}, 3, "/no-such-port：端口不存在"},
        {{"read", "-p", "x", "-o", folder.file("none/x.doc")}, 2, "none/x.doc：No such file"},
        {{"read", "-p", held.portName()}, 3, "已被其它程序使用或无法打开"},
        {{"detect"}, 3, "已被其它程序使用或无法打开"},
        {{"detect", "-p", "AUTO"}, 3, "已被其它程序使用或无法打开"},
        {{"read", "-p", "com1"}, 3, "已被其它程序使用或无法打开"},
        {{"read", "-o" + folder.file("radio.img"),
          "-p" + port(radio([](auto& o) { o.closeAfterRecords = 5; }))},
         1,
         "串行端口连接中断，数据传送没有完成"},
    };
    for (const char* command : {"ports", "detect", "read", "write", "verify", "convert", "show"}) {
        cases.push_back({{command, "--help"}, 0, std::string("用法：kr4720-cli ") + command});
    }
    for (const auto& [arguments, code, said] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.code, code);
        EXPECT_THAT(code == 0 ? run.out : run.err, HasSubstr(said));
    }
    EXPECT_FALSE(QFile::exists(folder.file("radio.img")) || QFile::exists(folder.file("y.img")));
    // With --json a line that cannot be read still ends in its document, and a
    // file is not sent to the standard output the document takes.
    EXPECT_EQ(cli({"--json", "show", "--bogus"}).json()["errors"][0].toString().section('\n', 0, 0),
              "未知选项 --bogus");
    EXPECT_EQ(
        cli({"read", "-p", "x", "--json", "--trace", folder.file("none/t")}).json()["exitCode"], 2);
    EXPECT_EQ(cli({"convert", folder.file("t.img"), "-", "--format", "csv", "--json"})
                  .json()["errors"][0]
                  .toString(),
              "--json：标准输出用于 JSON 结果，文件不能写到 -");
    // A name in GBK bytes is refused, not saved under a name nobody typed.
    // And a table that cannot reach its file fails the run.
    for (const auto& [script, said] :
         {std::pair{"\"$0\" convert \"$1\" \"$1$(printf '\\271\\372').doc\"",
                    "参数不是 UTF-8 文本"},
          std::pair{"\"$0\" show \"$1\" > /dev/full", "无法写入标准输出，结果不完整"},
          std::pair{"\"$0\" --help > /dev/full", "无法写入标准输出"}}) {
        const CliRun run = cli({"-c", script, KR4720_CLI, folder.file("plan.csv")}, "sh");
        EXPECT_EQ(run.code, 2) << script;
        EXPECT_THAT(run.err, HasSubstr(said));
    }
    EXPECT_EQ(QDir(folder.file(".")).entryList({"plan.csv?*"}), QStringList());
    EXPECT_EQ((folder.read("plan.csv") + folder.read("notes.txt")).toStdString(), kCsv + kCsv);
    const VirtualRadio& broken = radio([](auto& o) { o.stopAfterRecords = 5; });
    const CliRun write = cli({"write", "-p", port(broken), file("plan.csv", kCsv)});
    EXPECT_EQ(write.code, 1);
    EXPECT_THAT(write.out, HasSubstr("失败：读数错误！！"));
    EXPECT_EQ(broken.counters().writesStarted, 0);
    EXPECT_EQ(cli({"--version"}).out, "kr4720-cli 1.1.0\n");
    EXPECT_EQ(
        cli({"read", "-p", port(radio()), "-q", "--trace", "/dev/full", "-o",
             folder.file("full.img")})
            .err,
        "kr4720-cli: 无法继续写入记录文件 /dev/full，记录不完整\n  No space left on device\n");
}

// Radios are written at once, and one that does not answer or whose line
// goes in the middle of the write does not stop the others. One whose
// read-back breaks, or whose line goes just after the write, says that it
// was written. COM1 and COM2 are
// among the ports "auto" looks at; only the one that answers is written. JSON
// is a document also when the radio does not answer.
TEST_F(CliEndToEnd, RadiosAreWrittenAtOnceAndAFailingOneDoesNotStopTheOthers) {
    QStringList arguments{"write", "--verify", "--no-backup"};
    const std::optional<int> closeAfter[] = {{}, {}, {}, 5, 17}; // mid-write, after the write
    for (int i = 0; i < 5; ++i) {
        arguments << "-p" << port(radio([i, &closeAfter](auto& o) {
            o.noAnswer = i == 2;
            o.stopAfterRecords = i == 1 ? std::optional(5) : std::nullopt;
            o.closeAfterRecords = closeAfter[i];
        }));
    }
    const CliRun run =
        cli(arguments << file("plan.img", RadioImageText(VirtualRadio::demoMemory())));
    EXPECT_EQ(run.code, 1);
    const QStringList lines = QString::fromStdString(run.out).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 5) << run.out;
    const char* said[] = {"完成，已核对", "已写入，核对失败：读数错误！！", "失败：对讲机没有应答",
                          "失败：串行端口连接中断，数据传送没有完成",
                          "已写入，核对失败：串行端口连接中断"};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_THAT(lines[i].toStdString(), HasSubstr(said[i]));
        EXPECT_EQ(radios[i]->counters().writesStarted, i == 2 ? 0 : 1);
        EXPECT_EQ(radios[i]->completeWrites(), i < 2 || i == 4 ? 1 : 0);
    }

    const VirtualRadio &live = *radios[0], &dead = *radios[2];
    qputenv("KR4720_COM1", port(dead).toLocal8Bit());
    qputenv("KR4720_COM2", port(live).toLocal8Bit());
    const CliRun detect = cli({"detect", "--json"});
    ASSERT_EQ(detect.code, 0) << detect.err;
    EXPECT_EQ(detect.err, "");
    const QJsonArray found = detect.json().value("radios").toArray();
    EXPECT_TRUE(found.contains(port(live)));
    EXPECT_FALSE(found.contains(port(dead)));
    const QJsonObject none = cli({"detect", "--json", "-p", port(dead)}).json();
    EXPECT_EQ(none["exitCode"].toInt(), 1);
    EXPECT_EQ(none["errors"].toArray().last().toString(), "没有找到应答的对讲机");

    // A device that answers a poll with "C" and then keeps sending is no radio.
    PseudoTerminal gps;
    std::jthread stream([&](std::stop_token stop) {
        // Nothing before the first poll, then "C" once, then sentences without a "C".
        for (int sent = 0; !stop.stop_requested(); QThread::msleep(5)) {
            sent += sent > 0 || !gps.readAvailable().empty();
            gps.send(sent == 0 ? "" : sent == 1 ? "C" : "$GPGGA,4807.038,N\r\n");
        }
    });
    EXPECT_THAT(cli({"detect", "-p", QString::fromStdString(gps.path())}).err,
                HasSubstr("端口上的设备一直在发送数据，不像是对讲机"));

    const QJsonObject failed =
        cli({"write", "--json", "--no-backup", "-p", port(dead), folder.file("plan.img")}).json();
    EXPECT_EQ(failed.value("exitCode").toInt(), 1);
    EXPECT_EQ(failed["errors"][0].toString().section("：", 1), "对讲机没有应答");

    // The silent port is left out, and the live one, named again through a
    // link and by its name in /dev, is written once.
    QFile::link(port(live), folder.file("c"));
    const auto write = cli({"write", "-p", "auto", "-p", folder.file("c"), "-p", port(live).mid(5),
                            file("plan.csv", kCsv)});
    EXPECT_EQ(write.code, 0) << write.err;
    EXPECT_THAT(write.err, Not(HasSubstr("没有"))); // "对讲机没有应答", "没有找到应答的对讲机"
    EXPECT_EQ(live.completeWrites(), 2);
    qputenv("KR4720_COM1", port(*radios[1]).toLocal8Bit()); // two radios answer
    EXPECT_THAT(cli({"read", "-p", "auto"}).err, HasSubstr("找到不止一台对讲机"));
    // A port another program holds is not left out of a write: a radio may be on it.
    QSerialPort held(port(live));
    ASSERT_TRUE(held.open(QIODevice::ReadWrite));
    const CliRun busy = cli({"write", "-p", "auto", "--no-backup", folder.file("plan.csv")});
    EXPECT_EQ(busy.code, 3);
    EXPECT_THAT(busy.out, HasSubstr("失败：无法打开串行端口"));
    // Nor out of what detect finds.
    EXPECT_EQ(cli({"detect", "-p", port(*radios[1]), "-p", port(live)}).code, 3);
}

// Stopped (Ctrl+C; here SIGTERM) during a write: the radio that has been sent
// "A" gets its whole set, the one still being read is not written. A reader
// of the messages that goes away (`2>&1 | head`) ends nothing. Ctrl+Z pauses
// the program only once the radio has its whole set.
TEST_F(CliEndToEnd, AStopLetsAStartedWriteFinishAndWritesNoOtherRadio) {
    const VirtualRadio& writing = radio();
    const VirtualRadio& reading =
        radio([](auto& o) { o.replyDelay = std::chrono::milliseconds(600); });
    QProcess process;
    process.start(KR4720_CLI,
                  {"write", "-p", port(writing), "-p", port(reading), file("plan.csv", kCsv)});
    ASSERT_TRUE(writing.waitFor([](const auto& c) { return c.writesStarted > 0; }, 10s));
    process.terminate();
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM);
    EXPECT_THAT(
        process.readAllStandardOutput().toStdString(),
        testing::AllOf(HasSubstr("  完成（备份 "), testing::EndsWith("  已停止，没有写入\n")));
    EXPECT_EQ(reading.counters().writesStarted, 0);
    // Stopped (Ctrl+\) while a radio is silent: the user stopped it, not the radio.
    const VirtualRadio& silent = radio([](auto& o) { o.noAnswer = true; });
    process.start(KR4720_CLI, {"read", "-p", port(silent)});
    ASSERT_TRUE(silent.waitFor([](const auto& c) { return c.bytesReceived > 0; }, 10s));
    ::kill(static_cast<pid_t>(process.processId()), SIGQUIT);
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 128 + SIGQUIT);
    EXPECT_THAT(process.readAllStandardError().toStdString(),
                testing::AllOf(HasSubstr("已停止"), Not(HasSubstr("没有应答"))));
    cli({"-c", "\"$0\" \"$@\" 2>&1 | head -c 1", KR4720_CLI, "write", "-p", port(writing),
         folder.file("plan.csv")},
        "sh");
    EXPECT_EQ(writing.completeWrites(), 2);

    // Ctrl+Z during a write stops the program once the radio has its set.
    QProcess paused;
    paused.start(KR4720_CLI,
                 {"write", "--no-backup", "-p", port(writing), folder.file("plan.csv")});
    ASSERT_TRUE(writing.waitFor([](const auto& c) { return c.writesStarted == 3; }, 10s));
    ::kill(static_cast<pid_t>(paused.processId()), SIGTSTP);
    const auto stopped = [&] {
        QFile file(QStringLiteral("/proc/%1/stat").arg(paused.processId()));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(") T ");
    };
    for (QDeadlineTimer limit(10000); !stopped() && !limit.hasExpired(); QThread::msleep(5)) {
    }
    ASSERT_TRUE(stopped());
    writing.waitForWritesSettled(std::chrono::seconds(5));
    EXPECT_EQ(writing.completeWrites(), 3);
    ::kill(static_cast<pid_t>(paused.processId()), SIGCONT);
    paused.waitForFinished(60000);
    EXPECT_EQ(paused.exitCode(), 0);
}
