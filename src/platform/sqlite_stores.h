#pragma once

#include "channel_data/channel_cursor.h"
#include "platform/message_box.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <stdexcept>
#include <vector>

namespace kr4720::platform {

// A database file that exists but cannot be used. It is left untouched; the
// message names the file and what is wrong with it.
class StoreOpenError : public std::runtime_error {
public:
    enum class Kind {
        Unusable, // not a database, or not the tables this program keeps
        Busy,     // another program holds a lock on it
        Damaged,  // SQLite's quick check finds it broken
    };
    // `problem` is in Chinese; `detail` holds SQLite's own words, if any.
    StoreOpenError(const QString& file, const QString& problem, Kind kind = Kind::Unusable,
                   const QString& detail = {});
    QString file() const { return file_; }
    QString problem() const { return problem_; }
    Kind kind() const { return kind_; }
    QString detail() const { return detail_; }

private:
    QString file_;
    QString problem_;
    Kind kind_;
    QString detail_;
};

// The message shown when a database file cannot be used at start-up; SQLite's
// own words go on the second line.
Message storeOpenMessage(const StoreOpenError& error);

// One SQLite connection to a table whose rows are addressed by stored
// position (rowid order) and whose fields are addressed by column position.
// A table with fewer than `minimumRows` rows, or more than `maximumRows`, is
// refused.
class SqliteTable {
public:
    SqliteTable(const QString& path, const QString& table, int fieldCount, int minimumRows,
                int maximumRows, const std::vector<std::vector<QVariant>>& defaultRows);
    ~SqliteTable();
    SqliteTable(const SqliteTable&) = delete;
    SqliteTable& operator=(const SqliteTable&) = delete;

    int rowCount() const { return static_cast<int>(rows_.size()); }
    const FieldValue& value(int row, int column) const;
    // Stores the given fields of a row; throws DataError and keeps the old
    // values when the database refuses.
    void store(int row, const std::vector<FieldValue>& fields);
    // Stores rows 0 to rows.size() - 1 in one transaction: all of them, or
    // (throwing DataError) none.
    void storeRows(const std::vector<std::vector<FieldValue>>& rows);
    // Stores rows as storeRows does and row `partnerRow` of `partner`, a
    // table in another file, in one transaction: SQLite commits both files or
    // neither, also when the program dies half-way.
    void storeRowsWith(const std::vector<std::vector<FieldValue>>& rows, SqliteTable& partner,
                       int partnerRow, const std::vector<FieldValue>& partnerFields);

private:
    // The transaction of storeRows, with the partner's row too when there is one.
    void storeInOneTransaction(const std::vector<std::vector<FieldValue>>& rows,
                               SqliteTable* partner, int partnerRow,
                               const std::vector<FieldValue>& partnerFields);
    // Updates a row through connection `db`, where this table's file is
    // `schema`. Returns why it could not, empty when it did.
    QString update(const QSqlDatabase& db, const QString& schema, int row,
                   const std::vector<FieldValue>& fields) const;
    void createWithDefaults(const std::vector<std::vector<QVariant>>& defaultRows);
    void load();
    [[noreturn]] void fail(const QString& problem,
                           StoreOpenError::Kind kind = StoreOpenError::Kind::Unusable,
                           const QString& detail = {}) const;
    // Fails with the right kind for an error met while looking at the file.
    [[noreturn]] void failOn(const QSqlError& error, const QString& problem) const;

    QString path_;
    QString table_;
    int fieldCount_;
    int minimumRows_;
    int maximumRows_;
    QString connection_;
    bool partnerAttached_ = false;
    QStringList columns_;
    std::vector<qint64> rowIds_;
    std::vector<std::vector<FieldValue>> rows_;
};

// The channel table 信道表 in tw8810.mdb behind the shared channel cursor.
// The grid binds to it: it says when the current row or a value changes, and
// selects rows through moveTo().
class SqliteChannelTable : public QObject, public ChannelCursor {
    Q_OBJECT
public:
    explicit SqliteChannelTable(const QString& path, QObject* parent = nullptr);

    void MoveFirst() override;
    void MoveNext() override;
    FieldValue field(int index) const override;
    void setField(int index, const FieldValue& value) override;
    // One transaction for all 16 rows: a refusal keeps every row as it was.
    void replaceRows(const std::array<ChannelRow, kChannelCount>& rows) override;
    // With the emergency table of this program: one commit over both files.
    void replaceRowsAndEmergency(const std::array<ChannelRow, kChannelCount>& rows,
                                 EmergencyCursor& emergency, const EmergencyRow& fields) override;

    int rowCount() const { return table_.rowCount(); }
    FieldValue value(int row, int column) const override;
    // -1 before the first move; rowCount() once the cursor has passed the last row.
    int currentRow() const override { return current_; }
    // Makes a row current, storing the change pending in the row it leaves.
    void moveTo(int row);
    // Stores the change pending in the current row, if any.
    void storePending() override;

signals:
    void currentRowChanged(int row);
    void valueChanged(int row, int column);

private:
    void checkCurrent(int index) const;
    // Fields 1 to 9 of `rows` behind each row's own channel number.
    std::vector<std::vector<FieldValue>>
    rowsToStore(const std::array<ChannelRow, kChannelCount>& rows) const;
    // After every row may have changed: back to row 1, and the grid told.
    void reloadAll();

    SqliteTable table_;
    int current_ = -1;
    std::vector<FieldValue> pending_;
    bool dirty_ = false;
};

// The emergency table 紧急信道 in tw8810X.mdb behind the emergency cursor.
class SqliteEmergencyTable : public QObject, public EmergencyCursor {
    Q_OBJECT
public:
    explicit SqliteEmergencyTable(const QString& path, QObject* parent = nullptr);

    void MoveFirst() override;
    void Edit() override;
    FieldValue field(int index) const override;
    void setField(int index, const FieldValue& value) override;
    void saveRecord() override;

signals:
    void recordSaved();

private:
    friend class SqliteChannelTable; // stores the row together with the channels
    SqliteTable table_;
    std::vector<FieldValue> buffer_;
    bool editing_ = false;
};

} // namespace kr4720::platform
