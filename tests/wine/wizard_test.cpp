// The wizard, progress and summary pages of an interactive installation
// under Wine, driven from outside with the window helper: each page's texts
// read by control id against the message table, the buttons pressed, and
// what the pages hand on checked in the installed result.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "format/product_flags.h"
#include "installer_factory.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

namespace low = format::product_flags_low;
namespace high = format::product_flags_high;
namespace flags2 = format::product_flags2;

using format::PageStyleIndex;

constexpr char kRichReadme[] = "\xEF\xBB\xBF{\\rtf1\\ansi\\pard Rich readme for <product>.\\par}";

// Sets message `number` of every language, each language's text marked with
// its name ("Next (Deutsch)").
void SetMessage(format::SetupScript& script, int number, const std::string& text) {
  for (size_t language = 0; language < script.languageNames.size(); ++language) {
    std::u16string name = script.languageNames[language];
    std::string marked = text + " (" + std::string(name.begin(), name.end()) + ")";
    script.messages[static_cast<size_t>(number)][language] = std::u16string(marked.begin(), marked.end());
  }
}

// A product with the texts of every page in two languages, every page on.
InstallerRecipe TwoLanguageProduct() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  format::SetupScript& s = recipe.script;
  s.languageNames = {u"English", u"Deutsch"};
  for (auto& message : s.messages) message.resize(2);
  const std::pair<int, const char*> texts[] = {
      {1, "Welcome to <product>"},
      {9, "Uninstall first"},
      {11, "Choose the folder"},
      {20, "Setup question"},
      {21, "Setup error"},
      {24, "Folder"},
      {27, "Password:"},
      {28, "Stop now?"},
      {39, "Installing <product>"},
      {42, "All done"},
      {43, "Complete"},
      {44, "Licence"},
      {45, "Accept"},
      {46, "Decline"},
      {47, "Read the licence"},
      {48, "Next"},
      {49, "Cancel"},
      {50, "Readme"},
      {51, "Read this"},
      {52, "Browse"},
      {54, "Installing"},
      {65, "Setup"},
      {75, "Password"},
      {76, "Enter the password"},
      {82, "Choose a language"},
      {84, "Start it"},
      {88, "Choose the group"},
      {89, "Start menu"},
      {90, "Install"},
      {92, "Required:"},
      {93, "Available:"},
      {94, "Language"},
      {95, "Finish"},
      {98, "Cancelled"},
      {102, "Wrong password"},
      {111, "Stopped"},
  };
  for (const auto& [number, text] : texts) SetMessage(s, number, text);
  s.productFlagsLow |= low::kFolderPage | low::kPreviousInstallation | low::kKeepInstallLog;
  s.productFlagsHigh |= high::kStartMenuPage | high::kProgressPage;
  s.pageStyles = {1, 1, 2, 3,
                  0, 1, 2, 1};  // greeting, language, licence, readme, folder, start menu, progress, summary
  s.password = "Pw";
  s.licenseTexts = {format::Bytes{'L', 'i', 'c', 'e', 'n', 'c', 'e', ' ', 'o', 'f',
                                  ' ', '<', 'p', 'r', 'o', 'd', 'u', 'c', 't', '>'}};
  s.readmeTexts = {format::Bytes(kRichReadme, kRichReadme + sizeof kRichReadme - 1)};
  s.uninstallerName = "Uninstall.exe";
  recipe.files = {{"app.txt", "app"}};
  return recipe;
}

// One language, no password: the pages after the language page alone.
InstallerRecipe OneLanguageProduct() {
  InstallerRecipe recipe = TwoLanguageProduct();
  recipe.script.languageNames = {u"English"};
  for (auto& message : recipe.script.messages) message.resize(1);
  recipe.script.password.clear();
  return recipe;
}

