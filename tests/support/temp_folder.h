#pragma once

#include <QFile>
#include <QTemporaryDir>

// A fresh folder per test for the database files.
class TempFolder : public QTemporaryDir {
public:
    QString file(const QString& name) const { return filePath(name); }

    QByteArray read(const QString& name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly)) {
            f.write(bytes);
        }
    }
};
