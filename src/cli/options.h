#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kr4720::cli {

// The command line after the program name: the command, its options and its
// file arguments. Which options a command takes is checked by the command.
struct Options {
    QString command;
    QStringList ports; // -p, in the order given
    std::optional<QString> output;
    QString format;
    QString trace;
    std::optional<QString> squelch;
    std::optional<QString> emergency;
    bool json = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool verify = false;
    bool noBackup = false;
    QStringList files;
    struct Given {
        QString name;  // the long name, for the checks
        QString typed; // as typed, for the messages: "-p", "--port"
    };
    QList<Given> given;

    QString error; // a usage error, Chinese
};

Options parseOptions(const QStringList& arguments);

// A usage error when an option outside `allowed` was given, else empty.
QString checkAllowed(const Options& options, const QStringList& allowed);

} // namespace kr4720::cli