// Only the progress page: no greeting, no folder pages, no summary.
InstallerRecipe ProgressOnlyProduct(int fileCount) {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  format::SetupScript& s = recipe.script;
  for (const auto& [number, text] : {std::pair<int, const char*>{20, "Question"},
                                     {28, "Stop now?"},
                                     {49, "Cancel"},
                                     {54, "Installing"},
                                     {98, "Cancelled"},
                                     {111, "Stopped"}}) {
    s.messages[static_cast<size_t>(number)][0] = std::u16string(text, text + strlen(text));
  }
  s.productFlagsLow |= low::kNoSummary;
  s.productFlagsHigh |= high::kNoGreeting | high::kProgressPage;
  s.pageStyles[format::kProgressPage] = 1;
  for (int i = 0; i < fileCount; ++i) recipe.files.push_back({"file" + std::to_string(i) + ".txt", "content"});
  return recipe;
}

// A program started without waiting leaves its file a moment later.
bool ShowsUp(const std::string& path) {
  for (int tenth = 0; tenth < 100 && !FileExists(path); ++tenth)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return FileExists(path);
}

class Wizard : public SharedPrefixTest {
 protected:
  Started Start(const InstallerRecipe& recipe, const std::string& name, std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), PlaceInstaller(*prefix_, recipe, name));
    return prefix_->Start(arguments, {kDebugOutput});
  }

  // The texts of the window once they hold `expected`, or the last seen
  // when half a minute has passed.
  std::string TextsOnceShowing(const std::string& caption, const std::string& expected) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string texts;
    while (texts.find(expected) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      texts = prefix_->WindowHelper({"texts", "--caption", caption, "--timeout", "2000"}).out;
    }
    return texts;
  }

  void ExpectShowing(const std::string& caption, const std::vector<std::string>& lines) {
    std::string texts = TextsOnceShowing(caption, lines.front());
    for (const std::string& line : lines)
      EXPECT_NE(texts.find(line + "\n"), std::string::npos) << line << "\n" << texts;
  }

  void Helper(std::vector<std::string> arguments, const std::string& caption) {
    arguments.insert(arguments.end(), {"--caption", caption});
    RunResult run = prefix_->WindowHelper(arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments.front() << " " << caption << ": " << run.err;
  }

  void Press(const std::string& caption, int id) { Helper({"press", std::to_string(id)}, caption); }
  void Type(const std::string& caption, int id, const std::string& text) {
    Helper({"settext", std::to_string(id), text}, caption);
  }

  std::string State(const std::string& caption, int id) {
    return prefix_->WindowHelper({"state", std::to_string(id), "--caption", caption}).out;
  }
};

