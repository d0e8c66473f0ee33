#include "platform/old_backups.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace kr4720::platform {

int removeOldBackups(const QString& folder, const QDateTime& now) {
    static const QRegularExpression backupName(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2})-.+\.img$)"));
    const QDateTime limit = now.addDays(-365);
    int removed = 0;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks);
    for (const QFileInfo& file : files) {
        const QRegularExpressionMatch match = backupName.match(file.fileName());
        if (!match.hasMatch()) {
            continue;
        }
        const QDateTime saved =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
        if (saved.isValid() && saved < limit && QFile::remove(file.filePath())) {
            ++removed;
        }
    }
    return removed;
}

} // namespace kr4720::platform
