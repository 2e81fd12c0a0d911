#include "builder/windows_names.h"

#include <algorithm>
#include <cctype>

namespace palisade::builder {
namespace {

constexpr std::string_view kRefusedCharacters = "\\/:*?\"<>|";
constexpr std::string_view kDeviceNames[] = {"con",  "prn",  "aux",  "nul",  "com1",   "com2",   "com3", "com4",
                                              "com5", "com6", "com7", "com8", "com9",   "lpt1",   "lpt2", "lpt3",
                                              "lpt4", "lpt5", "lpt6", "lpt7", "lpt8",   "lpt9",   "conin$", "conout$"};

// Windows opens "con.txt" and "con .txt" as the console: the device name is
// what comes before the first dot, without trailing blanks.
std::string DeviceStem(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::tolower(c); });
  return stem;
}

}  // namespace

std::optional<std::string> WindowsNameProblem(std::string_view name) {
  if (name.empty()) return "a name cannot be empty";
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return "a name cannot hold control characters";
    if (kRefusedCharacters.find(c) != std::string_view::npos) {
      return "\"" + std::string(1, c) + "\" is not allowed in a name";
    }
  }
  std::string stem = DeviceStem(name);
  if (std::find(std::begin(kDeviceNames), std::end(kDeviceNames), stem) != std::end(kDeviceNames)) {
    return "\"" + stem + "\" is the name of a device";
  }
  if (name.back() == '.' || name.back() == ' ') return "a name cannot end in a dot or a blank";
  return std::nullopt;
}

std::optional<std::string> WindowsPathProblem(std::string_view path, char separator) {
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = std::min(path.find(separator, start), path.size());
    if (std::optional<std::string> problem = WindowsNameProblem(path.substr(start, end - start))) return problem;
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace palisade::builder
