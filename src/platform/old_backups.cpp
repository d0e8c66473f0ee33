#include "platform/old_backups.h"

#include "platform/backups.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace kr4720::platform {

int removeOldBackups(const QString& folder, const QDateTime& now) {
    static const QRegularExpression backupName(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})-.+\.img$)"));
    const auto savedAt = [](const QString& name) {
        const QRegularExpressionMatch match = backupName.match(name);
        return match.hasMatch() ? QDateTime::fromString(match.captured(1), kBackupTimeFormat)
                                : QDateTime();
    };
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
    QDateTime later;
    QDateTime limit;
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const QDateTime saved = savedAt(*name);
        if (!saved.isValid()) {
            continue;
        }
        if (!later.isValid() || saved.addDays(365) < later) {
            limit = std::min(now, saved).addDays(-365);
        }
        later = saved;
        if (saved < limit && QFile::remove(folder + QLatin1Char('/') + *name)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace kr4720::platform
