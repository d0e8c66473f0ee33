#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include <thread>

class QComboBox;
class QWidget;

// Geometry, fonts and colours as the windows are laid out: positions in twips,
// the Kai and Song faces of the original design substituted by installed CJK
// fonts.
namespace kr4720::platform {

// 15 twips make one device-independent pixel.
constexpr int twips(int value) {
    return (value + 7) / 15;
}
constexpr QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

// The platform's own style, except that the menu bar's overflow button (shown
// only when the menus do not fit) loads its icon when the button is first
// drawn, not when the menu bar is made: that load starts every image plugin.
void installProgramStyle();

// Maps 楷体_GB2312 and 宋体 onto the installed Kai and Song (Ming) faces.
void installFontSubstitutions();

// Has fontconfig read its configuration and font cache on a thread of its
// own, most of what the font list costs, while the application object is
// made. Called before that object, where Qt reads its fonts through
// fontconfig; elsewhere it does nothing.
void readFontConfigAhead();
// Reads the list of installed fonts on a second thread, so that it is ready
// by the time the window measures its first text; the caller meanwhile opens
// the databases. Qt's font database is thread-safe. The thread is joined when
// the returned object goes.
std::jthread readFontListAhead();
// The Kai and Song faces at a size. Each face is looked up once, on first
// use, so the substitutions must be installed before.
QFont kaiFont(double pointSize);
QFont songFont(double pointSize);
// False when no installed font draws Chinese: every caption is a row of boxes.
bool chineseFontInstalled();

inline const QColor kRed{255, 0, 0};
inline const QColor kBlue{0, 0, 255};
inline const QColor kYellow{255, 255, 0};

// Sets the text colour of a label, button or box.
void setTextColor(QWidget* widget, const QColor& color);

// A drop-down list that turns only while it has the keyboard focus: a mouse
// wheel passing over it on its way elsewhere changes nothing. Clicking or
// tabbing gives it the focus; the wheel alone does not.
void takeWheelOnlyWithFocus(QComboBox* box);

} // namespace kr4720::platform
