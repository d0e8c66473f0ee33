#include "platform/old_backups.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <compare>
#include <optional>

namespace kr4720::platform {
namespace {

// A time as a backup's name gives it: the day and the second of that day.
// Read from the digits, as QDateTime::fromString takes some 25 µs a name
// and a busy year leaves tens of thousands of backups.
struct Stamp {
    qint64 day = 0;
    int second = 0;
    auto operator<=>(const Stamp&) const = default;

    static Stamp of(const QDate& date, const QTime& time) {
        return {date.toJulianDay(), time.msecsSinceStartOfDay() / 1000};
    }
    Stamp plusDays(int days) const { return {day + days, second}; }
};

std::optional<Stamp> savedAt(const QString& name) {
    static const QRegularExpression backupName(
        QStringLiteral(R"(^(\d{4})-(\d\d)-(\d\d)_(\d\d)-(\d\d)-(\d\d)-.+\.img$)"));
    const QRegularExpressionMatch match = backupName.match(name);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const auto number = [&match](int group) { return match.capturedView(group).toInt(); };
    const QDate date(number(1), number(2), number(3));
    const QTime time(number(4), number(5), number(6));
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return Stamp::of(date, time);
}

} // namespace

int removeOldBackups(const QString& folder, const QDateTime& now) {
    const Stamp today = Stamp::of(now.date(), now.time());
    // A backup's name starts with its time, so the names sort by it.
    QStringList names = QDir(folder).entryList({QStringLiteral("*.img")},
                                               QDir::Files | QDir::NoSymLinks, QDir::Unsorted);
    names.sort();
    // The year is counted back from the newest backup when that is older than
    // now, and a gap of over a year between two backups (a clock set years
    // ahead or back, a long break) starts the count afresh for those before
    // it: no wrong clock takes the last year of backups with it, not even
    // once backups have been made with it.
    int removed = 0;
    std::optional<Stamp> later;
    Stamp limit;
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const std::optional<Stamp> saved = savedAt(*name);
        if (!saved) {
            continue;
        }
        if (!later || saved->plusDays(365) < *later) {
            limit = std::min(today, *saved).plusDays(-365);
        }
        later = saved;
        if (*saved < limit && QFile::remove(folder + QLatin1Char('/') + *name)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace kr4720::platform
