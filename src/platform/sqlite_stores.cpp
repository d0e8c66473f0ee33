#include "platform/sqlite_stores.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <atomic>
#include <limits>

namespace kr4720::platform {
namespace {

QString quoted(const QString& identifier) {
    QString escaped = identifier;
    escaped.replace('"', "\"\"");
    return '"' + escaped + '"';
}

QVariant toVariant(const FieldValue& value) {
    return value ? QVariant(QString::fromStdString(*value))
                 : QVariant(QMetaType(QMetaType::QString));
}

FieldValue fromVariant(const QVariant& value) {
    if (value.isNull()) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("kr4720-store-%1").arg(++counter);
}

// SQLite's words for the usual reasons a file cannot be used, with the
// reason in Chinese in front: "磁盘已满（database or disk is full）".
QString explained(const QString& words) {
    static const std::pair<QLatin1StringView, const char*> kReasons[] = {
        {QLatin1StringView("database or disk is full"), "磁盘已满"},
        {QLatin1StringView("database is locked"), "正被其它程序使用"},
        {QLatin1StringView("database table is locked"), "正被其它程序使用"},
        {QLatin1StringView("attempt to write a readonly database"), "文件不能写入"},
        {QLatin1StringView("access permission denied"), "没有使用权限"},
        {QLatin1StringView("disk I/O error"), "读写磁盘出错"},
        {QLatin1StringView("database disk image is malformed"), "文件已损坏"},
        {QLatin1StringView("unable to open database file"), "无法打开文件"},
        {QLatin1StringView("file is not a database"), "不是数据库文件"},
    };
    for (const auto& [english, chinese] : kReasons) {
        if (words.startsWith(english)) {
            return QStringLiteral("%1（%2）").arg(QString::fromUtf8(chinese), words);
        }
    }
    return words;
}

// A store the database refused: the file's name and the reason. A file
// moved or deleted under the window (its folder renamed, say) is said to be
// so: SQLite takes it for a read-only database.
DataError refusal(const QString& path, const QString& reason) {
    QString why = explained(reason);
    if (!QFileInfo::exists(path)) {
        why = reason.isEmpty() ? QStringLiteral("文件已被移动或删除")
                               : QStringLiteral("文件已被移动或删除（%1）").arg(reason);
    }
    return DataError(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), why).toStdString());
}

