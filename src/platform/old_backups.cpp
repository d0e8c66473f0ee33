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
    // A clock set years ahead must not take every backup with it: the year is
    // counted back from the newest backup when that is older than now.
    QDateTime newest = now;
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        if (const QDateTime saved = savedAt(*name); saved.isValid()) {
            newest = std::min(newest, saved);
            break;
        }
    }
    const QDateTime limit = newest.addDays(-365);
    // A year of backups is thousands of files: only the names that sort
    // before the limit's time need their time read.
    const QString limitText = limit.toString(kBackupTimeFormat);
    int removed = 0;
    for (const QString& name : names) {
        if (QStringView(name).left(limitText.size()) >= limitText) {
            break;
        }
        const QDateTime saved = savedAt(name);
        if (saved.isValid() && saved < limit && QFile::remove(folder + QLatin1Char('/') + name)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace kr4720::platform