TEST_F(Wizard, AnInteractiveInstallationGoesThroughEveryPage) {
  InstallerRecipe recipe = TwoLanguageProduct();
  recipe.script.launchProgram = "cmd.exe /c echo launched> C:\\launched.txt";
  recipe.productFlags2 = flags2::kLaunchChecked | flags2::kShowDiskSpace;
  Started run = Start(recipe, "wizard");

  // The language page preselects English, then relabels itself in the language picked.
  ExpectShowing("Language (English)", {"1009\tStatic\tChoose a language (English)", "1001\tButton\tNext (English)",
                                       "1003\tButton\tCancel (English)"});
  Helper({"select", "1017", "1"}, "Language (English)");
  ExpectShowing("Language (Deutsch)", {"1009\tStatic\tChoose a language (Deutsch)", "1001\tButton\tNext (Deutsch)"});
  Press("Language (Deutsch)", 1001);

  ExpectShowing("Setup (Deutsch)", {"1009\tStatic\tWelcome to Palisade Test Product (Deutsch)"});
  Press("Setup (Deutsch)", 1001);

  // A wrong password keeps the page open behind an error; letter case counts.
  ExpectShowing("Password (Deutsch)",
                {"1009\tStatic\tEnter the password (Deutsch)", "1039\tStatic\tPassword: (Deutsch)"});
  Type("Password (Deutsch)", 1019, "pw");
  Press("Password (Deutsch)", 1001);
  ExpectShowing("Setup error (Deutsch)", {"65535\tStatic\tWrong password (Deutsch)"});
  Press("Setup error (Deutsch)", 1);
  Type("Password (Deutsch)", 1019, "Pw");
  Press("Password (Deutsch)", 1001);

  // Banner style: the window keeps the setup caption and the title moves into the banner.
  ExpectShowing("Setup (Deutsch)", {"1035\tStatic\tLicence (Deutsch)", "1009\tStatic\tRead the licence (Deutsch)",
                                    "1005\tEdit\tLicence of Palisade Test Product", "1001\tButton\tAccept (Deutsch)",
                                    "1003\tButton\tDecline (Deutsch)"});
  Press("Setup (Deutsch)", 1001);

  // Rich text keeps its placeholder.
  ExpectShowing("Readme (Deutsch)",
                {"1005\tRichEdit20W\tRich readme for <product>.", "1009\tStatic\tRead this (Deutsch)"});
  Press("Readme (Deutsch)", 1001);

  ExpectShowing("Folder (Deutsch)", {"1009\tStatic\tChoose the folder (Deutsch)",
                                     "1015\tEdit\tC:\\\\Program Files\\\\Palisade Test Product",
                                     "1013\tButton\tBrowse (Deutsch)", "1001\tButton\tNext (Deutsch)",
                                     "1036\tStatic\tRequired: (Deutsch) 3 bytes"});
  const std::string available = "1037\tStatic\tAvailable: (Deutsch) ";
  EXPECT_NE(TextsOnceShowing("Folder (Deutsch)", available).find(available), std::string::npos);
  Type("Folder (Deutsch)", 1015, "C:\\Chosen Folder");
  Press("Folder (Deutsch)", 1001);

  // An invalid name disables the forward button.
  ExpectShowing("Start menu (Deutsch)",
                {"1009\tStatic\tChoose the group (Deutsch)", "1001\tButton\tInstall (Deutsch)"});
  Type("Start menu (Deutsch)", 1015, "Bad;Name");
  EXPECT_NE(State("Start menu (Deutsch)", 1001).find("enabled 0\n"), std::string::npos);
  Type("Start menu (Deutsch)", 1015, "Acme\\Tools");
  EXPECT_NE(State("Start menu (Deutsch)", 1001).find("enabled 1\n"), std::string::npos);
  Press("Start menu (Deutsch)", 1001);

  ExpectShowing("Complete (Deutsch)", {"1009\tStatic\tAll done (Deutsch)", "1025\tButton\tStart it (Deutsch)",
                                       "1001\tButton\tFinish (Deutsch)"});
  EXPECT_NE(State("Complete (Deutsch)", 1025).find("visible 1\nchecked 1\n"), std::string::npos);
  EXPECT_NE(State("Complete (Deutsch)", 1023).find("visible 0\nchecked 0\n"), std::string::npos);
  Press("Complete (Deutsch)", 1001);

  RunResult result = prefix_->Wait(run, 60);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/Chosen Folder/app.txt"), "app");
  std::string key = prefix_
                        ->Run({"reg", "query",
                               "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                               "Palisade Test Product",
                               "/v", "ProductStartMenu"})
                        .out;
  EXPECT_NE(key.find("Acme\\Tools"), std::string::npos) << key;
  EXPECT_TRUE(ShowsUp(prefix_->DriveC() + "/launched.txt")) << "the checked program is started";
}

TEST_F(Wizard, DecliningTheLicenceEndsTheRunWithNothingCreated) {
  InstallerRecipe recipe = OneLanguageProduct();
  recipe.script.productFlagsHigh |= high::kNoGreeting;
  recipe.script.pageStyles[format::kLicensePage] = 1;
  Started run = Start(recipe, "decline");
  ExpectShowing("Licence (English)", {"1003\tButton\tDecline (English)"});
  Press("Licence (English)", 1003);
  RunResult result = prefix_->Wait(run, 60);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Program Files/Palisade Test Product"));
  std::vector<std::string> trace = EngineTrace(result.err);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "phase 13 installation folder"), 0) << result.err;
}

