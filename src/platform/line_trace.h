#pragma once

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>

#include <chrono>
#include <mutex>

namespace kr4720::platform {

// A log of everything that crosses the serial line, for finding out what a
// cable or a radio really does: one line per burst with the time of day in
// milliseconds, the port, the direction ("->" sent, "<-" received), the bytes
// in hex and as printable text. A one-character burst repeated on a port
// within a second (the "C" polls while no radio answers) is not written each
// time: the next line of that burst, a second later or when something else
// happens on the port, says how many were left out before it.
//
// Received characters that follow each other closely are one burst, up to
// a record's length a line.
//
// Several ports may record into one trace from their own threads.
class LineTrace {
public:
    enum class Direction { Sent, Received };

    LineTrace() = default;
    ~LineTrace();
    LineTrace(const LineTrace&) = delete;
    LineTrace& operator=(const LineTrace&) = delete;

    // Adds to the end of the file, so that an earlier run's lines stay and two
    // programs tracing into one file keep each other's lines whole. Returns
    // the reason on failure, an empty text on success. A database or channel
    // file is refused: the lines would spoil it.
    QString open(const QString& path);
    // A name that ends like a channel file (.img, .doc, .csv).
    static bool namesChannelFile(const QString& path);
    bool isOpen() const { return file_.isOpen(); }
    // Why a line could not be written (a full disk), empty while every line
    // went in. The trace ends at that line, so what it holds has no gaps.
    QString failure() const;

    void record(const QString& port, Direction direction, const QByteArray& bytes);
    // Writes what the port received last if nothing followed it within a
    // burst's gap, so that a line is in the file at once and not only when
    // the next bytes come (or never, should the program be killed).
    void flushQuiet(const QString& port);

    // Characters further apart than this start a new burst.
    static constexpr std::chrono::milliseconds kBurstGap{20};

private:
    // The line written for one burst, without its line end.
    static QByteArray lineText(const QString& clock, const QString& port, Direction direction,
                               const QByteArray& bytes, int foldedBefore);

    struct PortState {
        QByteArray lastKey;
        std::chrono::steady_clock::time_point lastWritten;
        int folded = 0; // same bursts left out since the last line
        QString foldClock;
        QByteArray pending; // received, not yet written
        QString pendingClock;
        std::chrono::steady_clock::time_point lastArrival;
    };

    void put(const QByteArray& line);
    void write(const QString& port, PortState& state, const QString& clock, Direction direction,
               const QByteArray& bytes, std::chrono::steady_clock::time_point now);
    void flushFolded(const QString& port, PortState& state);
    void flushPending(const QString& port, PortState& state, qsizetype upTo);

    mutable std::mutex mutex_;
    QFile file_;
    QString failure_;
    QHash<QString, PortState> ports_;
};

} // namespace kr4720::platform
