#pragma once

#include <QByteArray>
#include <QString>

namespace kr4720::platform {

// Replaces the file only once the whole text is written (a temporary file
// beside it, then a rename); the old file stays as it was on any failure,
// also one at flush, sync or close. A folder, device or FIFO of that name is
// refused. Returns the reason on failure, an empty text on success.
QString saveWholeFile(const QString& path, const QByteArray& bytes);
// The refusal saveWholeFile(path) of a small file would meet (the folder
// missing or not writable, a name that is not a plain file, a full disk),
// before any work that would then be lost. Leaves nothing behind.
QString checkWholeFileSave(const QString& path);

// Whether the file is an SQLite database (such as the window's tw8810.mdb).
bool isDatabaseFile(const QString& path);

// Makes a folder and the folders above it when missing. Returns the system's
// reason when it cannot, an empty text otherwise.
QString makeFolder(const QString& path);

// Whether two names lead to the same file (links and "./" followed); for a
// name that does not exist yet, whether the names are the same path.
bool sameFile(const QString& one, const QString& other);

struct FileStart {
    bool opened = false;     // opened and read to its end or the limit
    bool notRegular = false; // a folder, FIFO, device or socket: never opened
    QString error;           // why it was not opened or read: the system's words, or ours
    QByteArray bytes;        // at most the limit
    bool tooLarge = false;   // the file goes on past the limit
};
// The first `limit` bytes of a file, so that no file can exhaust memory.
FileStart readFileStart(const QString& path, qint64 limit);

} // namespace kr4720::platform
