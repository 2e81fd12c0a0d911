// Every project-file example in docs/ builds: each ```toml block, with a
// [product] added where the example leaves it out and stand-ins for the
// files it names; and so does the demo project. The stored JSON Schema is
// the one the builder writes.
#include <gtest/gtest.h>

#include <set>

#include "bitmap_file.h"
#include "builder_test_support.h"
#include "icon_file.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;
using test_support::BuilderTest;
using test_support::CommandResult;

struct Example {
  std::string document;
  int line = 0;  // of the opening fence
  std::string text;
};

// The ```toml blocks of `document`, without the indentation of a list item.
std::vector<Example> TomlExamples(const std::string& document) {
  std::vector<Example> examples;
  std::istringstream lines(test_support::ReadText(fs::path(PALISADE_SOURCE_DIR) / document));
  std::string line, indent;
  bool inside = false;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::size_t fence = line.find("```");
    if (!inside && fence != std::string::npos && line.substr(fence) == "```toml") {
      inside = true;
      indent = line.substr(0, fence);
      examples.push_back({document, number, ""});
    } else if (inside && fence != std::string::npos) {
      inside = false;
    } else if (inside) {
      examples.back().text += (line.starts_with(indent) ? line.substr(indent.size()) : line) + "\n";
    }
  }
  return examples;
}

// Keys whose texts name files of the project.
const std::set<std::string> kFileKeys = {"from", "license",       "readme",         "picture",
                                         "icon", "greeting-sound", "file",           "optional-blob",
                                         "desktop-folder-icon", "side-picture", "banner-picture"};

std::vector<uint8_t> StandIn(const fs::path& path) {
  std::string extension = path.extension().string();
  std::string text = "stand-in for " + path.generic_string() + "\n";
  if (extension == ".ico") return format::test_bytes::IconFile();
  if (extension == ".bmp") return format::test_bytes::BitmapFile({});
  if (extension == ".wav") text = std::string("RIFF\x04\0\0\0WAVEfmt ", 16);
  if (extension == ".rtf") text = "{\\rtf1 stand-in}";
  if (extension == ".toml") text = "42 = \"stand-in\"\n";
  return std::vector<uint8_t>(text.begin(), text.end());
}

class DocsExamples : public BuilderTest {
 protected:
  // A stand-in for each file the example names; a pattern gets one file
  // below its fixed part.
  void WriteFilesOf(const toml::node& node, std::string_view key) {
    if (const toml::table* table = node.as_table()) {
      for (const auto& [child, value] : *table) WriteFilesOf(value, child.str());
    } else if (const toml::array* array = node.as_array()) {
      for (const toml::node& item : *array) WriteFilesOf(item, key);
    } else if (const std::optional<std::string> text = node.value<std::string>(); text && kFileKeys.count(std::string(key))) {
      std::string path = text->substr(0, text->find_first_of("*?"));
      if (path != *text) path = path.substr(0, path.rfind('/') + 1) + "sample.txt";
      if (!fs::exists(Path(path))) WriteBytes(path, StandIn(path));
    }
  }
};

TEST_F(DocsExamples, EveryProjectFileExampleBuilds) {
  variables_ = {{"VERSION", "2.1.0"}};
  std::vector<Example> examples = TomlExamples("docs/project-file.md");
  ASSERT_GE(examples.size(), 20u);
  for (const Example& example : examples) {
    std::string where = example.document + ":" + std::to_string(example.line);
    toml::table parsed;
    try {
      parsed = toml::parse(example.text);
    } catch (const toml::parse_error& error) {
      ADD_FAILURE() << where << ": " << error;
      continue;
    }
    WriteFilesOf(parsed, "");
    std::string project = example.text;
    if (!parsed.contains("product")) project = "[product]\nname = \"Acme Notes\"\nversion = \"2.1.0\"\n\n" + project;
    CommandResult build = Build(project);
    EXPECT_EQ(build.status, 0) << where << "\n" << build.err;
  }
}

TEST_F(DocsExamples, TheDemoProjectBuildsWithoutWarnings) {
  fs::path project = fs::path(PALISADE_SOURCE_DIR) / "examples/demo/palisade.toml";
  CommandResult build = Run({"build", project.string(), "-o", Path("demo.exe").string(), "--engine",
                             Path("engine.exe").string(), "--deny-warnings", "--quiet"});
  EXPECT_EQ(build.status, 0) << build.err;
}

// Editors check project files against the stored schema, so it must list
// the keys this builder reads (tests/native/project_schema_test.py checks
// what it accepts and refuses).
TEST_F(DocsExamples, TheStoredSchemaIsTheOneTheBuilderWrites) {
  CommandResult schema = Run({"schema"});
  ASSERT_EQ(schema.status, 0) << schema.err;
  EXPECT_TRUE(schema.out == test_support::ReadText(fs::path(PALISADE_SOURCE_DIR) / "docs/palisade.schema.json"))
      << "docs/palisade.schema.json is not what `palisade schema` prints; after changing the keys of project "
         "files, regenerate it with: make native && build/bin/palisade schema > docs/palisade.schema.json";
}

}  // namespace
}  // namespace palisade::builder
