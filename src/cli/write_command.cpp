#include "cli/commands.h"

#include "platform/backups.h"
#include "platform/old_backups.h"

namespace kr4720::cli {

int runWrite(const Options& options, const Console& console, platform::LineTrace* trace) {
    if (options.files.size() != 1) {
        console.failure(QStringLiteral("用法：kr4720-cli write -p PORT [-p PORT]... FILE"));
        return kBadUsage;
    }
    if (options.ports.isEmpty()) {
        console.failure(QStringLiteral("write 需要至少一个 -p PORT（或 -p auto）"));
        return kBadUsage;
    }
    const auto format = fileFormat(options.files[0], options.format);
    const auto loaded = loadArgument(options.files[0], options.format, console);
    if (!loaded) {
        return kBadUsage;
    }
    // Such a CSV would empty every channel of every radio: surely the wrong file.
    if (loaded->noRowTaken) {
        console.failure(
            QStringLiteral("文件 %1 不能写入对讲机：没有可以导入的行").arg(options.files[0]));
        return kBadUsage;
    }
    ChannelSet overrides = loaded->set;
    if (const QString error = applySetOptions(options, overrides); !error.isEmpty()) {
        console.failure(error);
        return kBadUsage;
    }
    const bool fileSquelch = loaded->hasSquelch || options.squelch.has_value();
    const bool fileEmergency = loaded->hasEmergency || options.emergency.has_value();
    // What comes from the file and the options; the rest is what the radio holds.
    const auto merge = [overrides, fileSquelch, fileEmergency](const ChannelSet& radio) {
        ChannelSet set = overrides;
        if (!fileSquelch) {
            set.squelch = radio.squelch;
        }
        if (!fileEmergency) {
            set.emergency = radio.emergency;
        }
        return set;
    };
    // Nothing goes to any radio when the file's own part cannot be sent.
    {
        DcsCodes codes;
        codes.fill();
        ChannelSet probe;
        probe.squelch.assign(1, '0');
        const auto encoding = radio_link::EncodeRadioImage(merge(probe), codes);
        if (!encoding.ok()) {
            console.failure(QStringLiteral("文件 %1 不能写入对讲机：").arg(options.files[0]) +
                            unencodableText(encoding));
            return kBadUsage;
        }
    }
    warnToneBesideCode(overrides, console);
    warnOutsideTheGrid(overrides, console);
    PortTask task;
    task.kind = PortTask::Kind::Write;
    task.backup = !options.noBackup;
    task.readBeforeWrite = !(options.noBackup && format == FileFormat::Image);
    task.setToWrite = merge;
    task.verify = options.verify;
    const int status =
        runOnEveryPort(options, task, console, trace,
                       options.verify ? QStringLiteral("完成，已核对") : QStringLiteral("完成"));
    // The backups folder keeps a year, as the window keeps it at its start.
    if (task.backup) {
        platform::removeOldBackups(platform::backupsFolder());
    }
    return status;
}

} // namespace kr4720::cli