// SQLite's own words; Qt's (such as "无法获取行" for a refused change) only
// when SQLite gave none.
QString reasonOf(const QSqlError& error) {
    return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

QStringList namesOf(auto const& names) {
    QStringList list;
    for (auto name : names) {
        list << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return list;
}

} // namespace

StoreOpenError::StoreOpenError(const QString& file, const QString& problem, Kind kind,
                               const QString& detail)
    : std::runtime_error((file + ": " + problem).toStdString()), file_(file), problem_(problem),
      kind_(kind), detail_(detail) {}

Message storeOpenMessage(const StoreOpenError& error) {
    QString text;
    switch (error.kind()) {
    case StoreOpenError::Kind::Busy:
        text = QStringLiteral("数据库文件 %1 正被其它程序使用，请关闭那个程序后再启动本软件")
                   .arg(error.file());
        break;
    case StoreOpenError::Kind::Damaged:
        text = QStringLiteral("数据库文件 %1 已损坏，无法使用").arg(error.file());
        break;
    case StoreOpenError::Kind::Unusable:
        text = QStringLiteral("数据库文件 %1 无法使用：%2").arg(error.file(), error.problem());
        break;
    }
    return {text, dataErrorTitle(), MessageIcon::Information, error.detail()};
}

SqliteTable::SqliteTable(const QString& path, const QString& table, int fieldCount, int minimumRows,
                         int maximumRows, const std::vector<std::vector<QVariant>>& defaultRows)
    // Named where it was opened: the window's folder renamed under it (the
    // current folder when started from a terminal) keeps no file there.
    : path_(QFileInfo(path).absoluteFilePath()), table_(table), fieldCount_(fieldCount),
      minimumRows_(minimumRows), maximumRows_(maximumRows), connection_(nextConnectionName()) {
    // SQLite takes names of up to 512 bytes, its journal's ("-journal" added)
    // too; a deeper folder would only get "unable to open database file".
    if (const qsizetype bytes = QFile::encodeName(path_).size(); bytes > 504) {
        fail(QStringLiteral("文件夹路径太长"), StoreOpenError::Kind::Unusable,
             QStringLiteral("%1 字节，最多 504 字节：%2").arg(bytes).arg(path_));
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    // A lock held by another program is not going away while the window
    // waits without a word: a second is plenty (Qt's default is five).
    const QString working = QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000");
    db.setConnectOptions(working);
    const QFileInfo file(path);
    // An empty file is what a first start stopped before its tables were
    // made leaves behind: there is nothing in it to keep.
    if (!file.exists() || (file.isFile() && file.size() == 0)) {
        createWithDefaults(defaultRows);
    } else if (!file.isFile() && !file.isDir()) {
        // A pipe or a device would hold the first read for good.
        fail(QStringLiteral("不是普通文件"), StoreOpenError::Kind::Unusable, {});
    } else {
        // Look at an existing file read-only first, so that a file we cannot
        // use is never touched.
        const QString readOnly = QStringLiteral("QSQLITE_OPEN_READONLY;") + working;
        const auto reopen = [&](const QString& options) {
            db.close();
            db.setConnectOptions(options);
            if (!db.open()) {
                failOn(db.lastError(), QStringLiteral("无法打开"));
            }
        };
        reopen(readOnly);
        // A save cut off by a crash or a power cut left its journal beside
        // the file (SQLITE_READONLY_ROLLBACK): SQLite puts back the file as it
        // was before that save, which a read-only connection cannot do.
        const QString look = QStringLiteral("SELECT count(*) FROM sqlite_master");
        if (QSqlQuery query(db);
            !query.exec(look) && query.lastError().nativeErrorCode().toInt() == 776) {
            reopen(working);
            if (QSqlQuery rollBack(db); !rollBack.exec(look)) {
                failOn(rollBack.lastError(), QStringLiteral("无法打开"));
            }
            reopen(readOnly);
        }
        load();
        db.close();
        db.setConnectOptions(working);
    }
    if (!db.isOpen() && !db.open()) {
        failOn(db.lastError(), QStringLiteral("无法打开"));
    }
}

SqliteTable::~SqliteTable() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

void SqliteTable::fail(const QString& problem, StoreOpenError::Kind kind,
                       const QString& detail) const {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    throw StoreOpenError(QFileInfo(path_).fileName(), problem, kind, detail);
}

void SqliteTable::failOn(const QSqlError& error, const QString& problem) const {
    // SQLite's primary result codes: SQLITE_BUSY, SQLITE_LOCKED, SQLITE_CORRUPT.
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    if (code == 5 || code == 6) {
        fail(QStringLiteral("正被其它程序使用"), StoreOpenError::Kind::Busy, reasonOf(error));
    }
    if (code == 11) {
        fail(QStringLiteral("文件已损坏"), StoreOpenError::Kind::Damaged, reasonOf(error));
    }
    fail(problem, StoreOpenError::Kind::Unusable, reasonOf(error));
}

void SqliteTable::createWithDefaults(const std::vector<std::vector<QVariant>>& defaultRows) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const auto abandon = [&](const QString& detail) {
        db.close();
        QFile::remove(path_);
        fail(QStringLiteral("无法创建"), StoreOpenError::Kind::Unusable, explained(detail));
    };
    if (!db.open() || !db.transaction()) {
        abandon(reasonOf(db.lastError()));
    }
    const QStringList names = fieldCount_ == kChannelFieldCount ? namesOf(kChannelFieldNames)
                                                                : namesOf(kEmergencyFieldNames);
    QStringList definitions;
    QStringList placeholders;
    for (const QString& name : names) {
        definitions << quoted(name) + QStringLiteral(" TEXT");
        placeholders << QStringLiteral("?");
    }
    QSqlQuery query(db);
    if (!query.exec(
            QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table_), definitions.join(", ")))) {
        abandon(reasonOf(query.lastError()));
    }
    query.prepare(
        QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(quoted(table_), placeholders.join(", ")));
    for (const auto& row : defaultRows) {
        for (const QVariant& value : row) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            abandon(reasonOf(query.lastError()));
        }
    }
    if (!db.commit()) {
        abandon(reasonOf(db.lastError()));
    }
    load();
}

