#include "platform/look.h"
#include "platform/qt_translations.h"

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need one QApplication for the whole run; the offscreen
// platform keeps them away from any display.
int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kr4720::platform::installFontSubstitutions();
    kr4720::platform::installQtTranslations();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
