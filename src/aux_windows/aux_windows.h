#pragma once

namespace kr4720::aux_windows {

// Closes whichever of the port dialog, the About window and the instructions
// window are open; they have no owner, so the main window closes them when
// the program ends.
void closeAuxWindows();

} // namespace kr4720::aux_windows
