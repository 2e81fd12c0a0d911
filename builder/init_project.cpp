#include "builder/init_project.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include <toml++/toml.h>

#include "builder/glob.h"

namespace palisade::builder {
namespace {

// A TOML string, quoted and escaped as TOML needs.
std::string TomlText(const std::string& text) {
  std::ostringstream out;
  out << toml::value<std::string>(text);
  return out.str();
}

bool IsProgram(const std::string& name) {
  if (name.size() < 4) return false;
  std::string extension = name.substr(name.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".exe";
}

// The one program among `files`, as the installed file's Windows path
// below the installation folder; empty when there is none or more than one.
std::string OnlyProgram(const std::vector<GlobMatch>& files) {
  std::string program;
  for (const GlobMatch& file : files) {
    if (!IsProgram(file.relative)) continue;
    if (!program.empty()) return {};
    program = file.relative;
  }
  std::replace(program.begin(), program.end(), '/', '\\');
  return program;
}

}  // namespace

bool InitialProject(const std::filesystem::path& folder, const std::string& product, std::string& text,
                    std::string& problem) {
  std::vector<GlobMatch> files;
  if (!ExpandGlob(folder, "**", {kProjectFileName}, files, problem)) return false;
  std::string program = OnlyProgram(files);
  text = "# The installer of " + product + ", written by `palisade init`.\n"
         "# Every key is described in docs/project-file.md of Palisade. Build it with\n"
         "#   palisade build palisade.toml -o ../Setup.exe\n"
         "# writing the installer outside this folder, which [[files]] packs whole.\n"
         "\n"
         "[product]\n"
         "# The name in the wizard, the installation folder and the list of\n"
         "# installed programs.\n"
         "name = " + TomlText(product) + "\n"
         "# One to four numbers separated by dots; ${VERSION} takes it from the\n"
         "# environment of the build.\n"
         "version = \"1.0.0\"\n"
         "# Shown in the list of installed programs.\n"
         "publisher = \"Your Company\"\n"
         "\n"
         "# Every file below this folder goes into the installation folder,\n"
         "# keeping its subfolders; `exclude` leaves files out (\"*.pdb\").\n"
         "[[files]]\n"
         "from = \"**\"\n"
         "exclude = [\"" + std::string(kProjectFileName) + "\"]\n";
  if (!program.empty()) {
    text += "\n"
            "# A shortcut in the start menu to the product's program.\n"
            "[[shortcuts]]\n"
            "target = " + TomlText("%InstallDir%\\" + program) + "\n"
            "name = " + TomlText(product) + "\n"
            "start-menu = true\n";
  }
  return true;
}

}  // namespace palisade::builder