void SqliteTable::load() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table_)))) {
        failOn(query.lastError(), QStringLiteral("不是可用的数据库文件"));
    }
    columns_.clear();
    while (query.next()) {
        columns_ << query.value(1).toString();
    }
    if (columns_.isEmpty()) {
        fail(QStringLiteral("找不到表 %1").arg(table_));
    }
    if (columns_.size() < fieldCount_) {
        fail(QStringLiteral("表 %1 只有 %2 个字段，需要 %3 个")
                 .arg(table_)
                 .arg(columns_.size())
                 .arg(fieldCount_));
    }
    columns_ = columns_.mid(0, fieldCount_);
    QStringList selected;
    for (const QString& column : columns_) {
        selected << quoted(column);
    }
    // A damaged file may still show a table, with rows missing: check the
    // whole file before believing what it holds.
    if (!query.exec(QStringLiteral("PRAGMA quick_check"))) {
        failOn(query.lastError(), QStringLiteral("文件已损坏"));
    }
    QStringList findings;
    while (query.next()) {
        findings << query.value(0).toString();
    }
    if (findings != QStringList{QStringLiteral("ok")}) {
        fail(QStringLiteral("文件已损坏"), StoreOpenError::Kind::Damaged,
             findings.mid(0, 3).join('\n'));
    }
    if (!query.exec(QStringLiteral("SELECT rowid, %1 FROM %2 ORDER BY rowid")
                        .arg(selected.join(", "), quoted(table_)))) {
        failOn(query.lastError(), QStringLiteral("无法读取表 %1").arg(table_));
    }
    rowIds_.clear();
    rows_.clear();
    while (query.next()) {
        rowIds_.push_back(query.value(0).toLongLong());
        std::vector<FieldValue> row;
        for (int i = 0; i < fieldCount_; ++i) {
            row.push_back(fromVariant(query.value(i + 1)));
        }
        rows_.push_back(std::move(row));
    }
    if (rowCount() < minimumRows_) {
        fail(QStringLiteral("表 %1 只有 %2 行，需要 %3 行")
                 .arg(table_)
                 .arg(rowCount())
                 .arg(minimumRows_));
    }
    // A row more would shift every channel after it on the way to the radio.
    if (rowCount() > maximumRows_) {
        fail(QStringLiteral("表 %1 有 %2 行，只能有 %3 行")
                 .arg(table_)
                 .arg(rowCount())
                 .arg(maximumRows_));
    }
}

const FieldValue& SqliteTable::value(int row, int column) const {
    return rows_.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(column));
}

QString SqliteTable::update(const QSqlDatabase& db, const QString& schema, int row,
                            const std::vector<FieldValue>& fields) const {
    QStringList assignments;
    for (const QString& column : columns_) {
        assignments << quoted(column) + QStringLiteral(" = ?");
    }
    QSqlQuery query(db);
    // A locked or vanished table fails already here, with the reason to show.
    if (!query.prepare(QStringLiteral("UPDATE %1.%2 SET %3 WHERE rowid = ?")
                           .arg(quoted(schema), quoted(table_), assignments.join(", ")))) {
        return reasonOf(query.lastError());
    }
    for (const FieldValue& field : fields) {
        query.addBindValue(toVariant(field));
    }
    query.addBindValue(rowIds_.at(static_cast<std::size_t>(row)));
    if (!query.exec()) {
        return reasonOf(query.lastError());
    }
    if (query.numRowsAffected() != 1) {
        // Another program deleted the row.
        return QStringLiteral("表 %1 中找不到第 %2 行").arg(table_).arg(row + 1);
    }
    return {};
}

