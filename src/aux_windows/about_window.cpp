#include "aux_windows/about_window.h"

#include "aux_windows/help_window_parts.h"
#include "aux_windows/program_icon.h"
#include "aux_windows/system_info.h"
#include "aux_windows/window_frame.h"
#include "platform/look.h"

#include <QLabel>
#include <QPushButton>

namespace kr4720::aux_windows {

using platform::twips;
using platform::twipsRect;

QPointer<AboutWindow>& AboutWindow::slot() {
    static QPointer<AboutWindow> instance;
    return instance;
}

AboutWindow* AboutWindow::instance() {
    return openInstance(slot());
}

AboutWindow* AboutWindow::open() {
    return openOrRaise(slot(), [] { return new AboutWindow(); });
}

AboutWindow::AboutWindow() {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于本软件"));
    setFont(platform::songFont(10.5));
    makeFixedDialog(this, 5940, 4110);

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programPixmap(32));
    picIcon->setGeometry(twipsRect(240, 240, 480, 480));

    placeLabel(this, "lblTitle", QStringLiteral("    KR4720写频软件"),
               twipsRect(960, 240, 4740, 480), platform::kaiFont(15.75), platform::kRed);
    placeLabel(this, "lblVersion", QStringLiteral("      版本 A1.1"),
               twipsRect(960, 780, 4740, 345), platform::kaiFont(12), platform::kRed);
    QLabel* description =
        placeLabel(this, "lblDescription",
                   QStringLiteral("本软件是用户写入KR4720对讲机工作频率及参数的专用软件。"),
                   twipsRect(1200, 1320, 4500, 1080), platform::kaiFont(12), platform::kBlue);
    description->setWordWrap(true);

    new EtchedLine(this, twips(120), twips(2640), twips(5700));

    QPushButton* cmdOK = placeCloseButton(twipsRect(4200, 2880, 1500, 420));
    auto* cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(twipsRect(4200, 3420, 1500, 420));
    // The buttons use the dialog face of a Chinese desktop (宋体 9 pt), in
    // which "系统信息(S)..." leaves a margin on either side of its 100 pixels.
    for (QPushButton* button : {cmdOK, cmdSysInfo}) {
        button->setFont(platform::songFont(9));
    }
    // Enter presses the button that has the focus; cmdOK when none has.
    cmdSysInfo->setAutoDefault(true);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(this); });
}

} // namespace kr4720::aux_windows
