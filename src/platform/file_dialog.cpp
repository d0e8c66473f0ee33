#include "platform/file_dialog.h"

#include <QFileDialog>

namespace kr4720::platform {
namespace {

CommonDialog::Handler& handler() {
    static CommonDialog::Handler instance;
    return instance;
}

// "text(*.doc)|*.doc" becomes "text(*.doc) (*.doc)".
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        entries << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace

void CommonDialog::setHandler(Handler newHandler) {
    handler() = std::move(newHandler);
}

bool CommonDialog::show(QWidget* parent, bool save) {
    const Request request{save, qtFilter(filter_), fileName_};
    std::optional<QString> chosen;
    if (handler()) {
        chosen = handler()(request);
    } else {
        QFileDialog dialog(parent, QString(), QString(), request.filter);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(save ? defaultSuffix_ : QString());
        if (!fileName_.isEmpty()) {
            dialog.selectFile(fileName_);
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().constFirst();
        }
    }
    if (!chosen || chosen->isEmpty()) {
        return false;
    }
    fileName_ = *chosen;
    return true;
}

} // namespace kr4720::platform
