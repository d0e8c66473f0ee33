#pragma once

#include <QDateTime>
#include <QString>

namespace kr4720::platform {

// Removes the backups in `folder` that are more than 365 days older than
// `now`, or than the newest backup when that is older, judged by the time in
// their name. Backups before a gap of over a year between two backups count
// from the newest of them. Only files named as the programs name their backups
// ("2026-12-06_14-03-59-read.img") are looked at; nothing else in the folder
// is ever touched. Returns how many were removed.
int removeOldBackups(const QString& folder, const QDateTime& now = QDateTime::currentDateTime());

} // namespace kr4720::platform
