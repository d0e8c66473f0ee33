#pragma once

namespace kr4720::platform {

// Loads Qt's own Chinese texts (Debian: qt6-translations-l10n), so that the
// file dialog and the buttons of message boxes read as on a Chinese desktop
// whatever the system's language. The program's texts are Chinese already.
// Returns false when Qt's base translation is not installed; the program then
// runs with Qt's English texts.
bool installQtTranslations();

} // namespace kr4720::platform
