#include "platform/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <string_view>

namespace kr4720::platform {

bool installQtTranslations() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool base = false;
    // qtbase: dialogs and buttons; qtserialport: the port's own error texts,
    // shown on a message's second line.
    for (const char* catalog : {"qtbase_zh_CN", "qtserialport_zh_CN"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QString::fromLatin1(catalog), folder) &&
            QCoreApplication::installTranslator(translator)) {
            base = base || catalog == std::string_view("qtbase_zh_CN");
        } else {
            delete translator;
        }
    }
    return base;
}

} // namespace kr4720::platform