void SqliteTable::store(int row, const std::vector<FieldValue>& fields) {
    const QString failure =
        update(QSqlDatabase::database(connection_, false), QStringLiteral("main"), row, fields);
    if (!failure.isEmpty()) {
        throw refusal(path_, failure);
    }
    rows_[static_cast<std::size_t>(row)] = fields;
}

void SqliteTable::storeRows(const std::vector<std::vector<FieldValue>>& rows) {
    storeInOneTransaction(rows, nullptr, 0, {});
}

void SqliteTable::storeRowsWith(const std::vector<std::vector<FieldValue>>& rows,
                                SqliteTable& partner, int partnerRow,
                                const std::vector<FieldValue>& partnerFields) {
    if (!partnerAttached_) {
        // ATTACH would make an empty database of a file that has gone.
        if (!QFileInfo(partner.path_).isFile()) {
            throw refusal(partner.path_, QFileInfo::exists(partner.path_)
                                             ? QStringLiteral("不是普通文件")
                                             : QString());
        }
        QSqlQuery attach(QSqlDatabase::database(connection_, false));
        attach.prepare(QStringLiteral("ATTACH DATABASE ? AS partner"));
        attach.addBindValue(partner.path_);
        if (!attach.exec()) {
            throw refusal(partner.path_, reasonOf(attach.lastError()));
        }
        partnerAttached_ = true;
    }
    storeInOneTransaction(rows, &partner, partnerRow, partnerFields);
}

void SqliteTable::storeInOneTransaction(const std::vector<std::vector<FieldValue>>& rows,
                                        SqliteTable* partner, int partnerRow,
                                        const std::vector<FieldValue>& partnerFields) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        throw refusal(path_, reasonOf(db.lastError()));
    }
    QString failure;
    QString failedPath = path_;
    for (std::size_t row = 0; row < rows.size() && failure.isEmpty(); ++row) {
        failure = update(db, QStringLiteral("main"), static_cast<int>(row), rows[row]);
    }
    if (failure.isEmpty() && partner != nullptr) {
        failure = partner->update(db, QStringLiteral("partner"), partnerRow, partnerFields);
        failedPath = partner->path_;
    }
    if (failure.isEmpty() && !db.commit()) {
        failure = reasonOf(db.lastError());
        failedPath = path_;
    }
    if (!failure.isEmpty()) {
        db.rollback();
        throw refusal(failedPath, failure);
    }
    std::copy(rows.begin(), rows.end(), rows_.begin());
    if (partner != nullptr) {
        partner->rows_[static_cast<std::size_t>(partnerRow)] = partnerFields;
    }
}

namespace {

std::vector<std::vector<QVariant>> defaultChannelRows() {
    std::vector<std::vector<QVariant>> rows;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        std::vector<QVariant> row(kChannelFieldCount, QVariant(QMetaType(QMetaType::QString)));
        row[channel_field::kNumber] = QString::number(channel);
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::vector<QVariant>> defaultEmergencyRows() {
    return {{QString(""), QString(""), QStringLiteral("off")}};
}

} // namespace

SqliteChannelTable::SqliteChannelTable(const QString& path, QObject* parent)
    : QObject(parent), table_(path, QString::fromUtf8(kChannelTableName.data()), kChannelFieldCount,
                              kChannelCount, kChannelCount, defaultChannelRows()) {}

void SqliteChannelTable::MoveFirst() {
    moveTo(0);
}

void SqliteChannelTable::MoveNext() {
    if (current_ < 0 || current_ >= rowCount()) {
        throw DataError("no current record");
    }
    moveTo(current_ + 1);
}

std::vector<std::vector<FieldValue>>
SqliteChannelTable::rowsToStore(const std::array<ChannelRow, kChannelCount>& rows) const {
    std::vector<std::vector<FieldValue>> stored;
    for (int row = 0; row < kChannelCount; ++row) {
        std::vector<FieldValue> fields(1, table_.value(row, channel_field::kNumber));
        const ChannelRow& from = rows[static_cast<std::size_t>(row)];
        fields.insert(fields.end(), from.begin() + 1, from.end());
        stored.push_back(std::move(fields));
    }
    return stored;
}

void SqliteChannelTable::reloadAll() {
    current_ = -1;
    moveTo(0);
    for (int row = 0; row < kChannelCount; ++row) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            emit valueChanged(row, field);
        }
    }
}

