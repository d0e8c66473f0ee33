#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "platform/sqlite_stores.h"
#include "support/sqlite_peek.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kr4720;
using namespace kr4720::platform;

namespace {

// A channel table whose rows hold the channel numbers `count` down to 1.
QStringList channelTableSql(int count) {
    QStringList sql{
        "CREATE TABLE 信道表 (信道号 TEXT, 接收频率 TEXT, 收哑音 TEXT, 收数字哑音 TEXT, "
        "发送频率 TEXT, 发哑音 TEXT, 发数字哑音 TEXT, 扫描 TEXT, BCL TEXT, 拍频 TEXT)"};
    for (int i = count; i >= 1; --i) {
        sql << QString("INSERT INTO 信道表 (信道号, 接收频率) VALUES ('%1', '4%1')").arg(i);
    }
    return sql;
}

} // namespace

TEST(ChannelStore, AMissingFileIsCreatedWithNullRowsAndAChangeIsStoredWhenTheRowIsLeft) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    SqliteChannelTable channels(path);
    ASSERT_EQ(channels.rowCount(), 16);
    EXPECT_EQ(storedValue(path, "SELECT count(*) FROM 信道表").toInt(), 16);
    // Rows left unchanged are not written: this walk would fail on the first.
    ASSERT_TRUE(runSql(
        path, {"CREATE TRIGGER busy BEFORE UPDATE ON 信道表 BEGIN SELECT RAISE(ABORT, 'x'); END"}));
    channels.MoveFirst();
    for (int row = 1; row <= 16; ++row) {
        EXPECT_EQ(channels.field(channel_field::kNumber), std::to_string(row));
        for (int field = 1; field < kChannelFieldCount; ++field) {
            EXPECT_EQ(channels.field(field), std::nullopt) << row << ' ' << field;
        }
        channels.MoveNext();
    }
    ASSERT_TRUE(runSql(path, {"DROP TRIGGER busy"}));
    // Past the last row nothing can be read or changed.
    EXPECT_THROW(channels.field(1), DataError);
    EXPECT_THROW(channels.setField(1, std::string("1")), DataError);
    EXPECT_THROW(channels.MoveNext(), DataError);

    channels.moveTo(1);
    channels.setField(channel_field::kReceiveFrequency, std::string("145.50000"));
    EXPECT_TRUE(storedChannelField(path, 2, channel_field::kReceiveFrequency).isNull());
    channels.MoveNext();
    EXPECT_EQ(storedChannelField(path, 2, channel_field::kReceiveFrequency).toString(),
              "145.50000");
    // Untouched fields stay Null, not empty.
    EXPECT_TRUE(storedChannelField(path, 2, channel_field::kReceiveTone).isNull());

    // A Null written back is stored as Null.
    channels.moveTo(9);
    channels.setField(channel_field::kNumber, std::nullopt);
    channels.storePending();
    EXPECT_TRUE(storedChannelField(path, 10, channel_field::kNumber).isNull());

    // A failed store keeps the change pending and reports it: a row that
    // another program deleted, a table it dropped.
    channels.setField(1, std::string("145.50000"));
    runSql(path, {"DELETE FROM 信道表 WHERE rowid = 10"});
    EXPECT_THAT([&] { channels.MoveNext(); },
                testing::ThrowsMessage<DataError>(testing::HasSubstr("找不到第 10 行")));
    runSql(path, {"DROP TABLE 信道表"});
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THAT([&] { channels.MoveNext(); },
                    testing::ThrowsMessage<DataError>(testing::HasSubstr("no such table")));
    }
    EXPECT_EQ(channels.currentRow(), 9);
    EXPECT_EQ(channels.field(1), "145.50000");
}

TEST(ChannelStore, RowsComeInStoredOrderWhateverTheirChannelNumbers) {
    TempFolder folder;
    ASSERT_TRUE(runSql(folder.file("tw8810.mdb"), channelTableSql(16)));
    SqliteChannelTable channels(folder.file("tw8810.mdb"));
    channels.MoveFirst();
    EXPECT_EQ(channels.field(0), "16");
    EXPECT_EQ(channels.field(1), "416");
    channels.moveTo(15);
    EXPECT_EQ(channels.field(0), "1");
}

