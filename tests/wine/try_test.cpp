// `palisade try`: the demo product goes without a trace; a product whose
// post-installation batch writes what its uninstaller does not know about
// is caught, in the text and in the JSON report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "wine_harness.h"

namespace palisade::testing {
namespace {

TEST(Try, TheDemoProductLeavesNothingBehind) {
  auto [output, status] = Palisade("try '" + SourcePath("examples/demo/palisade.toml") + "'");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("+ shortcut C:/ProgramData/Microsoft/Windows/Start Menu/Programs/Palisade Demo/Read me first.LNK"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("+ file     C:/Program Files/Palisade Demo/docs/guide.txt"), std::string::npos) << output;
  EXPECT_NE(output.find("+ key      HKLM\\software\\palisade\\demo\n"), std::string::npos) << output;
  EXPECT_TRUE(output.ends_with("nothing left behind\n")) << output;
}

TEST(Try, WhatAPostInstallationBatchWroteIsLeftBehind) {
  std::string project = std::filesystem::temp_directory_path() / ("palisade-try-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(project + "/app");
  std::ofstream(project + "/app/a.txt") << "alpha";
  std::ofstream(project + "/palisade.toml") << R"([product]
name = "Leaky"
version = "1.0"

[[files]]
from = "app/**"

[batches.post-install]
commands = '''
echo stray>"%InstallDir%\stray.txt"
reg add HKCU\Software\Leaky /v Stray /d 1 /f
'''
hidden = true
)";
  auto [text, textStatus] = Palisade("try '" + project + "/palisade.toml'");
  EXPECT_EQ(textStatus, 1) << text;
  std::string left = text.substr(text.find("left behind:\n"));
  EXPECT_NE(left.find("+ file     C:/Program Files/Leaky/stray.txt\n"), std::string::npos) << text;
  EXPECT_NE(left.find("+ key      HKCU\\software\\leaky\n  + value    HKCU\\software\\leaky: \"Stray\"=\"1\"\n"),
            std::string::npos)
      << text;

  auto [json, jsonStatus] = Palisade("try '" + project + "/palisade.toml' --json");
  EXPECT_EQ(jsonStatus, 1) << json;
  std::string leftJson = json.substr(json.find("\"leftBehind\""));
  EXPECT_NE(leftJson.find("\"path\" : \"C:/Program Files/Leaky/stray.txt\""), std::string::npos) << json;
  // The uninstaller is started with the options its entry names and removes
  // all it knows of: only what the batch wrote stays.
  EXPECT_NE(json.find("\"uninstallExitCode\" : 0"), std::string::npos) << json;
  EXPECT_EQ(leftJson.find("uninstall\\\\leaky"), std::string::npos) << json;
  std::filesystem::remove_all(project);
}

}  // namespace
}  // namespace palisade::testing
