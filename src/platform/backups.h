#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kr4720::platform {

// Where both programs keep the radio images saved around transfers:
// $XDG_DATA_HOME/kr4720/backups, or ~/.local/share/kr4720/backups when the
// variable is unset or empty.
QString backupsFolder();

struct BackupSave {
    QString path;  // the file written
    QString error; // why nothing was written; empty on success
    bool ok() const { return error.isEmpty(); }
};

// Saves a radio image as "YYYY-MM-DD_HH-MM-SS-<what>.img" in the backups
// folder, making the folder when needed. The file appears whole or not at all.
BackupSave saveBackup(const QString& what, const QByteArray& bytes,
                      const QDateTime& when = QDateTime::currentDateTime());

} // namespace kr4720::platform
