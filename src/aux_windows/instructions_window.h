#pragma once

#include "aux_windows/help_window_parts.h"

#include <QPointer>
#include <QString>

#include <span>

namespace kr4720::aux_windows {

// One piece of the operating instructions and the blanks before it. The blank
// runs place the line breaks of the word-wrapping label.
struct InstructionPiece {
    int blanks;
    const char* text; // UTF-8
};

std::span<const InstructionPiece> instructionPieces();
// The pieces with their blanks, and four blanks after the last.
QString instructionsText();

// frmAbout1: the operating instructions. cmdOK is the default and the cancel
// button.
class InstructionsWindow : public HelpWindow {
    Q_OBJECT
public:
    // Shows the window without an owner, or brings the open one to the front.
    static InstructionsWindow* open();
    static InstructionsWindow* instance();

private:
    InstructionsWindow();
    static QPointer<InstructionsWindow>& slot();
};

} // namespace kr4720::aux_windows
