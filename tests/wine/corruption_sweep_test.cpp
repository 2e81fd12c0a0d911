// A sample of the corruption sweep's damaged installers run through the real
// engine, silently: each must end with the corrupt-installer code (or the
// version refusal) that reading it natively predicts, having written no
// product file whose bytes differ from the original, or else install the
// product with every file byte-identical to the original. A record damaged
// on purpose may also name another destination, which only the engine's
// file phase judges: there, a clean prediction allows the engine's own
// corrupt-installer report, and a file may land elsewhere.
//
// PALISADE_SWEEP_WINE_CASES sets how many cases run (default 24) and
// PALISADE_SWEEP_EXAMPLE the example (default notes); tools/corruption-sweep
// --wine sets both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "installer_factory.h"
#include "sweep/installer_damage.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

using sweep::DamageCase;
using sweep::Verdict;

std::size_t SampleSize() {
  const char* cases = std::getenv("PALISADE_SWEEP_WINE_CASES");
  return cases != nullptr ? static_cast<std::size_t>(std::atoi(cases)) : 24;
}

std::string ExampleName() {
  const char* example = std::getenv("PALISADE_SWEEP_EXAMPLE");
  return example != nullptr ? example : "notes";
}

struct Predicted {
  DamageCase damage;
  sweep::ReadOutcome outcome;
  Verdict verdict = Verdict::kCorrupt;
};

std::string OutcomeName(const Predicted& predicted) {
  return predicted.verdict == Verdict::kCorrupt ? "error " + std::to_string(format::ErrorCode(predicted.outcome.error))
                                                : sweep::VerdictName(predicted.verdict);
}

// The cases grouped by region and predicted outcome; the groups are taken
// in turn, picking cases far apart in each, so that a small sample already
// meets every kind of outcome.
std::vector<Predicted> Sample(const sweep::Bytes& installer, const sweep::InstallerLayout& layout,
                              const std::vector<sweep::FileRead>& sound, std::size_t count) {
  std::map<std::string, std::vector<Predicted>> groups;
  for (const DamageCase& damage : sweep::DamageCases(layout, {.scriptBlock = 13, .chunkHeads = 61})) {
    Predicted predicted{damage, sweep::ReadDamaged(installer, layout, damage)};
    predicted.verdict = sweep::Judge(predicted.outcome, sound);
    std::string group = std::string(sweep::RegionName(damage.region)) + ", " + OutcomeName(predicted);
    groups[group].push_back(std::move(predicted));
  }
  std::vector<Predicted> sample;
  for (std::size_t round = 0; !groups.empty() && sample.size() < count; ++round) {
    for (auto& [group, cases] : groups) {
      std::size_t at = round * 7919 % cases.size();
      if (sample.size() < count) sample.push_back(cases[at]);
    }
  }
  return sample;
}

// The Linux path of a record installed below `folder`: the stored name
// without its UTF-8 mark, with forward slashes.
std::string InstalledPath(const std::string& folder, const std::string& storedName) {
  std::string name = storedName.rfind("|", 0) == 0 ? storedName.substr(1) : storedName;
  std::replace(name.begin(), name.end(), '\\', '/');
  return folder + "/" + name;
}

struct FilesFound {
  int present = 0;
  std::vector<std::string> differing;
};

FilesFound CompareInstalledFiles(const std::string& folder, const std::vector<sweep::FileRead>& sound) {
  FilesFound found;
  for (const sweep::FileRead& file : sound) {
    std::string path = InstalledPath(folder, file.name);
    if (!FileExists(path)) continue;
    ++found.present;
    if (ReadFile(path) != std::string(file.data.begin(), file.data.end())) found.differing.push_back(path);
  }
  return found;
}

