#include "platform/old_backups.h"

#include "platform/backups.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace kr4720::platform {

int removeOldBackups(const QString& folder, const QDateTime& now) {
    static const QRegularExpression backupName(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})-.+\.img$)"));
    const QDateTime limit = now.addDays(-365);
    // A year of backups is thousands of files: only a name that sorts before
    // the limit's time needs its time read.
    const QString limitText = limit.toString(kBackupTimeFormat);
    int removed = 0;
    QDirIterator files(folder, QDir::Files | QDir::NoSymLinks);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString name = files.fileName();
        if (QStringView(name).left(limitText.size()) >= limitText) {
            continue;
        }
        const QRegularExpressionMatch match = backupName.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const QDateTime saved = QDateTime::fromString(match.captured(1), kBackupTimeFormat);
        if (saved.isValid() && saved < limit && QFile::remove(path)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace kr4720::platform
