#include "platform/text_files.h"

#include <QFile>
#include <QSaveFile>

namespace kr4720::platform {

QString saveWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

FileStart readFileStart(const QString& path, qint64 limit) {
    FileStart start;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        start.error = file.errorString();
        return start;
    }
    start.opened = true;
    start.bytes = file.read(limit);
    return start;
}

} // namespace kr4720::platform
