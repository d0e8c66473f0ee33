#include "aux_windows/program_icon.h"
#include "main_window/start_window.h"
#include "platform/backups.h"
#include "platform/first_frame.h"
#include "platform/look.h"
#include "platform/message_box.h"
#include "platform/qt_translations.h"
#include "platform/sqlite_stores.h"
#include "platform/stop_signals.h"
#include "platform/window_stop.h"

#include <QApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>

namespace {

// After a stop signal, 128 + its number, as a shell reports it: a script or
// session manager can tell a stop from an exit.
int exitStatus(int code) {
    const int signal = kr4720::platform::stopSignal();
    return signal != 0 ? 128 + signal : code;
}

#ifdef Q_OS_LINUX
// Qt ends the program when it cannot reach the display it was given (a
// `sudo`, an ssh session that is gone), advising to reinstall the program.
// Until the application is made, that end says what is wrong instead.
QtMessageHandler qtMessages = nullptr;

void endWithoutDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        qtMessages(type, context, text);
        return;
    }
    const char* variable = qEnvironmentVariableIsEmpty("DISPLAY") ? "WAYLAND_DISPLAY" : "DISPLAY";
    std::fprintf(stderr,
                 "kr4720: 无法连接图形界面（%s=%s），无法打开窗口；"
                 "请在桌面中启动本软件，或使用 kr4720-cli\n",
                 variable, qgetenv(variable).constData());
    std::_Exit(1);
}

// Whether Qt is to show the window on a display: no platform named, or only
// X11 or Wayland (`QT_QPA_PLATFORM=xcb`, as some desktops set).
bool onDisplay(int argc, char* argv[]) {
    QByteArray named = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        if (const std::string_view argument = argv[i];
            argument == "-platform" || argument == "--platform") {
            named = argv[i + 1];
        }
    }
    const QList<QByteArray> platforms = named.split(';');
    return std::all_of(platforms.begin(), platforms.end(), [](const QByteArray& platform) {
        const QByteArray name = platform.split(':').first();
        return name.isEmpty() || name == "xcb" || name.startsWith("wayland");
    });
}
#endif

} // namespace

int main(int argc, char* argv[]) {
    // A trace piped into a reader that goes away (KR4720_TRACE=/dev/stdout
    // ... | head) stops the trace, not the program in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);
#ifdef Q_OS_LINUX
    // Without a display Qt aborts with advice to reinstall the program.
    const bool display = onDisplay(argc, argv);
    if (display && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("kr4720: 没有图形界面（没有设置 DISPLAY），无法打开窗口；"
                   "请在桌面中启动本软件，或使用 kr4720-cli\n",
                   stderr);
        return 1;
    }
    if (display) {
        qtMessages = qInstallMessageHandler(endWithoutDisplay);
    }
#endif
    kr4720::platform::catchStopSignals();
    kr4720::main_window::StartWindowOptions options;
    // Started from the desktop menu: the databases live in the user's data
    // folder, while the file dialogs start in the folder the menu starts the
    // program in (the home folder).
    if (std::any_of(argv + 1, argv + argc,
                    [](const char* argument) { return std::string_view(argument) == "--menu"; })) {
        options.databaseFolder = kr4720::platform::menuDatabaseFolder();
    }
    options.folderLock = kr4720::main_window::lockFolderAhead(options.databaseFolder);
    kr4720::platform::readFontConfigAhead();
    QApplication app(argc, argv);
#ifdef Q_OS_LINUX
    if (display) {
        qInstallMessageHandler(qtMessages);
    }
#endif
    QApplication::setApplicationName(QStringLiteral("KR4720"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kr4720"));
    QApplication::setWindowIcon(kr4720::aux_windows::programIcon());
    kr4720::platform::installProgramStyle();
    kr4720::platform::installFontSubstitutions();
    const std::jthread fontList = kr4720::platform::readFontListAhead();
    kr4720::platform::installQtTranslations();
    try {
        kr4720::main_window::StartWindow window(std::move(options));
        kr4720::platform::quitAfterFirstFrameIfAsked(&window);
        // Ctrl+C or SIGTERM closes the window as its close box does, also one
        // that came during start-up or while a start-up message is open.
        kr4720::platform::closeOnStopSignal(&window);
        window.startUp();
        return exitStatus(QApplication::exec());
    } catch (const kr4720::platform::StoreOpenError& error) {
        kr4720::platform::onStopSignal(&app, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                box->close();
            }
        });
        kr4720::platform::showMessage(nullptr, kr4720::platform::storeOpenMessage(error));
        return exitStatus(1);
    }
}