// What the engine's run came to, in the words of the figures.
std::string EngineOutcome(const RunResult& run) {
  std::size_t code = run.err.rfind("Error code: ");
  if (code != std::string::npos) return "error " + std::to_string(std::atoi(run.err.c_str() + code + 12));
  if (run.err.rfind("The installer version", 0) == 0) return sweep::VerdictName(Verdict::kVersionRefused);
  return run.err.empty() ? "installed" : "other";
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class CorruptionSweep : public SharedPrefixTest {};

TEST_F(CorruptionSweep, EachDamagedInstallerIsRefusedWithItsCodeOrInstallsTheOriginalFiles) {
  std::string setup = ::testing::TempDir() + "palisade-sweep-" + ExampleName() + ".exe";
  auto [output, built] =
      Palisade("build --quiet '" + SourcePath("examples/" + ExampleName() + "/palisade.toml") + "' -o '" + setup + "'");
  ASSERT_EQ(built, 0) << output;
  std::string text = ReadFile(setup);
  std::remove(setup.c_str());
  sweep::Bytes installer(text.begin(), text.end());
  sweep::InstallerLayout layout;
  std::string problem;
  ASSERT_TRUE(sweep::MapInstaller(installer, layout, problem)) << problem;
  std::vector<sweep::FileRead> sound = sweep::ReadAsTheEngineDoes(installer).files;

  std::map<std::string, int> outcomes;
  int index = 0;
  for (const Predicted& predicted : Sample(installer, layout, sound, SampleSize())) {
    const DamageCase& damage = predicted.damage;
    Verdict verdict = predicted.verdict;
    SCOPED_TRACE(sweep::Describe(damage));
    ASSERT_TRUE(verdict == Verdict::kCorrupt || verdict == Verdict::kVersionRefused || verdict == Verdict::kClean)
        << sweep::VerdictName(verdict);
    // A clean installation registers the product; the next case must not
    // meet it as an existing installation.
    std::unique_ptr<WinePrefix> own = verdict == Verdict::kClean ? std::make_unique<WinePrefix>() : nullptr;
    WinePrefix& prefix = own ? *own : *prefix_;
    std::string name = "sweep-" + std::to_string(++index);
    std::filesystem::create_directories(prefix.DriveC() + "/cases");
    WriteBytes(prefix.DriveC() + "/cases/" + name + ".exe", sweep::DamagedInstaller(installer, layout, damage));
    RunResult run = prefix.Run({"C:\\cases\\" + name + ".exe", "/silent", "/d:C:\\sweep\\" + name}, 180);

    EXPECT_EQ(run.exitCode, 1);
    bool recordDamaged = damage.region == sweep::Region::kRecordStream;
    if (verdict == Verdict::kClean && recordDamaged) {
      EXPECT_TRUE(run.err.empty() || run.err.find("\r\n\r\nError code: ") != std::string::npos) << run.err;
    } else if (verdict == Verdict::kCorrupt) {
      std::string report = "Error code: " + std::to_string(format::ErrorCode(predicted.outcome.error)) + "\r\n";
      EXPECT_TRUE(EndsWith(run.err, report)) << run.err;
    } else if (verdict == Verdict::kVersionRefused) {
      EXPECT_EQ(run.err.rfind("The installer version (39.0.1) does not match", 0), 0u) << run.err;
    } else {
      EXPECT_EQ(run.err, "");
    }
    FilesFound found = CompareInstalledFiles(prefix.DriveC() + "/sweep/" + name, sound);
    EXPECT_EQ(found.differing, std::vector<std::string>{});
    if (verdict == Verdict::kClean && !recordDamaged) EXPECT_EQ(found.present, static_cast<int>(sound.size()));
    ++outcomes[std::string(sweep::RegionName(damage.region)) + ": " + OutcomeName(predicted) + " -> " +
               EngineOutcome(run)];
  }
  std::string figures;
  for (const auto& [outcome, count] : outcomes) figures += "\n  " + outcome + " x" + std::to_string(count);
  std::printf("corruption sweep under Wine, %d cases (predicted -> the engine's):%s\n", index, figures.c_str());
}

}  // namespace
}  // namespace palisade::testing