TEST(ChannelStore, UnusableBusyOrDamagedFilesAreRefusedWithTheirMessageAndLeftUnchanged) {
    using Kind = StoreOpenError::Kind;
    // Bytes of the file to overwrite afterwards: offset and new value.
    using Damage = std::vector<std::pair<int, char>>;
    // The table's page cut down to one cell: one row where it held sixteen.
    const Damage cutTable = {{4096 + 3, 0}, {4096 + 4, 1}};
    // The schema page's type wiped: SQLite fails as it reads the schema.
    const Damage wipedSchema = {{100, 0}};
    struct Case {
        const char* what;
        QStringList sql; // none: a file that is no SQLite file
        QString file = "tw8810.mdb";
        Kind kind = Kind::Unusable;
        QString message = {}; // none: the problem follows the file's name
        Damage damage = {};
    };
    const std::vector<Case> cases = {
        {"not a database", {}},
        {"table missing", {"CREATE TABLE other (a TEXT)"}},
        {"columns missing", {"CREATE TABLE 信道表 (信道号 TEXT, 接收频率 TEXT)"}},
        {"fifteen rows", channelTableSql(15)},
        {"seventeen rows", channelTableSql(17)},
        {"emergency row missing",
         {"CREATE TABLE 紧急信道 (收频率 TEXT, 发频率 TEXT, 拍频 TEXT)"},
         "tw8810X.mdb"},
        {"busy", channelTableSql(16), "tw8810.mdb", Kind::Busy,
         "数据库文件 tw8810.mdb 正被其它程序使用，请关闭那个程序后再启动本软件"},
        {"damaged", channelTableSql(16), "tw8810.mdb", Kind::Damaged,
         "数据库文件 tw8810.mdb 已损坏，无法使用", cutTable},
        {"schema damaged", channelTableSql(16), "tw8810.mdb", Kind::Damaged,
         "数据库文件 tw8810.mdb 已损坏，无法使用", wipedSchema},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const QString path = folder.file(c.file);
        if (c.sql.isEmpty()) {
            folder.write(c.file, QByteArray("Standard Jet DB\0\1\2 this is no SQLite file", 42));
        } else {
            runSql(path, c.sql);
        }
        if (!c.damage.empty()) {
            QByteArray damaged = folder.read(c.file);
            ASSERT_GE(damaged.size(), 8192);
            for (const auto& [offset, value] : c.damage) {
                damaged[offset] = value;
            }
            folder.write(c.file, damaged);
        }
        const QByteArray before = folder.read(c.file);
        {
            // Another program holding the file in a transaction of its own.
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(path);
            ASSERT_TRUE(other.open());
            QSqlQuery query(other);
            ASSERT_TRUE(c.kind != Kind::Busy || query.exec("BEGIN EXCLUSIVE"));
            try {
                c.file.contains('X') ? (void)SqliteEmergencyTable(path)
                                     : (void)SqliteChannelTable(path);
                ADD_FAILURE() << "accepted";
            } catch (const StoreOpenError& error) {
                EXPECT_EQ(error.file(), c.file);
                EXPECT_EQ(error.kind(), c.kind);
                EXPECT_FALSE(error.problem().isEmpty());
                const platform::Message message = platform::storeOpenMessage(error);
                EXPECT_EQ(message.text, c.message.isEmpty() ? "数据库文件 " + c.file +
                                                                  " 无法使用：" + error.problem()
                                                            : c.message);
                EXPECT_TRUE(c.kind == Kind::Unusable || !message.informativeText.isEmpty());
            }
            query.exec("ROLLBACK");
            other.close();
        }
        QSqlDatabase::removeDatabase("other");
        EXPECT_EQ(folder.read(c.file), before);
        EXPECT_FALSE(QFile::exists(path + "-journal"));
    }
    // A pipe is refused at once, not waited on; an empty file, left by a
    // first start that was stopped, is made afresh.
    TempFolder folder;
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.file("tw8810.mdb")).constData(), 0600), 0);
    EXPECT_THROW(SqliteChannelTable(folder.file("tw8810.mdb")), StoreOpenError);
    folder.write("tw8810X.mdb", "");
    EXPECT_NO_THROW(SqliteEmergencyTable(folder.file("tw8810X.mdb")));
    // A save cut off by a crash leaves its journal beside the file, which is
    // then put back as it was before that save.
    TempFolder saving, crashed;
    runSql(saving.file("tw8810.mdb"),
           channelTableSql(16) + QStringList{"PRAGMA cache_size = 2", "BEGIN",
                                             "UPDATE 信道表 SET 接收频率 = '9'",
                                             "CREATE TABLE junk AS SELECT randomblob(150000)"},
           [&] {
               for (const QString name : {"tw8810.mdb", "tw8810.mdb-journal"}) {
                   QFile::copy(saving.file(name), crashed.file(name));
               }
           });
    EXPECT_EQ(SqliteChannelTable(crashed.file("tw8810.mdb")).value(0, 1), "416");
}

