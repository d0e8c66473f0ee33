#include "platform/text_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kr4720::platform {

namespace {

QString notPlainFile() {
    return QStringLiteral("这不是一个普通文件");
}

QString openWholeFile(QSaveFile& file) {
    // Replacing a file takes a name of this one plus 7 characters for the new
    // text, which a name near the file system's 255 bytes cannot take (Qt says
    // "Unknown error"). Such a name is refused also while no file has it, or
    // a save that worked once would fail every time after.
    if (QFile::encodeName(QFileInfo(file.fileName()).fileName()).size() > 255 - 7) {
        return QStringLiteral("文件名太长，请用短一点的名字（最多 248 个字节）");
    }
    // A device or FIFO would be replaced by a plain file (/dev/null, for root).
    if (const QFileInfo target(file.fileName()); target.exists() && !target.isFile()) {
        return notPlainFile();
    }
#ifdef Q_OS_UNIX
    // A loop of links would be replaced by a plain file.
    if (struct stat status{};
        ::stat(QFile::encodeName(file.fileName()).constData(), &status) != 0 && errno == ELOOP) {
        return QStringLiteral("这是一个循环的符号链接");
    }
#endif
    // No channel set is ever saved over a database (the working copy's
    // tw8810.mdb named as the output by mistake).
    if (isDatabaseFile(file.fileName())) {
        return QStringLiteral("这是数据库文件，不能用来保存");
    }
    // Unbuffered: a write that fails (a full disk) fails here, where QSaveFile
    // notices it. A buffered write would fail only in commit(), which then
    // renames the empty temporary file over the old one all the same.
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ? QString() : file.errorString();
}

} // namespace

QString makeFolder(const QString& path) {
    namespace fs = std::filesystem;
    std::error_code made;
    const fs::path folder = QFile::encodeName(path).toStdString();
    fs::create_directories(folder, made);
    if (!made) {
        return {};
    }
    // A link to a folder on a stick that is not plugged in, or one that leads
    // back to itself: the system only says that the name exists.
    for (fs::path part = folder; part.has_relative_path(); part = part.parent_path()) {
        std::error_code ignored;
        std::error_code loop;
        if (fs::is_symlink(part, ignored) && !fs::exists(part, loop)) {
            const QString link = QFile::decodeName(part.c_str());
            return loop.value() == ELOOP
                       ? QStringLiteral("%1 是一个循环的符号链接").arg(link)
                       : QStringLiteral("%1 是一个符号链接，它指向的 %2 不存在")
                             .arg(link, QFile::decodeName(fs::read_symlink(part, ignored).c_str()));
        }
    }
    return QString::fromLocal8Bit(made.message());
}

bool isDatabaseFile(const QString& path) {
    static constexpr char kHeader[] = "SQLite format 3"; // and its NUL: 16 bytes
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
           file.read(sizeof kHeader) == QByteArray(kHeader, sizeof kHeader);
}

QString checkWholeFileSave(const QString& path) {
    QSaveFile file(path); // its temporary file goes with it
    if (QString failure = openWholeFile(file); !failure.isEmpty()) {
        return failure;
    }
    // A full disk still lets the empty file be made; a block more than any
    // channel set needs must go in too.
    const QByteArray block(4096, '\0');
    return file.write(block) == block.size() ? QString() : file.errorString();
}

QString saveWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (QString failure = openWholeFile(file); !failure.isEmpty()) {
        return failure;
    }
    const auto cancel = [&file] {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    };
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        return cancel();
    }
#ifdef Q_OS_UNIX
    // The new file takes the old one's place with its mode and, saved by root
    // (sudo), its owner: a read-only file stays read-only, a user's file the user's.
    if (struct stat old{}; ::stat(QFile::encodeName(path).constData(), &old) == 0) {
        (void)::fchown(file.handle(), old.st_uid, old.st_gid); // refused unless root
        ::fchmod(file.handle(), old.st_mode & 07777);
    }
    // commit() syncs too but ignores the result; a file system that reports a
    // lost write only at sync or close must not get to replace the old file.
    if (::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return QString::fromLocal8Bit(std::strerror(errno));
    }
#endif
    if (!file.commit()) {
        return file.errorString();
    }
#ifdef Q_OS_UNIX
    // The new name is on the disk once its folder is: a backup must outlive a
    // power cut just after the write it was kept for.
    if (const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
#endif
    return {};
}

FileStart readFileStart(const QString& path, qint64 limit) {
    FileStart start;
    // A FIFO or a device would block in open() or never end: only regular
    // files (or links to one) are opened.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        start.notRegular = true;
        start.error = notPlainFile();
        return start;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        start.error = file.errorString();
        return start;
    }
    // A read error (a failing stick, a share gone) ends a read short with no
    // error of its own: read on until the end, where the error shows.
    while (start.bytes.size() <= limit) {
        const QByteArray more = file.read(limit + 1 - start.bytes.size());
        if (more.isEmpty()) {
            break;
        }
        start.bytes += more;
    }
    if (file.error() != QFileDevice::NoError) {
        start.error = file.errorString();
        start.bytes.clear();
        return start;
    }
    start.opened = true;
    start.tooLarge = start.bytes.size() > limit;
    start.bytes.truncate(limit);
    return start;
}

bool sameFile(const QString& one, const QString& other) {
    const QFileInfo a(one);
    const QFileInfo b(other);
    return a.exists() && b.exists() ? a.canonicalFilePath() == b.canonicalFilePath()
                                    : a.absoluteFilePath() == b.absoluteFilePath();
}

} // namespace kr4720::platform
