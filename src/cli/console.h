#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace kr4720::cli {

// Where the program's words go: results on standard output (or one JSON
// document with --json), progress on standard error (not with -q), warnings
// and failures on standard error always.
class Console {
public:
    Console(bool json, bool quiet);

    bool json() const { return json_; }
    bool quiet() const { return quiet_; }
    bool errorIsTerminal() const { return errorIsTerminal_; }
    // The width of that terminal now, 80 when it does not say.
    int terminalColumns() const;

    // A result line on standard output; nothing with --json.
    void result(const QString& text) const;
    // A file's bytes on standard output; nothing with --json.
    void data(const QByteArray& bytes) const;
    // Progress on standard error; nothing with -q.
    void note(const QString& text) const;
    // What a file will not hold, on standard error even with -q, and in the
    // JSON document as "warnings".
    void warning(const QString& text) const;
    // A failure on standard error, the library's words or a hint indented on a
    // second line.
    void failure(const QString& text, const QString& detail = {}) const;
    // A failure told in a result line (a port's in the summary): only the JSON
    // document's "errors" get it.
    void recordFailure(const QString& text) const { failures_ << text; }
    // The JSON document of a command, with --json; printed by finish().
    void document(const QJsonObject& object) const;
    // A member every document of this run gets, such as the rows a file's
    // import skipped, which -q would otherwise hide.
    void attach(const QString& key, const QJsonValue& value) const;
    // Raw text on standard error (the progress board draws with it).
    void raw(const QString& text) const;
    // With --json, prints the command's document, or an empty one, with the
    // run's status at its top: "ok", "exitCode" and "errors".
    void finish(int exitCode) const;
    // The system's reason when results could not be written to standard
    // output, or empty.
    const QString& outputFailure() const { return outputFailure_; }

private:
    void output(const QByteArray& bytes) const;
    // The exit status and the failures reported so far, as "ok", "exitCode"
    // and "errors".
    QJsonObject status(int exitCode) const;

    bool json_;
    bool quiet_;
    bool errorIsTerminal_;
    mutable QJsonObject document_;
    mutable QStringList failures_;
    mutable QJsonObject attached_;
    mutable QString outputFailure_;
};

// A detail under its headline: every line after the first starts with
// `depth` blanks, as deep as the first one's text.
QString indentedLines(const QString& text, int depth);

// Columns on a terminal: Chinese characters take two cells.
int cells(QStringView text);

} // namespace kr4720::cli
