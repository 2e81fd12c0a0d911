#pragma once
// The order of version texts that decides upgrades and downgrades, and
// whether a version-checked file replaces the one in place. The engine
// compares with it; the builder refuses a version it cannot order.
#include <string_view>

namespace palisade::format {

// Negative when version a is lower than b, zero when equal, positive when
// higher. Every run of digits is one number, compared from the left; a list
// that ends first is lower ("1.2" < "1.2.0"); then the last letter in each
// text decides, no letter lowest ("2.1a" < "2.1b"). A "." at the very start
// counts as a leading 0; other characters are ignored.
int CompareVersions(std::string_view a, std::string_view b);
int CompareVersions(std::wstring_view a, std::wstring_view b);

// A version in which every character counts when it is compared, and which
// a Windows version resource can hold: one to four numbers from 0 to 65535
// separated by dots, optionally followed by one letter ("2", "2.1.0",
// "2.1b"). CompareVersions would silently ignore the "v" of "v2" and the
// words of "two point one", so that such texts order by accident.
bool IsOrderableVersion(std::string_view text);

}  // namespace palisade::format
