#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "platform/sqlite_stores.h"
#include "support/sqlite_peek.h"
#include "support/temp_folder.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace kr4720;
using platform::SqliteChannelTable;
using platform::SqliteEmergencyTable;
using platform::StoreOpenError;

namespace {

const QString kChannelColumns =
    "(信道号 TEXT, 接收频率 TEXT, 收哑音 TEXT, 收数字哑音 TEXT, 发送频率 TEXT, "
    "发哑音 TEXT, 发数字哑音 TEXT, 扫描 TEXT, BCL TEXT, 拍频 TEXT)";

} // namespace

TEST(ChannelStore, MissingFilesAreCreatedWithTheirDefaultContents) {
    TempFolder folder;
    {
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
        SqliteEmergencyTable emergency(folder.file("tw8810X.mdb"));
        EXPECT_EQ(emergency.field(0), "");
        EXPECT_EQ(emergency.field(1), "");
        EXPECT_EQ(emergency.field(2), "off");
    }
    EXPECT_EQ(storedValue(folder.file("tw8810.mdb"), "SELECT count(*) FROM 信道表").toInt(), 16);
    EXPECT_EQ(storedValue(folder.file("tw8810X.mdb"), "SELECT 拍频 FROM 紧急信道").toString(),
              "off");
}

TEST(ChannelStore, AChangeIsStoredWhenTheCursorLeavesTheRowAndNotBefore) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    SqliteChannelTable channels(path);
    channels.MoveFirst();
    channels.MoveNext();
    channels.setField(channel_field::kReceiveFrequency, std::string("145.50000"));
    EXPECT_EQ(channels.field(channel_field::kReceiveFrequency), "145.50000");
    const QString sql = "SELECT 接收频率 FROM 信道表 WHERE 信道号 = '2'";
    EXPECT_TRUE(storedValue(path, sql).isNull());

    channels.MoveNext();
    EXPECT_EQ(storedValue(path, sql).toString(), "145.50000");
    // Untouched fields stay Null, not empty.
    EXPECT_TRUE(storedValue(path, "SELECT 收哑音 FROM 信道表 WHERE 信道号 = '2'").isNull());

    // The user selecting another row stores the change in the same way.
    channels.setField(channel_field::kScan, std::string("del"));
    channels.moveTo(9);
    EXPECT_EQ(storedValue(path, "SELECT 扫描 FROM 信道表 WHERE 信道号 = '3'").toString(), "del");

    // A Null written back is stored as Null.
    channels.setField(channel_field::kNumber, std::nullopt);
    channels.storePending();
    EXPECT_TRUE(storedValue(path, "SELECT 信道号 FROM 信道表 WHERE rowid = 10").isNull());
}

TEST(ChannelStore, RowsComeInStoredOrderWhateverTheirChannelNumbers) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    QStringList setup{"CREATE TABLE 信道表 " + kChannelColumns};
    for (int i = 16; i >= 1; --i) {
        setup << QString("INSERT INTO 信道表 (信道号, 接收频率) VALUES ('%1', '%2')")
                     .arg(i)
                     .arg(400 + i);
    }
    ASSERT_TRUE(runSql(path, setup));
    SqliteChannelTable channels(path);
    channels.MoveFirst();
    EXPECT_EQ(channels.field(0), "16");
    EXPECT_EQ(channels.field(1), "416");
    for (int i = 0; i < 15; ++i) {
        channels.MoveNext();
    }
    EXPECT_EQ(channels.field(0), "1");
    channels.MoveNext();
    EXPECT_EQ(channels.currentRow(), 16);
    EXPECT_THROW(channels.field(1), DataError);
    EXPECT_THROW(channels.setField(1, std::string("1")), DataError);
    EXPECT_THROW(channels.MoveNext(), DataError);
    channels.MoveFirst();
    EXPECT_EQ(channels.field(0), "16");
}

