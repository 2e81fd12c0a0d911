#include "builder/environment_variables.h"

#include <algorithm>
#include <cctype>

#include "builder/table_reader.h"

namespace palisade::builder {
namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool IsNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// The length of the name of a "${NAME}" that starts at `at`; 0 when none.
std::size_t NameLength(std::string_view text, std::size_t at) {
  std::size_t end = at + 2;
  if (end >= text.size() || !IsNameStart(text[end])) return 0;
  while (end < text.size() && IsNameCharacter(text[end])) ++end;
  return end < text.size() && text[end] == '}' ? end - at - 2 : 0;
}

class Expander {
 public:
  Expander(const VariableLookup& lookup, std::span<const std::string> secret, Diagnostics& diagnostics)
      : lookup_(lookup), secret_(secret), diagnostics_(diagnostics) {}

  void Visit(toml::node& node) {
    if (toml::table* table = node.as_table()) {
      for (auto&& [key, child] : *table) Visit(child);
    } else if (toml::array* array = node.as_array()) {
      for (toml::node& child : *array) Visit(child);
    } else if (toml::value<std::string>* text = node.as_string()) {
      text->get() = Expand(text->get(), LineOf(node));
    }
  }

 private:
  std::string Expand(std::string_view text, int line) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
      if (text.substr(at, 3) == "$${") {
        out += "${";
        at += 3;
      } else if (text.substr(at, 2) == "${") {
        at += Substitute(text, at, line, out);
      } else {
        out += text[at++];
      }
    }
    return out;
  }

  // Appends the value of the reference at `at`; returns its length.
  std::size_t Substitute(std::string_view text, std::size_t at, int line, std::string& out) {
    std::size_t length = NameLength(text, at);
    if (length == 0) {
      diagnostics_.Report(line, "\"${\" without a variable name in " + Quoted(text),
                          "write ${NAME} for an environment variable, or $${ for a literal ${");
      out += "${";
      return 2;
    }
    std::string name(text.substr(at + 2, length));
    if (std::find(secret_.begin(), secret_.end(), name) != secret_.end()) {
      diagnostics_.Report(line, "the environment variable " + name + " holds the signing password",
                          "leave ${" + name + "} out of the project: anyone with the installer could read it");
      out += text.substr(at, length + 3);
      return length + 3;
    }
    std::optional<std::string> value = lookup_ ? lookup_(name) : std::nullopt;
    if (!value) {
      diagnostics_.Report(line, "the environment variable " + name + " is not set",
                          "set it for the build, or write $${ for a literal ${");
    }
    out += value.value_or(std::string(text.substr(at, length + 3)));
    return length + 3;
  }

  const VariableLookup& lookup_;
  std::span<const std::string> secret_;
  Diagnostics& diagnostics_;
};

}  // namespace

void ExpandEnvironmentVariables(toml::table& root, const VariableLookup& lookup,
                                std::span<const std::string> secret, Diagnostics& diagnostics) {
  Expander(lookup, secret, diagnostics).Visit(root);
}

}  // namespace palisade::builder
