// The system's font configuration, loaded before Qt asks for it.
#pragma once

#include <fontconfig/fontconfig.h>

namespace keycard::window {

// The font configuration the system and the user chose (the same files, hence the same fonts,
// substitutions and rendering), read without the font library's parse of its whole catalogue of
// optional configuration templates, which only its listing tool shows: that parse is most of the
// work a window with text does before it paints. Null where the configuration does not load
// whole; the caller owns the result.
FcConfig* readSystemFontConfiguration();

// Makes that configuration the one every later font lookup uses. Call it before the application
// object exists. Where it is null, the library loads the configuration by itself on first use,
// with its own fallbacks and messages, as it always did.
void loadSystemFontConfiguration();

}  // namespace keycard::window
