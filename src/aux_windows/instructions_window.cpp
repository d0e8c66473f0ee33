#include "aux_windows/instructions_window.h"

#include "aux_windows/help_window_parts.h"
#include "aux_windows/window_frame.h"
#include "platform/look.h"

#include <array>

namespace kr4720::aux_windows {
namespace {

using platform::twipsRect;

constexpr std::array<InstructionPiece, 14> kPieces{{
    {18, "操作说明"},
    {25,
     "一，使用随机配带的写频电缆，将对讲机（关机）耳机话筒插口与计算机串行口1（或串行口2）联结。"},
    {4, "二，打开对讲机电源，屏显显示“对讲机就续”。"},
    {4, "三，写频操作：用鼠标点菜单项“写信道数椐”。"},
    {4, "四，读频操作：用鼠标点菜单项“读信道数据”。"},
    {4, "五，文件操作：使用操作“文件”菜单的“保存文"},
    {7, "件”子菜单，打开保存文件对话框，可以将当前"},
    {6, "的频率数据保存（文件名自选，后缀"},
    {2, ".doc）。"},
    {6, "同样使用“打开文件”子菜单，可以将保存的频"},
    {6, "率数据文件重新调出使用。"},
    {21, "六，设置端口：如有必要，可操作\"系统设置\"菜单"},
    {7, "的“选择端口”子菜单项，改变当前使用的串行"},
    {6, "口。"},
}};

constexpr int kTrailingBlanks = 4;

} // namespace

std::span<const InstructionPiece> instructionPieces() {
    return kPieces;
}

QString instructionsText() {
    QString text;
    for (const InstructionPiece& piece : kPieces) {
        text += QString(piece.blanks, QLatin1Char(' '));
        text += QString::fromUtf8(piece.text);
    }
    text += QString(kTrailingBlanks, QLatin1Char(' '));
    return text;
}

QPointer<InstructionsWindow>& InstructionsWindow::slot() {
    static QPointer<InstructionsWindow> instance;
    return instance;
}

InstructionsWindow* InstructionsWindow::instance() {
    return openInstance(slot());
}

InstructionsWindow* InstructionsWindow::open() {
    return openOrRaise(slot(), [] { return new InstructionsWindow(); });
}

InstructionsWindow::InstructionsWindow() {
    setObjectName(QStringLiteral("frmAbout1"));
    setWindowTitle(QStringLiteral("操作说明"));
    setFont(platform::songFont(10.5));
    makeFixedDialog(this, 9060, 5715);

    new WrappingLabel(this, "lblDescription", instructionsText(), twipsRect(600, 480, 7845, 4530),
                      platform::kaiFont(15.75), platform::kBlue);

    placeCloseButton(twipsRect(7200, 5130, 1245, 420));
}

} // namespace kr4720::aux_windows
