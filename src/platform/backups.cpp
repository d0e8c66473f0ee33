#include "platform/backups.h"

#include "platform/text_files.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include "platform/account.h"
#endif

namespace kr4720::platform {

namespace {

// Without HOME (a service, `env -i`) Qt answers "/", which would put backups
// at the top of the file system: the account's own home folder is used then.
QString homeFolder() {
    QString home = qEnvironmentVariable("HOME");
#ifdef Q_OS_UNIX
    if (QDir::isRelativePath(home)) {
        if (const auto account = currentAccount()) {
            home = QFile::decodeName(account->home.c_str());
        }
    }
#endif
    return QDir::isRelativePath(home) ? QDir::homePath() : QDir::cleanPath(home);
}

} // namespace

QString backupsFolder() {
    // A relative path is not a place: it would put backups wherever the
    // program happens to be started.
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isRelativePath(data)) {
        data = homeFolder() + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(data + QStringLiteral("/kr4720/backups"));
}

QString menuDatabaseFolder() {
    return homeFolder() + QStringLiteral("/.local/share/kr4720");
}

BackupSave saveBackup(const QString& what, const QByteArray& bytes, const QDateTime& when) {
    const QString folder = backupsFolder();
    const QString stem =
        folder + QLatin1Char('/') + when.toString(kBackupTimeFormat) + QLatin1Char('-') + what;
    if (const QString reason = makeFolder(folder); !reason.isEmpty()) {
        return {stem + QStringLiteral(".img"),
                QStringLiteral("无法创建文件夹 %1：%2").arg(folder, reason)};
    }
    // Two backups of one second and one name (two cables whose devices share
    // a name, two reads within a second) each keep a file: a name is taken by
    // creating the file, which only one of them can do, and the next is tried.
    for (int copy = 1;; ++copy) {
        const QString path = stem + (copy == 1 ? QString() : QStringLiteral("-%1").arg(copy)) +
                             QStringLiteral(".img");
        QFile name(path);
        if (!name.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (name.exists()) {
                continue;
            }
            return {path, name.errorString()};
        }
        name.close();
        const QString error = saveWholeFile(path, bytes);
        if (!error.isEmpty()) {
            QFile::remove(path);
        }
        return {path, error};
    }
}

} // namespace kr4720::platform