TEST(ChannelStore, UnusableFilesAreRefusedAndLeftByteForByteUnchanged) {
    struct Case {
        const char* what;
        QStringList sql;
        QByteArray bytes;
    };
    QStringList fifteenRows{"CREATE TABLE 信道表 " + kChannelColumns};
    for (int i = 1; i <= 15; ++i) {
        fifteenRows << QString("INSERT INTO 信道表 (信道号) VALUES ('%1')").arg(i);
    }
    const std::vector<Case> cases = {
        {"not a database", {}, QByteArray("Standard Jet DB\0\1\2 this is no SQLite file", 42)},
        {"table missing", {"CREATE TABLE other (a TEXT)"}, {}},
        {"columns missing", {"CREATE TABLE 信道表 (信道号 TEXT, 接收频率 TEXT)"}, {}},
        {"fifteen rows", fifteenRows, {}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const QString path = folder.file("tw8810.mdb");
        if (c.sql.isEmpty()) {
            folder.write("tw8810.mdb", c.bytes);
        } else {
            runSql(path, c.sql);
        }
        const QByteArray before = folder.read("tw8810.mdb");
        try {
            SqliteChannelTable channels(path);
            ADD_FAILURE() << c.what << " was accepted";
        } catch (const StoreOpenError& error) {
            EXPECT_EQ(error.file(), "tw8810.mdb") << c.what;
            EXPECT_FALSE(error.problem().isEmpty()) << c.what;
        }
        EXPECT_EQ(folder.read("tw8810.mdb"), before) << c.what;
        EXPECT_FALSE(QFile::exists(path + "-journal")) << c.what;
    }

    TempFolder folder;
    const QString path = folder.file("tw8810X.mdb");
    runSql(path, {"CREATE TABLE 紧急信道 (收频率 TEXT, 发频率 TEXT, 拍频 TEXT)"});
    const QByteArray before = folder.read("tw8810X.mdb");
    EXPECT_THROW(SqliteEmergencyTable emergency(path), StoreOpenError);
    EXPECT_EQ(folder.read("tw8810X.mdb"), before);
}

TEST(EmergencyStore, ChangesGoThroughEditAndAreStoredBySaveRecord) {
    TempFolder folder;
    const QString path = folder.file("tw8810X.mdb");
    SqliteEmergencyTable emergency(path);
    EXPECT_THROW(emergency.setField(0, std::string("450")), DataError);

    emergency.Edit();
    emergency.setField(0, std::string("450.5"));
    emergency.setField(1, std::string("460"));
    emergency.setField(2, std::nullopt);
    EXPECT_EQ(emergency.field(0), "450.5");
    EXPECT_EQ(storedValue(path, "SELECT 收频率 FROM 紧急信道").toString(), "");
    emergency.saveRecord();
    EXPECT_EQ(storedValue(path, "SELECT 收频率 FROM 紧急信道").toString(), "450.5");
    EXPECT_EQ(storedValue(path, "SELECT 发频率 FROM 紧急信道").toString(), "460");
    EXPECT_TRUE(storedValue(path, "SELECT 拍频 FROM 紧急信道").isNull());
    EXPECT_THROW(emergency.saveRecord(), DataError);

    SqliteEmergencyTable reopened(path);
    EXPECT_EQ(reopened.field(0), "450.5");
    EXPECT_EQ(reopened.field(2), std::nullopt);
}

TEST(ChannelStore, AFailedStoreKeepsTheChangePendingAndReportsIt) {
    TempFolder folder;
    const QString path = folder.file("tw8810.mdb");
    SqliteChannelTable channels(path);
    channels.MoveFirst();
    channels.setField(1, std::string("145.50000"));
    // Another program takes the table away underneath the cursor.
    runSql(path, {"DROP TABLE 信道表"});
    EXPECT_THROW(channels.MoveNext(), DataError);
    EXPECT_EQ(channels.currentRow(), 0);
    EXPECT_EQ(channels.field(1), "145.50000");
}