TEST_F(Wizard, APlainGreetingIsAMessageBoxWhoseCancelRefuses) {
  InstallerRecipe recipe = OneLanguageProduct();
  recipe.script.pageStyles[format::kGreetingPage] = 0;
  Started run = Start(recipe, "plain-greeting");
  ExpectShowing("Setup (English)", {"65535\tStatic\tWelcome to Palisade Test Product (English)", "1\tButton\tOK",
                                    "2\tButton\tCancel (English)"});
  Press("Setup (English)", 2);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
  EXPECT_FALSE(FileExists(prefix_->DriveC() + "/Program Files/Palisade Test Product"));
}

TEST_F(Wizard, ClosingTheSummaryRunsNoneOfItsOptions) {
  InstallerRecipe recipe = ProgressOnlyProduct(1);
  recipe.script.productFlagsLow &= ~low::kNoSummary;
  recipe.script.pageStyles[format::kSummaryPage] = 1;
  for (const auto& [number, text] : {std::pair<int, const char*>{42, "All done"}, {43, "Complete"}, {84, "Start it"}}) {
    recipe.script.messages[static_cast<size_t>(number)][0] = std::u16string(text, text + strlen(text));
  }
  recipe.script.launchProgram = "cmd.exe /c echo launched> C:\\closed-summary.txt";
  recipe.productFlags2 = flags2::kLaunchChecked;
  Started run = Start(recipe, "closed-summary");
  ExpectShowing("Complete", {"1025\tButton\tStart it"});
  EXPECT_NE(State("Complete", 1025).find("checked 1\n"), std::string::npos);
  Helper({"close"}, "Complete");
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
  EXPECT_FALSE(ShowsUp(prefix_->DriveC() + "/closed-summary.txt"));
}

// The installer runs elevated: what the summary opens, the desktop's shell
// opens, as the desktop's user, in the order of the choices; the installer
// opens none of them with its own rights.
TEST(SummaryChoices, OpenAsTheDesktopUser) {
  WinePrefix prefix;
  InstallerRecipe recipe = ProgressOnlyProduct(0);
  format::SetupScript& s = recipe.script;
  s.productFlagsLow = (s.productFlagsLow & ~low::kNoSummary) | low::kKeepInstallLog;
  s.productFlagsHigh |= high::kOfferToViewLog;
  s.pageStyles[format::kSummaryPage] = 1;
  for (const auto& [number, text] : {std::pair<int, const char*>{42, "All done"}, {43, "Complete"}, {83, "Open it"},
                                     {85, "Show the log"}, {87, "Open the readme"}}) {
    s.messages[static_cast<size_t>(number)][0] = std::u16string(text, text + strlen(text));
  }
  s.openDocument = "manual.txt";
  s.summaryOpenTarget = "%InstallDir%\\readme.txt";
  recipe.productFlags2 = flags2::kOpenDocumentChecked | flags2::kOpenSecondChecked;
  recipe.files = {{"manual.txt", "manual"}, {"readme.txt", "readme"}};
  Started run = prefix.Start({PlaceInstaller(prefix, recipe, "opens")}, {kDebugOutput});
  ASSERT_EQ(prefix.WindowHelper({"wait", "--caption", "Complete", "--timeout", "60000"}).exitCode, 0);
  prefix.WindowHelper({"press", "1027", "--caption", "Complete"});
  prefix.WindowHelper({"press", "1001", "--caption", "Complete"});
  RunResult ended = prefix.Wait(run, 60);
  std::vector<std::string> opened;
  for (const std::string& line : EngineTrace(ended.err)) {
    if (line.find("desktop shell") != std::string::npos) opened.push_back(line);
  }
  // The trace shows each backslash doubled.
  const std::string folder = "C:\\\\Program Files\\\\Palisade Test Product\\\\";
  EXPECT_EQ(opened, (std::vector<std::string>{"desktop shell opens " + folder + "manual.txt",
                                              "desktop shell opens " + folder + "Install.log",
                                              "desktop shell opens " + folder + "readme.txt"}))
      << ended.err;
}

