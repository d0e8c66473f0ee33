#include "aux_windows/program_icon.h"
#include "main_window/start_window.h"
#include "platform/first_frame.h"
#include "platform/look.h"
#include "platform/message_box.h"
#include "platform/qt_translations.h"
#include "platform/sqlite_stores.h"
#include "platform/stop_signals.h"

#include <QApplication>
#include <QThread>
#include <QTimer>

namespace {

// Closes the window as its close box does, and keeps at it until the window
// is gone: a write under way ends first, and a message box or file dialog
// open now or later (a write that loses its line says so) is closed (OK, or
// cancel), so that nothing waits for a click that will not come.
void closeWhenFree(QWidget* window) {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->close();
    } else if (QThread::currentThread()->loopLevel() == 1) {
        window->close();
    }
    if (window->isVisible()) {
        QTimer::singleShot(50, window, [window] { closeWhenFree(window); });
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KR4720"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kr4720"));
    QApplication::setWindowIcon(kr4720::aux_windows::programIcon());
    kr4720::platform::installProgramStyle();
    kr4720::platform::installFontSubstitutions();
    const std::jthread fontList = kr4720::platform::readFontListAhead();
    kr4720::platform::installQtTranslations();
    try {
        kr4720::main_window::StartWindow window;
        kr4720::platform::quitAfterFirstFrameIfAsked(&window);
        window.startUp();
        // Closed as by its close box: a write under way ends first, the row
        // being edited is stored. (Until here, no event loop but a start-up
        // message box's has run.)
        kr4720::platform::onStopSignal(&window, [&window] { closeWhenFree(&window); });
        return QApplication::exec();
    } catch (const kr4720::platform::StoreOpenError& error) {
        kr4720::platform::showMessage(nullptr, kr4720::platform::storeOpenMessage(error));
        return 1;
    }
}
