// kr4720-cli: the window program's transfers and file conversions from a
// shell, for one radio or for a whole box of them at once.

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/ports.h"
#include "platform/line_trace.h"
#include "platform/stop_signals.h"
#include "platform/text_files.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace kr4720::cli;

namespace {

const char* const kProgramHelp =
    "用法：kr4720-cli 命令 [选项]\n"
    "从命令行读写 KR4720 对讲机，可同时写多台。\n"
    "\n"
    "命令：\n"
    "  ports                               列出串行端口\n"
    "  detect [-p PORT]...                 找出有对讲机应答的端口\n"
    "  read -p PORT [-o FILE]              读出对讲机，存入文件或显示为表格\n"
    "  write -p PORT [-p PORT]... FILE     把文件写入一台或同时写入多台对讲机\n"
    "  verify -p PORT FILE                 读出对讲机并与文件比较\n"
    "  convert IN OUT                      转换文件格式\n"
    "  show FILE                           把文件显示为表格\n"
    "\n"
    "文件格式按扩展名：.img 对讲机镜像，.doc 信道文件，.csv CHIRP CSV。\n"
    "PORT：设备路径（/dev/ttyUSB0）、名称（ttyUSB0）、COM1、COM2，或 auto（所有有应答的端口）。\n"
    "\n"
    "通用选项：\n"
    "  --json         结果以 JSON 输出到标准输出\n"
    "  -q, --quiet    不显示进度和提示\n"
    "  --trace FILE   把线路上收发的每个字节记入 FILE\n"
    "  -h, --help     显示帮助（kr4720-cli 命令 --help 显示该命令的帮助）\n"
    "  --version      显示版本\n"
    "\n"
    "退出状态：0 成功；1 对讲机没有应答、传送失败或核对有差异；\n"
    "          2 用法错误，或文件无法读取或写入；3 串行端口无法打开；\n"
    "          130 按 Ctrl+C 停止（正在写入的对讲机先写完，其它的不写入）。\n";

const QMap<QString, const char*>& commandHelp() {
    static const QMap<QString, const char*> help{
        {QStringLiteral("ports"),
         "用法：kr4720-cli ports [--json]\n"
         "列出串行端口：设备、USB 厂商:产品号、厂商和说明，标出常见写频线芯片\n"
         "（CH340、PL2303、CP210x、FTDI），并说明 COM1 和 COM2 对应的设备。\n"},
        {QStringLiteral("detect"), "用法：kr4720-cli detect [-p PORT]... [--json]\n"
                                   "像窗口程序一样用 \"C\" 询问对讲机，列出一秒内有应答的端口。\n"
                                   "不给 -p 时检查所有串行端口。\n"},
        {QStringLiteral("read"),
         "用法：kr4720-cli read -p PORT [-o FILE] [--format img|doc|csv]\n"
         "读出对讲机的 16 个信道、紧急信道和静噪级别。\n"
         "  -o FILE     存入文件，格式按扩展名或 --format；没有 -o 或 -o - 时显示为表格，\n"
         "              -o - 加 --format 时把文件内容输出到标准输出\n"
         "存为 .img 时保存对讲机发来的原始记录。\n"},
        {QStringLiteral("write"),
         "用法：kr4720-cli write -p PORT [-p PORT]... FILE [选项]\n"
         "把文件写入对讲机；多个 -p（或 -p auto）时同时写入所有对讲机。\n"
         "写入前先读出每台对讲机，存为备份：\n"
         "  $XDG_DATA_HOME/kr4720/backups/YYYY-MM-DD_HH-MM-SS-PORT-before-write.img\n"
         "（写入后删除一年以前的备份）\n"
         "文件没有的部分（信道文件没有紧急信道；CSV 没有紧急信道和静噪级别）保留对讲机原有的值。\n"
         "没有应答的对讲机不写入。没有信道号的文件按顺序写入信道 1-16。\n"
         "  --verify                   写入后读回核对\n"
         "  --no-backup                不保存备份（.img 文件时也不先读出）\n"
         "  --squelch N                静噪级别 0-9\n"
         "  --emergency RX,TX[,on|off] 紧急信道的收频率、发频率和拍频\n"
         "  --format img|doc|csv       文件格式\n"},
        {QStringLiteral("verify"),
         "用法：kr4720-cli verify -p PORT FILE [--format img|doc|csv]\n"
         "读出对讲机并与文件比较，列出每处不同（信道、字段、对讲机的值、文件的值）。\n"
         "数值按标准形式比较（145.5 = 145.50000，67 = 67.0，扫描为空 = add）；\n"
         "只比较文件中有的部分。有差异时退出状态为 1。\n"},
        {QStringLiteral("convert"),
         "用法：kr4720-cli convert IN OUT [--format img|doc|csv] [--squelch N] [--emergency ...]\n"
         "在 .img、.doc、.csv 之间转换；OUT 为 - 时显示为表格，\n"
         "加 --format 时输出该格式的文件内容。--format 指定 OUT 的格式。\n"
         "目标格式存不下的部分在标准错误上提示。\n"},
        {QStringLiteral("show"), "用法：kr4720-cli show FILE [--format img|doc|csv] [--json]\n"
                                 "把文件中的信道组显示为表格。\n"},
    };
    return help;
}

// With --json anywhere on the line, a usage error also prints the failure
// document, even when the line could not be read up to that option.
int usageError(bool json, const QString& text,
               const QString& hint = QStringLiteral("kr4720-cli --help 显示用法")) {
    const Console console(json, false);
    console.failure(text, hint);
    console.finish(kBadUsage);
    return kBadUsage;
}

// `> result.json` on a full disk: the run is not a success.
int checkedOutput(const Console& console, int code) {
    if (console.outputFailure().isEmpty()) {
        return code;
    }
    console.failure(QStringLiteral("无法写入标准输出，结果不完整"), console.outputFailure());
    return code == kOk ? kBadUsage : code;
}

// True when `path` is the file or pipe standard output goes to (/dev/stdout,
// say), where its lines would spoil what a program reads; a terminal only
// shows both.
bool writesToStandardOutput(const QString& path) {
    struct stat file {};
    struct stat output {};
    return !path.isEmpty() && isatty(STDOUT_FILENO) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &file) == 0 &&
           ::fstat(STDOUT_FILENO, &output) == 0 && file.st_dev == output.st_dev &&
           file.st_ino == output.st_ino;
}

