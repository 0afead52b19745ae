// A typed field read as the operator sees it. Input methods and copy-paste bring characters the
// fields are not read in: full-width forms, invisible marks, spaces and digits of other scripts.
// Each becomes the ASCII it shows as, or goes when it shows as nothing, so that "101" behind a
// left-to-right mark is 101, not a text without a number. Only what a typed field can use is
// mapped: every other character stays as it is, so a text the fields refuse is still refused.
#pragma once

#include <string>
#include <string_view>

namespace keycard {

// Format characters (direction marks and overrides, zero-width characters, the byte-order mark)
// dropped; every space as the ASCII space; every decimal digit as its ASCII digit; the full-width
// hex letters, signs, period and colon as their ASCII forms.
std::u16string withAsciiForms(std::u16string_view text);

}  // namespace keycard
