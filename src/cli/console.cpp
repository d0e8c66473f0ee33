#include "cli/console.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kr4720::cli {

Console::Console(bool json, bool quiet)
    : json_(json), quiet_(quiet), errorIsTerminal_(isatty(STDERR_FILENO) != 0) {}

void Console::result(const QString& text) const {
    data((text + QLatin1Char('\n')).toUtf8());
}

void Console::data(const QByteArray& bytes) const {
    if (!json_) {
        output(bytes);
    }
}

void Console::note(const QString& text) const {
    if (!quiet_) {
        raw(text + QLatin1Char('\n'));
    }
}

void Console::warning(const QString& text) const {
    QJsonArray warnings = attached_.value(QStringLiteral("warnings")).toArray();
    warnings.append(text);
    attach(QStringLiteral("warnings"), warnings);
    raw(text + QLatin1Char('\n'));
}

void Console::failure(const QString& text, const QString& detail) const {
    recordFailure(detail.isEmpty() ? text : text + QLatin1Char('\n') + detail);
    raw(QStringLiteral("kr4720-cli: ") + text + QLatin1Char('\n'));
    if (!detail.isEmpty()) {
        raw(QStringLiteral("  ") + indentedLines(detail, 2) + QLatin1Char('\n'));
    }
}

void Console::document(const QJsonObject& object) const {
    document_ = object;
}

void Console::attach(const QString& key, const QJsonValue& value) const {
    attached_.insert(key, value);
}

// A reader that has gone (`| head`) chose to stop reading: only other
// failures (a full disk under `> result.json`) are kept to be told.
void Console::output(const QByteArray& bytes) const {
    if ((std::fputs(bytes.constData(), stdout) < 0 || std::fflush(stdout) != 0) && errno != EPIPE &&
        outputFailure_.isEmpty()) {
        outputFailure_ = QString::fromLocal8Bit(std::strerror(errno));
    }
}

QJsonObject Console::status(int exitCode) const {
    return {{QStringLiteral("ok"), exitCode == 0},
            {QStringLiteral("exitCode"), exitCode},
            {QStringLiteral("errors"), QJsonArray::fromStringList(failures_)}};
}

void Console::finish(int exitCode) const {
    if (!json_) {
        return;
    }
    QJsonObject whole = document_;
    for (const QJsonObject& part : {attached_, status(exitCode)}) {
        for (auto it = part.begin(); it != part.end(); ++it) {
            whole.insert(it.key(), it.value());
        }
    }
    output(QJsonDocument(whole).toJson(QJsonDocument::Indented));
}

void Console::raw(const QString& text) const {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int Console::terminalColumns() const {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

int cells(QStringView text) {
    int width = 0;
    for (const QChar c : text) {
        width += c.unicode() >= 0x1100 ? 2 : 1;
    }
    return width;
}

QString indentedLines(const QString& text, int depth) {
    return QString(text).replace('\n', QLatin1Char('\n') + QString(depth, QLatin1Char(' ')));
}

} // namespace kr4720::cli