// Any style but the four loads the banner template and paints no banner:
// the page's title stays the window's caption.
TEST_F(Wizard, AnUnknownStyleShowsTheBannerTemplateWithoutTheBanner) {
  InstallerRecipe recipe = OneLanguageProduct();
  recipe.script.productFlagsHigh |= high::kNoGreeting;
  recipe.script.pageStyles[format::kLicensePage] = 7;
  Started run = Start(recipe, "unknown-style");
  ExpectShowing("Licence (English)", {"1032\tStatic\t", "1034\tStatic\t", "1035\tStatic\t"});
  Press("Licence (English)", 1003);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
}

TEST_F(Wizard, TheFolderPageComesBackUntilAWholePathIsChosen) {
  InstallerRecipe recipe = OneLanguageProduct();
  recipe.script.productFlagsHigh |= high::kNoGreeting;
  recipe.script.productFlagsHigh &= ~high::kStartMenuPage;
  recipe.script.licenseTexts.clear();
  recipe.script.readmeTexts.clear();
  Started run = Start(recipe, "empty-folder");
  ExpectShowing("Folder (English)", {"1015\tEdit\tC:\\\\Program Files\\\\Palisade Test Product"});
  Type("Folder (English)", 1015, "");
  Press("Folder (English)", 1001);
  ExpectShowing("Folder (English)", {"1015\tEdit\t"});
  Type("Folder (English)", 1015, "Relative");
  Press("Folder (English)", 1001);
  ExpectShowing("Folder (English)", {"1015\tEdit\tRelative"});
  Type("Folder (English)", 1015, "C:\\Second Choice");
  Press("Folder (English)", 1001);
  // Nothing to offer on a summary: the completion notice instead.
  ExpectShowing("Complete (English)", {"65535\tStatic\tAll done (English)"});
  Press("Complete (English)", 1);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
  EXPECT_EQ(ReadFile(prefix_->DriveC() + "/Second Choice/app.txt"), "app");
}

TEST_F(Wizard, EscapeAndTheCloseBoxEndNoPage) {
  InstallerRecipe recipe = TwoLanguageProduct();
  recipe.script.password.clear();
  Started run = Start(recipe, "escape");
  ExpectShowing("Language (English)", {"1001\tButton\tNext (English)"});
  Press("Language (English)", 2);
  Helper({"close"}, "Language (English)");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ExpectShowing("Language (English)", {"1001\tButton\tNext (English)"});
  Press("Language (English)", 1003);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
}

TEST_F(Wizard, ProgressBarTakesTheFileMilestones) {
  InstallerRecipe recipe = ProgressOnlyProduct(10);
  // Each file's status stays up a while, so that every position can be seen.
  recipe.script.minimumStatusTime = 150;
  Started run = Start(recipe, "progress");
  RunResult watched = prefix_->WindowHelper({"watch", "1007", "--caption", "Installing"});
  RunResult result = prefix_->Wait(run, 60);
  EXPECT_EQ(result.exitCode, 1);
  std::vector<int> positions;
  std::istringstream lines(watched.out);
  for (int position; lines >> position;) {
    if (position >= 28 && position < 91) positions.push_back(position);
  }
  EXPECT_EQ(positions, (std::vector<int>{28, 34, 40, 46, 52, 59, 65, 71, 77, 83})) << watched.out;
}

TEST_F(Wizard, CancelOnTheProgressPageAsksAndYesEndsTheRun) {
  InstallerRecipe recipe = ProgressOnlyProduct(3);
  recipe.script.minimumStatusTime = 3000;
  Started run = Start(recipe, "cancel");
  ExpectShowing("Installing", {"1003\tButton\tCancel"});
  EXPECT_NE(State("Installing", 1003).find("enabled 1\n"), std::string::npos);
  Press("Installing", 1003);
  ExpectShowing("Question", {"65535\tStatic\tStop now?"});
  Press("Question", 6);
  ExpectShowing("Stopped", {"65535\tStatic\tCancelled"});
  Press("Stopped", 1);
  RunResult result = prefix_->Wait(run, 60);
  EXPECT_EQ(result.exitCode, 1);
  std::vector<std::string> trace = EngineTrace(result.err);
  EXPECT_EQ(std::count(trace.begin(), trace.end(), "phase 30 product registration"), 0) << result.err;
}

