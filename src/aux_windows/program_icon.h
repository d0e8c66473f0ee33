#pragma once

#include <QIcon>
#include <QPixmap>

namespace kr4720::aux_windows {

// The program's icon: a hand-held radio, drawn here at any size so that no
// image file has to travel with the program.
QPixmap programPixmap(int size);
QIcon programIcon();

} // namespace kr4720::aux_windows