TEST(EmergencyStore, CreatedWithDefaultsAndChangedThroughEditAndSaveRecord) {
    TempFolder folder;
    const QString path = folder.file("tw8810X.mdb");
    SqliteEmergencyTable emergency(path);
    EXPECT_EQ(emergency.field(1), "");
    EXPECT_EQ(storedValue(path, "SELECT 拍频 FROM 紧急信道").toString(), "off");
    EXPECT_THROW(emergency.setField(0, std::string("450")), DataError);

    emergency.Edit();
    emergency.setField(0, std::string("450.5"));
    emergency.setField(2, std::nullopt);
    EXPECT_EQ(emergency.field(0), "450.5");
    EXPECT_EQ(storedValue(path, "SELECT 收频率 FROM 紧急信道").toString(), "");
    emergency.saveRecord();
    EXPECT_EQ(storedValue(path, "SELECT 收频率 FROM 紧急信道").toString(), "450.5");
    EXPECT_TRUE(storedValue(path, "SELECT 拍频 FROM 紧急信道").isNull());
    EXPECT_THROW(emergency.saveRecord(), DataError);

    const QString started = QDir::currentPath();
    QDir::setCurrent(folder.path()); // opened by its name in the current folder
    SqliteEmergencyTable reopened("tw8810X.mdb");
    EXPECT_EQ(reopened.field(0), "450.5");
    // A file whose folder was moved away under the window is named so, not
    // by SQLite's words for it (a read-only database).
    ASSERT_TRUE(runSql(path, {"CREATE TRIGGER busy BEFORE UPDATE ON 紧急信道 BEGIN "
                              "SELECT RAISE(ABORT, 'busy'); END"}));
    ASSERT_TRUE(QDir().rename(folder.path(), folder.path() + "-moved"));
    reopened.Edit();
    EXPECT_THAT([&] { reopened.saveRecord(); }, testing::ThrowsMessage<DataError>(testing::StrEq(
                                                    "tw8810X.mdb: 文件已被移动或删除（busy）")));
    ASSERT_TRUE(QDir().rename(folder.path() + "-moved", folder.path()));
    QDir::setCurrent(started);
}

// A read's channels and emergency row reach their two files together: when
// the emergency row is refused, and putting the channels back would be
// refused too (a full disk), neither file has changed.
TEST(EmergencyStore, ChannelsAndEmergencyRowAreStoredTogetherOrNotAtAll) {
    TempFolder folder;
    const QString channelsPath = folder.file("tw8810.mdb");
    const QString emergencyPath = folder.file("tw8810X.mdb");
    SqliteChannelTable channels(channelsPath);
    SqliteEmergencyTable emergency(emergencyPath);
    std::array<ChannelRow, kChannelCount> rows;
    rows.fill({std::nullopt, "145.5"}); // a receive frequency in every row
    ASSERT_TRUE(runSql(channelsPath,
                       {"CREATE TABLE n (c)",
                        "CREATE TRIGGER counted AFTER UPDATE ON 信道表 BEGIN "
                        "INSERT INTO n VALUES (1); END",
                        "CREATE TRIGGER full BEFORE UPDATE ON 信道表 WHEN (SELECT count(*) FROM n) "
                        ">= 16 BEGIN SELECT RAISE(ABORT, 'full'); END"}));
    ASSERT_TRUE(runSql(emergencyPath, {"CREATE TRIGGER busy BEFORE UPDATE ON 紧急信道 BEGIN "
                                       "SELECT RAISE(ABORT, 'busy'); END"}));
    const EmergencyRow fields{"450", "455", "on"};
    EXPECT_THAT([&] { channels.replaceRowsAndEmergency(rows, emergency, fields); },
                testing::ThrowsMessage<DataError>(testing::HasSubstr("tw8810X.mdb: busy")));
    EXPECT_TRUE(storedChannelField(channelsPath, 1, channel_field::kReceiveFrequency).isNull());
    EXPECT_EQ(channels.value(15, channel_field::kReceiveFrequency), std::nullopt);
    ASSERT_TRUE(runSql(emergencyPath, {"DROP TRIGGER busy"}));
    channels.replaceRowsAndEmergency(rows, emergency, fields);
    EXPECT_EQ(storedValue(emergencyPath, "SELECT 收频率 FROM 紧急信道"), "450");
    EXPECT_EQ(emergency.field(0), "450");
}