void SqliteChannelTable::replaceRows(const std::array<ChannelRow, kChannelCount>& rows) {
    // A change pending in the current row is stored first, on its own, as a
    // move would store it.
    storePending();
    table_.storeRows(rowsToStore(rows));
    reloadAll();
}

void SqliteChannelTable::replaceRowsAndEmergency(const std::array<ChannelRow, kChannelCount>& rows,
                                                 EmergencyCursor& emergency,
                                                 const EmergencyRow& fields) {
    auto* table = dynamic_cast<SqliteEmergencyTable*>(&emergency);
    if (table == nullptr) {
        ChannelCursor::replaceRowsAndEmergency(rows, emergency, fields);
        return;
    }
    storePending();
    table_.storeRowsWith(rowsToStore(rows), table->table_, 0,
                         std::vector<FieldValue>(fields.begin(), fields.end()));
    reloadAll();
    table->MoveFirst();
    emit table->recordSaved();
}

void SqliteChannelTable::checkCurrent(int index) const {
    if (current_ < 0 || current_ >= rowCount()) {
        throw DataError("no current record");
    }
    if (index < 0 || index >= kChannelFieldCount) {
        throw DataError("no such field");
    }
}

FieldValue SqliteChannelTable::field(int index) const {
    checkCurrent(index);
    return pending_[static_cast<std::size_t>(index)];
}

void SqliteChannelTable::setField(int index, const FieldValue& value) {
    checkCurrent(index);
    pending_[static_cast<std::size_t>(index)] = value;
    dirty_ = true;
    emit valueChanged(current_, index);
}

FieldValue SqliteChannelTable::value(int row, int column) const {
    if (row == current_ && row >= 0 && row < rowCount()) {
        return pending_.at(static_cast<std::size_t>(column));
    }
    return table_.value(row, column);
}

void SqliteChannelTable::moveTo(int row) {
    if (row == current_) {
        return;
    }
    if (row < 0 || row > rowCount()) {
        throw DataError("no such row");
    }
    storePending();
    current_ = row;
    pending_.clear();
    if (row < rowCount()) {
        for (int i = 0; i < kChannelFieldCount; ++i) {
            pending_.push_back(table_.value(row, i));
        }
    }
    emit currentRowChanged(current_);
}

void SqliteChannelTable::storePending() {
    if (dirty_ && current_ >= 0 && current_ < rowCount()) {
        table_.store(current_, pending_);
    }
    dirty_ = false;
}

SqliteEmergencyTable::SqliteEmergencyTable(const QString& path, QObject* parent)
    : QObject(parent),
      table_(path, QString::fromUtf8(kEmergencyTableName.data()), kEmergencyFieldCount, 1,
             std::numeric_limits<int>::max(), defaultEmergencyRows()) {
    MoveFirst();
}

void SqliteEmergencyTable::MoveFirst() {
    editing_ = false;
    buffer_.clear();
    for (int i = 0; i < kEmergencyFieldCount; ++i) {
        buffer_.push_back(table_.value(0, i));
    }
}

void SqliteEmergencyTable::Edit() {
    MoveFirst();
    editing_ = true;
}

FieldValue SqliteEmergencyTable::field(int index) const {
    if (index < 0 || index >= kEmergencyFieldCount) {
        throw DataError("no such field");
    }
    return buffer_[static_cast<std::size_t>(index)];
}

void SqliteEmergencyTable::setField(int index, const FieldValue& value) {
    if (!editing_) {
        throw DataError("the record is not open for change");
    }
    if (index < 0 || index >= kEmergencyFieldCount) {
        throw DataError("no such field");
    }
    buffer_[static_cast<std::size_t>(index)] = value;
}

void SqliteEmergencyTable::saveRecord() {
    if (!editing_) {
        throw DataError("the record is not open for change");
    }
    table_.store(0, buffer_);
    editing_ = false;
    emit recordSaved();
}

} // namespace kr4720::platform
