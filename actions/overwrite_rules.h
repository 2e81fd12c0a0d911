#pragma once
// The comparisons that decide whether an installed file is replaced.
#include <string_view>

namespace palisade {

// Negative when version a is lower than b, zero when equal, positive when
// higher. Every run of digits is one number, compared from the left; a list
// that ends first is lower ("1.2" < "1.2.0"); then the last letter in each
// text decides, no letter lowest ("2.1a" < "2.1b"). A "." at the very start
// counts as a leading 0; other characters are ignored.
int CompareVersions(std::wstring_view a, std::wstring_view b);

}  // namespace palisade
