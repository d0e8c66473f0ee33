#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace kr4720::platform {

// CommonDialog1: the file dialog of the file commands. It keeps the last
// chosen name and offers it the next time either command opens it. No title
// of its own and, unless given one, no default extension: a name typed
// without one is used as is.
class CommonDialog {
public:
    // "description|pattern", as the program's filter is written.
    void setFilter(const QString& filter) { filter_ = filter; }
    // Added by the save dialog to a name typed without an extension; the
    // dialog asks before it replaces a file of the name with the extension.
    void setDefaultSuffix(const QString& suffix) { defaultSuffix_ = suffix; }
    // False when the user cancelled or chose no name; the last name is kept.
    bool ShowSave(QWidget* parent) { return show(parent, true); }
    bool ShowOpen(QWidget* parent) { return show(parent, false); }
    QString fileName() const { return fileName_; }

    struct Request {
        bool save = false;
        QString filter;   // as Qt writes it: "text(*.doc) (*.doc)"
        QString fileName; // the name offered
    };
    // Tests answer the dialog here: the chosen name, or nothing for Cancel.
    using Handler = std::function<std::optional<QString>(const Request&)>;
    static void setHandler(Handler handler);

private:
    bool show(QWidget* parent, bool save);

    QString filter_;
    QString defaultSuffix_;
    QString fileName_;
};

} // namespace kr4720::platform
