#include "platform/backups.h"

#include "platform/text_files.h"

#include <QDir>

namespace kr4720::platform {

QString backupsFolder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) {
        data = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return data + QStringLiteral("/kr4720/backups");
}

BackupSave saveBackup(const QString& what, const QByteArray& bytes, const QDateTime& when) {
    const QString folder = backupsFolder();
    if (!QDir().mkpath(folder)) {
        return {{}, QStringLiteral("cannot create %1").arg(folder)};
    }
    const QString path = folder + QLatin1Char('/') + when.toString(kBackupTimeFormat) +
                         QLatin1Char('-') + what + QStringLiteral(".img");
    const QString error = saveWholeFile(path, bytes);
    return error.isEmpty() ? BackupSave{path, {}} : BackupSave{path, error};
}

} // namespace kr4720::platform