TEST_F(Wizard, WindowsMayNotLogOffWhileTheProgressPageIsOpen) {
  InstallerRecipe recipe = ProgressOnlyProduct(2);
  recipe.script.minimumStatusTime = 500;
  Started run = Start(recipe, "end-session");
  ExpectShowing("Installing", {"1003\tButton\tCancel"});
  EXPECT_EQ(prefix_->WindowHelper({"endsession", "--caption", "Installing"}).out, "answer 0\n");
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
}

TEST_F(Wizard, MustUninstallConfirmation) {
  const struct {
    const char* how;
    std::vector<std::string> helper;
    const char* result;
  } cases[] = {
      {"Uninstall", {"press", "1001"}, "result 1001\n"},
      {"Cancel", {"press", "1003"}, "result 1003\n"},
      {"the close box", {"close"}, "result 1003\n"},
  };
  for (const auto& c : cases) {
    Started probe = prefix_->Start({WindowsTestProgram("engine_probe.exe"), "--message", "21=Setup error", "--message",
                                    "9=Remove the old one first", "--message", "104=Uninstall it", "--message",
                                    "49=Keep it", "must-uninstall"});
    ExpectShowing("Setup error",
                  {"1009\tStatic\tRemove the old one first", "1001\tButton\tUninstall it", "1003\tButton\tKeep it"});
    Helper(c.helper, "Setup error");
    EXPECT_EQ(prefix_->Wait(probe, 30).out, c.result) << c.how;
  }
}

// Without a background window pages are centred on the work area, and the
// progress page stands where the script places it; the virtual display is
// 1024 by 768 and Wine keeps no taskbar on it.
TEST_F(Wizard, PagesAreCentredAndTheProgressPageIsPlaced) {
  Started run = Start(OneLanguageProduct(), "centred");
  Rect page = WindowRects(prefix_->WindowHelper({"rects", "--caption", "Setup (English)"}).out)["window"];
  EXPECT_NEAR(page.CentreX(), 512, 2);
  EXPECT_NEAR(page.CentreY(), 384, 2);
  Press("Setup (English)", 1003);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);

  InstallerRecipe recipe = ProgressOnlyProduct(2);
  recipe.script.minimumStatusTime = 500;
  recipe.script.progressPlacement = 6;  // bottom right, a fortieth of the screen from its edges
  run = Start(recipe, "placed");
  Rect progress = WindowRects(prefix_->WindowHelper({"rects", "--caption", "Installing"}).out)["window"];
  EXPECT_EQ(progress.right, 1024 - 1024 / 40);
  EXPECT_EQ(progress.bottom, 768 - 768 / 40);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
}

TEST_F(Wizard, CancelIsDisabledWhenTheScriptForbidsIt) {
  InstallerRecipe recipe = ProgressOnlyProduct(2);
  recipe.script.productFlagsLow |= low::kCancelForbidden;
  recipe.script.minimumStatusTime = 500;
  Started run = Start(recipe, "forbidden");
  ExpectShowing("Installing", {"1003\tButton\tCancel"});
  EXPECT_NE(State("Installing", 1003).find("enabled 0\n"), std::string::npos);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
}

