#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// Reads or changes a database file past the store under test, on a
// connection of its own.
inline QVariant storedValue(const QString& path, const QString& sql) {
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peek");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        if (query.exec(sql) && query.next()) {
            result = query.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("peek");
    return result;
}

// `beforeClose` runs while a transaction the statements began is still open.
inline bool runSql(const QString& path, const QStringList& statements,
                   const std::function<void()>& beforeClose = {}) {
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "setup");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        for (const QString& statement : statements) {
            ok = query.exec(statement) && ok;
        }
        if (beforeClose) {
            beforeClose();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("setup");
    return ok;
}

// Makes every change to 信道表, or the ones `when` picks, fail as a locked
// database does, until the trigger "busy" is dropped.
inline bool lockChannelTable(const QString& path, const QString& when = {}) {
    return runSql(path, {"CREATE TRIGGER busy BEFORE UPDATE ON 信道表 " + when +
                         " BEGIN SELECT RAISE(ABORT, 'database is locked'); END"});
}

// Field `field` (0 to 9) of channel row `row` (1 to 16) as stored.
inline QVariant storedChannelField(const QString& path, int row, int field) {
    static const QStringList names = {"信道号", "接收频率",   "收哑音", "收数字哑音", "发送频率",
                                      "发哑音", "发数字哑音", "扫描",   "BCL",        "拍频"};
    return storedValue(path, QString("SELECT %1 FROM 信道表 ORDER BY rowid LIMIT 1 OFFSET %2")
                                 .arg(names.at(field))
                                 .arg(row - 1));
}
