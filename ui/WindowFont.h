// The window's font, carried inside the program: the captions show whole on a machine with no
// Chinese font, and no 5 MB system font is mapped for a few dozen characters.
#pragma once

#include <QFont>

namespace keycard::window {

// The font every control of the window draws in. The first call (after the application object
// exists) registers the built-in family with Qt.
QFont windowFont();

}  // namespace keycard::window
