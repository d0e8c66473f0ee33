#include "cli/options.h"

namespace kr4720::cli {

Options parseOptions(const QStringList& arguments) {
    Options options;
    const auto operand = [&options](const QString& text) {
        if (options.command.isEmpty()) {
            options.command = text;
        } else {
            options.files << text;
        }
    };
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        // After "--" every argument is a command or a file, "-x.doc" too.
        if (optionsEnded) {
            operand(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        std::optional<QString> attached;
        if (argument.startsWith(QLatin1String("--")) && argument.contains(QLatin1Char('='))) {
            attached = argument.section(QLatin1Char('='), 1);
            argument = argument.section(QLatin1Char('='), 0, 0);
        } else if (argument.size() > 2 && argument[0] == QLatin1Char('-') &&
                   argument[1] != QLatin1Char('-') &&
                   (argument[1] == QLatin1Char('p') || argument[1] == QLatin1Char('o'))) {
            attached = argument.mid(2);
            argument = argument.left(2);
        }
        const auto value = [&]() -> std::optional<QString> {
            if (attached) {
                return attached;
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            options.error = QStringLiteral("选项 %1 缺少值").arg(argument);
            return std::nullopt;
        };
        const auto flag = [&](bool& target, const char* name) {
            if (attached) {
                options.error = QStringLiteral("选项 %1 不带值").arg(argument);
                return;
            }
            target = true;
            options.given.push_back({QString::fromLatin1(name), argument});
        };
        if (argument == QLatin1String("-p") || argument == QLatin1String("--port")) {
            if (const auto v = value(); v && v->isEmpty()) {
                options.error = QStringLiteral("选项 %1 缺少值").arg(argument);
            } else if (v) {
                options.ports << *v;
                options.given.push_back({QStringLiteral("port"), argument});
            }
        } else if (argument == QLatin1String("-o") || argument == QLatin1String("--output")) {
            if (const auto v = value()) {
                options.output = *v;
                options.given.push_back({QStringLiteral("output"), argument});
            }
        } else if (argument == QLatin1String("--format")) {
            if (const auto v = value()) {
                options.format = *v;
                options.given.push_back({QStringLiteral("format"), argument});
            }
        } else if (argument == QLatin1String("--trace")) {
            if (const auto v = value()) {
                options.trace = *v;
                options.given.push_back({QStringLiteral("trace"), argument});
            }
        } else if (argument == QLatin1String("--squelch")) {
            if (const auto v = value()) {
                options.squelch = *v;
                options.given.push_back({QStringLiteral("squelch"), argument});
            }
        } else if (argument == QLatin1String("--emergency")) {
            if (const auto v = value()) {
                options.emergency = *v;
                options.given.push_back({QStringLiteral("emergency"), argument});
            }
        } else if (argument == QLatin1String("--json")) {
            flag(options.json, "json");
        } else if (argument == QLatin1String("-q") || argument == QLatin1String("--quiet")) {
            flag(options.quiet, "quiet");
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            flag(options.help, "help");
        } else if (argument == QLatin1String("--version")) {
            flag(options.version, "version");
        } else if (argument == QLatin1String("--verify")) {
            flag(options.verify, "verify");
        } else if (argument == QLatin1String("--no-backup")) {
            flag(options.noBackup, "no-backup");
        } else if (argument == QLatin1String("-") || !argument.startsWith(QLatin1Char('-'))) {
            operand(argument);
        } else {
            options.error = QStringLiteral("未知选项 %1").arg(argument);
        }
        if (!options.error.isEmpty()) {
            break;
        }
    }
    return options;
}

QString checkAllowed(const Options& options, const QStringList& allowed) {
    static const QStringList everywhere{QStringLiteral("json"), QStringLiteral("quiet"),
                                        QStringLiteral("help"), QStringLiteral("trace")};
    for (const auto& [name, typed] : options.given) {
        if (!allowed.contains(name) && !everywhere.contains(name)) {
            return QStringLiteral("命令 %1 没有选项 %2").arg(options.command, typed);
        }
    }
    return {};
}

} // namespace kr4720::cli
