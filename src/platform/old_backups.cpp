#include "platform/old_backups.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace kr4720::platform {

int removeOldBackups(const QString& folder, const QDateTime& now) {
    static const QRegularExpression backupName(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})-.+\.img$)"));
    const QString stampFormat = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
    const QDateTime limit = now.addDays(-365);
    // A name starts with its time, and such times sort as their text does:
    // a year of backups is thousands of files, and only a name that sorts
    // before the limit needs its time read.
    const QString limitText = limit.toString(stampFormat);
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
        const QDateTime saved = QDateTime::fromString(match.captured(1), stampFormat);
        if (saved.isValid() && saved < limit && QFile::remove(path)) {
            ++removed;
        }
    }
    return removed;
}

} // namespace kr4720::platform
