#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "platform/sqlite_stores.h"
#include "support/sqlite_peek.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

using namespace kr4720;
using platform::SqliteChannelTable;
using platform::SqliteEmergencyTable;
using platform::StoreOpenError;

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

TEST(ChannelStore, AMissingFileIsCreatedWithSixteenNumberedNullRows) {
    TempFolder folder;
    SqliteChannelTable channels(folder.file("tw8810.mdb"));
    ASSERT_EQ(channels.rowCount(), 16);
    channels.MoveFirst();
    for (int row = 1; row <= 16; ++row) {
        EXPECT_EQ(channels.field(channel_field::kNumber), std::to_string(row));
        for (int field = 1; field < kChannelFieldCount; ++field) {
            EXPECT_EQ(channels.field(field), std::nullopt) << row << ' ' << field;
        }
        channels.MoveNext();
    }
    EXPECT_EQ(storedValue(folder.file("tw8810.mdb"), "SELECT count(*) FROM 信道表").toInt(), 16);
}

TEST(ChannelStore, AChangeIsStoredWhenTheCursorLeavesTheRowAndNotBefore) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    SqliteChannelTable channels(path);
    channels.MoveFirst();
    channels.MoveNext();
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
    EXPECT_TRUE(storedValue(path, "SELECT 信道号 FROM 信道表 WHERE rowid = 10").isNull());

    // A failed store keeps the change pending and reports it.
    channels.setField(1, std::string("145.50000"));
    runSql(path, {"DROP TABLE 信道表"});
    EXPECT_THROW(channels.MoveNext(), DataError);
    EXPECT_EQ(channels.currentRow(), 9);
    EXPECT_EQ(channels.field(1), "145.50000");
}

TEST(ChannelStore, RowsComeInStoredOrderWhateverTheirChannelNumbers) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    ASSERT_TRUE(runSql(path, channelTableSql(16)));
    SqliteChannelTable channels(path);
    channels.MoveFirst();
    EXPECT_EQ(channels.field(0), "16");
    EXPECT_EQ(channels.field(1), "416");
    channels.moveTo(15);
    EXPECT_EQ(channels.field(0), "1");
    channels.MoveNext(); // past the last row nothing can be read or changed
    EXPECT_THROW(channels.field(1), DataError);
    EXPECT_THROW(channels.setField(1, std::string("1")), DataError);
    EXPECT_THROW(channels.MoveNext(), DataError);
}

TEST(ChannelStore, UnusableFilesAreRefusedAndLeftByteForByteUnchanged) {
    struct Case {
        const char* what;
        QStringList sql;
        QString file = "tw8810.mdb";
    };
    const std::vector<Case> cases = {
        {"not a database", {}},
        {"table missing", {"CREATE TABLE other (a TEXT)"}},
        {"columns missing", {"CREATE TABLE 信道表 (信道号 TEXT, 接收频率 TEXT)"}},
        {"fifteen rows", channelTableSql(15)},
        {"emergency row missing",
         {"CREATE TABLE 紧急信道 (收频率 TEXT, 发频率 TEXT, 拍频 TEXT)"},
         "tw8810X.mdb"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const QString path = folder.file(c.file);
        if (c.sql.isEmpty()) {
            folder.write(c.file, QByteArray("Standard Jet DB\0\1\2 this is no SQLite file", 42));
        } else {
            runSql(path, c.sql);
        }
        const QByteArray before = folder.read(c.file);
        try {
            c.file.contains('X') ? (void)SqliteEmergencyTable(path)
                                 : (void)SqliteChannelTable(path);
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const StoreOpenError& error) {
            EXPECT_EQ(error.file(), c.file) << c.what;
            EXPECT_FALSE(error.problem().isEmpty()) << c.what;
        }
        EXPECT_EQ(folder.read(c.file), before) << c.what;
        EXPECT_FALSE(QFile::exists(path + "-journal")) << c.what;
    }
}

TEST(ChannelStore, ABusyOrDamagedFileGetsAMessageOfItsOwnAndStaysUnchanged) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    runSql(path, channelTableSql(16));
    // Cutting the table's page down to one cell leaves a file whose table
    // shows one row where it held sixteen.
    QByteArray damaged = folder.read("tw8810.mdb");
    ASSERT_GE(damaged.size(), 8192);
    damaged[4096 + 3] = 0;
    damaged[4096 + 4] = 1;
    folder.write("damaged.mdb", damaged);

    struct Case {
        const char* what;
        QString file;
        bool lock;
        StoreOpenError::Kind kind;
        QString message;
    };
    const std::vector<Case> cases = {
        {"busy", "tw8810.mdb", true, StoreOpenError::Kind::Busy,
         "数据库文件 tw8810.mdb 正被其它程序使用，请关闭那个程序后再启动本软件"},
        {"damaged", "damaged.mdb", false, StoreOpenError::Kind::Damaged,
         "数据库文件 damaged.mdb 已损坏，无法使用"},
    };
    for (const Case& c : cases) {
        const QByteArray before = folder.read(c.file);
        {
            // Another program holding the file in a transaction of its own.
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(folder.file(c.file));
            ASSERT_TRUE(other.open());
            QSqlQuery query(other);
            ASSERT_TRUE(!c.lock || query.exec("BEGIN EXCLUSIVE")) << c.what;
            try {
                SqliteChannelTable table(folder.file(c.file));
                ADD_FAILURE() << c.what << " was accepted";
            } catch (const StoreOpenError& error) {
                EXPECT_EQ(error.kind(), c.kind) << c.what;
                const platform::Message message = platform::storeOpenMessage(error);
                EXPECT_EQ(message.text, c.message) << c.what;
                EXPECT_FALSE(message.informativeText.isEmpty()) << c.what;
            }
            query.exec("ROLLBACK");
            query.finish();
            other.close();
        }
        QSqlDatabase::removeDatabase("other");
        EXPECT_EQ(folder.read(c.file), before) << c.what;
    }
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

    SqliteEmergencyTable reopened(path);
    EXPECT_EQ(reopened.field(0), "450.5");
}