// Help and the version are results too.
int printText(const char* text) {
    const Console console(false, false);
    console.data(text);
    return checkedOutput(console, kOk);
}

int runCommand(const Options& options, const Console& console, kr4720::platform::LineTrace* trace) {
    const QString& command = options.command;
    if (command == QLatin1String("ports")) {
        return runPorts(options, console);
    }
    if (command == QLatin1String("detect")) {
        return runDetect(options, console, trace);
    }
    if (command == QLatin1String("read")) {
        return runRead(options, console, trace);
    }
    if (command == QLatin1String("write")) {
        return runWrite(options, console, trace);
    }
    if (command == QLatin1String("verify")) {
        return runVerify(options, console, trace);
    }
    if (command == QLatin1String("convert")) {
        return runConvert(options, console);
    }
    return runShow(options, console);
}

} // namespace

int main(int argc, char* argv[]) {
    // A reader that goes away (`| head`, `| less` left early) must not end the
    // program in the middle of a write: its output is then lost, not the radios.
    std::signal(SIGPIPE, SIG_IGN);
    // Also holds the standard descriptors the caller closed (`>&-`): writing
    // the result then fails instead of going into the trace. A stop that comes
    // during a file command (convert, show) still ends the run with its status
    // and, with --json, its document.
    kr4720::platform::catchStopSignals();
    QCoreApplication app(argc, argv);
    const bool json = std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::strcmp(argument, "--json") == 0;
    });
    QCoreApplication::setApplicationName(QStringLiteral("kr4720-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KR4720_VERSION));

    // Qt takes arguments as UTF-8. A file name in another encoding (GBK bytes
    // from a zip made on Windows, say) would name another file, or save under
    // another name, so it is refused with the way out.
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        if (QString::fromLocal8Bit(raw).toLocal8Bit() != raw) {
            return usageError(
                json, QStringLiteral("参数不是 UTF-8 文本：%1").arg(QString::fromLocal8Bit(raw)),
                QStringLiteral("请先把文件名改为 UTF-8 编码（例如 convmv -f gbk -t utf8 --notest "
                               "文件名）"));
        }
    }
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const Options options = parseOptions(arguments);
    if (!options.error.isEmpty()) {
        return usageError(json, options.error);
    }
    if (options.version) {
        return printText("kr4720-cli " KR4720_VERSION "\n");
    }
    if (options.command.isEmpty()) {
        if (options.help) {
            return printText(kProgramHelp);
        }
        std::fputs(kProgramHelp, stderr);
        return usageError(json, QStringLiteral("没有给出命令"));
    }
    const auto help = commandHelp().find(options.command);
    if (help == commandHelp().end()) {
        return usageError(json, QStringLiteral("未知命令 %1").arg(options.command));
    }
    if (options.help) {
        return printText(*help);
    }
    static const QMap<QString, QStringList> allowed{
        {QStringLiteral("ports"), {}},
        {QStringLiteral("detect"), {QStringLiteral("port")}},
        {QStringLiteral("read"),
         {QStringLiteral("port"), QStringLiteral("output"), QStringLiteral("format")}},
        {QStringLiteral("write"),
         {QStringLiteral("port"), QStringLiteral("format"), QStringLiteral("verify"),
          QStringLiteral("no-backup"), QStringLiteral("squelch"), QStringLiteral("emergency")}},
        {QStringLiteral("verify"), {QStringLiteral("port"), QStringLiteral("format")}},
        {QStringLiteral("convert"),
         {QStringLiteral("format"), QStringLiteral("squelch"), QStringLiteral("emergency")}},
        {QStringLiteral("show"), {QStringLiteral("format")}},
    };
    if (const QString error = checkAllowed(options, allowed.value(options.command));
        !error.isEmpty()) {
        return usageError(json, error);
    }

    const Console console(options.json, options.quiet);
    kr4720::platform::LineTrace trace;
    kr4720::platform::LineTrace* tracePointer = nullptr;
    if (options.trace == QLatin1String("-")) {
        return usageError(json, QStringLiteral("记录文件不能写到 -"),
                          QStringLiteral("要在屏幕上看线路记录，请用 --trace /dev/stderr"));
    }
    if (options.json && writesToStandardOutput(options.trace)) {
        return usageError(
            json, QStringLiteral("--json：标准输出用于 JSON 结果，记录文件不能写到标准输出"));
    }
    // `--trace plan.csv` with the trace's own name left out would empty the plan.
    if (!options.trace.isEmpty() && kr4720::platform::LineTrace::namesChannelFile(options.trace)) {
        return usageError(
            json,
            QStringLiteral("记录文件不能是信道文件（.img、.doc、.csv）：%1").arg(options.trace));
    }
    // Nor may it be a file the command reads or writes under another name.
    for (const QString& file : options.files + QStringList{options.output.value_or(QString())}) {
        if (!options.trace.isEmpty() && !file.isEmpty() && file != QLatin1String("-") &&
            kr4720::platform::sameFile(options.trace, file)) {
            return usageError(json, QStringLiteral("记录文件不能是命令要读写的文件：%1").arg(file));
        }
    }
    // The trace is made only for a command that talks to radios and has its
    // file arguments: a file meant for the command, taken as the trace's name,
    // is left alone for the usage error.
    static const QMap<QString, qsizetype> lineCommandFiles{{QStringLiteral("detect"), 0},
                                                           {QStringLiteral("read"), 0},
                                                           {QStringLiteral("write"), 1},
                                                           {QStringLiteral("verify"), 1}};
    if (!options.trace.isEmpty() &&
        lineCommandFiles.value(options.command, -1) == options.files.size()) {
        if (const QString error = trace.open(options.trace); !error.isEmpty()) {
            console.failure(QStringLiteral("无法写入记录文件 %1").arg(options.trace), error);
            console.finish(kBadUsage);
            return kBadUsage;
        }
        tracePointer = &trace;
    }

    int code = runCommand(options, console, tracePointer);
    if (const QString lost = trace.failure(); !lost.isEmpty()) {
        console.failure(QStringLiteral("无法继续写入记录文件 %1，记录不完整").arg(options.trace),
                        lost);
    }
    if (const int signal = kr4720::platform::stopSignal(); signal != 0) {
        code = kStopped + signal;
    }
    console.finish(code);
    return checkedOutput(console, code);
}
