#pragma once
// Running programs named by the script's close rules: each rule names a
// kind of top-level window by its class and title and says what to do with
// it (ask it to close, tell it to quit, ask the user to close it, end its
// process). The installer's own windows are never acted on.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "format/setup_script.h"

namespace palisade {

// The installation's pass: the rules for the installation, then only the
// rules kept for the uninstaller stay in the list, and the installer waits
// a moment for the windows to go. Nothing at all without rules.
void CloseRunningApplications();

// The uninstaller's pass over the rules whose when-mask has the bit.
void CloseApplicationsForUninstall(uint8_t whenMask);

// The pure parts, for the tests.

// A pattern that begins with "*" matches when the rest occurs anywhere in
// the value, any other only the same bytes; letter case counts.
bool PatternMatches(std::string_view pattern, std::string_view value);

// True for a rule whose patterns, those that are not empty, are a lone
// "*": it matches every window.
bool MatchesEveryWindow(const format::CloseRule& rule);
// The index of the first rule with a bit of `mask` that matches the window,
// or -1. A rule matches when at least one of its patterns is not empty and
// each that is not matches; a class that could not be read is no test.
int FirstMatchingRule(const std::vector<format::CloseRule>& rules, uint8_t mask,
                      std::optional<std::string_view> windowClass, std::string_view windowTitle);

}  // namespace palisade
