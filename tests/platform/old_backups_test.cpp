#include "platform/backups.h"
#include "platform/old_backups.h"
#include "support/temp_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace kr4720::platform;

TEST(OldBackups, OnlyBackupsOlderThanAYearGoAndNothingElseIsTouched) {
    TempFolder folder;
    const std::pair<const char*, bool> cases[] = {
        // name, kept
        {"2025-12-05_23-59-59-read.img", false}, // a year and a day old
        {"2025-12-05_10-00-00-ttyUSB0-before-write.img", false},
        // A year back from the newest backup, to the second.
        {"2025-12-06_11-00-29-write.img", false},
        {"2025-12-06_11-00-30-write.img", true},
        {"2026-12-06_11-00-30-read.img", true},
        {"2020-01-01_00-00-00-read.txt", true}, // not a backup's name
        {"notes-2020-01-01_00-00-00-read.img", true},
        {"2020-01-01_00-00-00.img", true},
        {"2020-13-45_00-00-00-read.img", true}, // no real date
    };
    for (const auto& [name, kept] : cases) {
        folder.write(name, "x");
    }
    EXPECT_EQ(removeOldBackups(folder.path(), QDateTime(QDate(2026, 12, 6), QTime(12, 0))), 3);
    for (const auto& [name, kept] : cases) {
        EXPECT_EQ(QFile::exists(folder.file(name)), kept) << name;
    }
    // A clock set years ahead takes no backup less than a year older than the
    // newest, also once a backup has been made with it.
    folder.write("2062-01-01_00-00-00-read.img", "x");
    EXPECT_EQ(removeOldBackups(folder.path(), QDateTime(QDate(2062, 1, 1), {})), 0);
}

// Two backups of one name within a second (two cables whose devices share a
// name) keep a file each.
TEST(Backups, OneNameTwiceInASecondKeepsBoth) {
    TempFolder folder;
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.path()));
    for (const char* bytes : {"one", "two"}) {
        saveBackup("read", bytes, QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    }
    // A relative or missing XDG_DATA_HOME is the home folder's; without HOME,
    // the account's home folder, never the top of the file system.
    const QByteArray home = qgetenv("HOME");
    const QString accountHome = QFile::decodeName(getpwuid(getuid())->pw_dir);
    const std::pair<const char*, QString> cases[] = {
        {"/home/ann", "/home/ann"}, {"/", ""}, {"", accountHome}, {"relative", accountHome}};
    qputenv("XDG_DATA_HOME", "relative");
    for (const auto& [homeValue, expected] : cases) {
        qputenv("HOME", homeValue);
        EXPECT_EQ(backupsFolder(), expected + "/.local/share/kr4720/backups") << homeValue;
    }
    qputenv("HOME", home);
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(folder.read("kr4720/backups/2026-12-08_09-30-00-read.img"), "one");
    EXPECT_EQ(folder.read("kr4720/backups/2026-12-08_09-30-00-read-2.img"), "two");
}