// Dialog units follow the screen's resolution, so a page grows with it and
// its buttons stay inside it, in their row.
TEST(WizardResolution, PagesGrowWithTheScreensDotsPerInch) {
  std::map<int, Rect> pages, next, cancel;
  for (int dotsPerInch : {96, 144, 192}) {
    WinePrefix prefix;
    prefix.Run({"reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                std::to_string(dotsPerInch), "/f"});
    InstallerRecipe recipe = TwoLanguageProduct();
    Started run = prefix.Start({PlaceInstaller(prefix, recipe, "resolution")});
    std::map<std::string, Rect> rects =
        WindowRects(prefix.WindowHelper({"rects", "--caption", "Language (English)"}).out);
    pages[dotsPerInch] = rects["window"];
    next[dotsPerInch] = rects["1001"];
    cancel[dotsPerInch] = rects["1003"];
    prefix.WindowHelper({"press", "1003", "--caption", "Language (English)"});
    prefix.Wait(run, 60);
  }
  auto width = [](const Rect& r) { return double(r.Width()); };
  EXPECT_NEAR(width(pages[144]) / width(pages[96]), 1.5, 0.1);
  EXPECT_NEAR(width(pages[192]) / width(pages[96]), 2.0, 0.12);
  for (int dotsPerInch : {96, 144, 192}) {
    EXPECT_LT(next[dotsPerInch].right, cancel[dotsPerInch].left) << dotsPerInch;
    EXPECT_EQ(next[dotsPerInch].top, cancel[dotsPerInch].top) << dotsPerInch;
    EXPECT_LE(cancel[dotsPerInch].right, pages[dotsPerInch].right) << dotsPerInch;
  }
}

// A product for the uninstaller's pages, under a name of its own.
InstallerRecipe RemovableProduct() {
  InstallerRecipe recipe;
  recipe.script = MinimalScript();
  format::SetupScript& s = recipe.script;
  s.productName = "Palisade Removal Product";
  for (const auto& [number, text] : {std::pair<int, const char*>{49, "Cancel"},
                                     {53, "Remove it?"},
                                     {55, "Removal"},
                                     {71, "Removing <product>"},
                                     {104, "Uninstall"},
                                     {109, "We can help"},
                                     {110, "Get help"}}) {
    s.messages[static_cast<size_t>(number)][0] = std::u16string(text, text + strlen(text));
  }
  s.productFlagsLow |= low::kPreviousInstallation;
  s.productFlagsHigh |= high::kProgressPage;
  s.uninstallerName = "Uninstall.exe";
  s.supportOffer = "https://support.example/";
  recipe.files = {{"app.txt", "app"}};
  return recipe;
}

constexpr char kRemovableFolder[] = "/Program Files/Palisade Removal Product";

class UninstallerPages : public Wizard {
 protected:
  Started InstallAndStartUninstaller() {
    // Not silent: a silent installation stores its flags without the progress page.
    EXPECT_EQ(prefix_->Run({PlaceInstaller(*prefix_, RemovableProduct(), "removable"), "/a"}).exitCode, 1);
    Started run = prefix_->Start(
        {"C:\\Program Files\\Palisade Removal Product\\Uninstall.exe", "/u:\"Palisade Removal Product\""});
    ExpectShowing("Removal", {"65535\tStatic\tRemove it?"});
    Press("Removal", 6);
    ExpectShowing("Get help", {"1009\tStatic\tWe can help", "1001\tButton\tGet help", "1003\tButton\tUninstall"});
    return run;
  }
};

TEST_F(UninstallerPages, ProgressPageInTheBannerStyleWithCancelDisabled) {
  Started run = InstallAndStartUninstaller();
  Press("Get help", 1003);
  ExpectShowing("Removal",
                {"1009\tStatic\tRemoving Palisade Removal Product", "1035\tStatic\tRemoval", "1003\tButton\tCancel"});
  EXPECT_NE(State("Removal", 1003).find("enabled 0\n"), std::string::npos);
  RunResult result = prefix_->Wait(run, 60);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(FileExists(prefix_->DriveC() + kRemovableFolder + "/app.txt"));
}

TEST_F(UninstallerPages, TakingTheSupportOfferLeavesTheProductInstalled) {
  Started run = InstallAndStartUninstaller();
  Press("Get help", 1001);
  EXPECT_EQ(prefix_->Wait(run, 60).exitCode, 1);
  EXPECT_TRUE(FileExists(prefix_->DriveC() + kRemovableFolder + "/app.txt"));
  // Removed for the tests that share the prefix.
  prefix_->Run(
      {"C:\\Program Files\\Palisade Removal Product\\Uninstall.exe", "/u:\"Palisade Removal Product\"", "/silent"});
}

}  // namespace
}  // namespace palisade::testing
