#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLatin1StringView>
#include <QString>

namespace kr4720::platform {

// Where both programs keep the radio images saved around transfers:
// $XDG_DATA_HOME/kr4720/backups, or ~/.local/share/kr4720/backups when the
// variable is unset, empty or not an absolute path.
QString backupsFolder();

// Where the window keeps its databases when started from the desktop menu
// (`kr4720 --menu`): ~/.local/share/kr4720, whatever folder the menu starts it
// in. The home folder is found as for the backups.
QString menuDatabaseFolder();

// The time at the start of a backup's name; its text sorts as the time does.
inline constexpr QLatin1StringView kBackupTimeFormat{"yyyy-MM-dd_HH-mm-ss"};

struct BackupSave {
    QString path;  // the file written, or the one that could not be
    QString error; // why nothing was written; empty on success
    bool ok() const { return error.isEmpty(); }
};

// Saves a radio image as "YYYY-MM-DD_HH-MM-SS-<what>.img" in the backups
// folder, making the folder when needed; "…-<what>-2.img" and so on when
// that name is taken. The file holds the whole image or is removed; a crash
// in the middle can leave it empty, never part-written.
BackupSave saveBackup(const QString& what, const QByteArray& bytes,
                      const QDateTime& when = QDateTime::currentDateTime());

} // namespace kr4720::platform
