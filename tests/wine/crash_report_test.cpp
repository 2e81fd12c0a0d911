// Crash handling under Wine: an access violation planted in a test build of
// the engine, in the middle of an installation, leaves its report in the
// log, shows it in the crash dialog, and "Inform Us" posts the form over
// TLS to the product's crash report address, never over plain HTTP. The
// shipped engine carries no such fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <sstream>

#include "installer_factory.h"
#include "loopback_server.h"
#include "wine_harness.h"

namespace palisade::testing {
namespace {

constexpr char kCrashMarker[] = "PALISADE_TEST_CRASH_PHASE";
constexpr char kCaption[] = "Illegal Operation";
constexpr char kEmail[] = "tester@acme.example";
constexpr char kComments[] = "Pressed Install.\r\nThen it stopped.";
constexpr char kSender[] = "support@acme.example";
constexpr char kCrashed[] = "\r\n\r\nINSTALLER CRASHED!\r\n";

std::string CrashingEngine() { return WindowsTestProgram("crashing_engine.exe"); }

TEST(CrashTrigger, IsOnlyInTheTestBuild) {
  const std::string shipped = ReadFile(EnginePath());
  const std::string testBuild = ReadFile(CrashingEngine());
  for (const char* marker :
       {kCrashMarker, "PALISADE_TEST_FATAL_PHASE", "PALISADE_TEST_KILL_AT", "PALISADE_TEST_SWAP_AT"}) {
    EXPECT_EQ(shipped.find(marker), std::string::npos) << marker;
    EXPECT_NE(testBuild.find(marker), std::string::npos) << marker;
  }
}

// The crash comes at the shortcuts, once the files and the uninstall folder
// are there.
InstallerRecipe CrashingProduct(const std::string& reportAddress) {
  InstallerRecipe recipe = ProductWithUninstaller();
  recipe.engine = CrashingEngine();
  recipe.script.productName = "Acme Crash";
  recipe.script.crashReportUrl = reportAddress;
  recipe.script.supportMail = kSender;
  recipe.files = {{"app.txt", "app"}};
  return recipe;
}

// The report's layout, line by line; "H" stands for eight upper-case
// hexadecimal digits.
// Addresses and general registers have the width of the engine's words;
// codes, flags and segment registers eight digits on either engine.
std::string LayoutPattern() {
  const std::string h = "[0-9A-F]{8}";
  const std::string w = kEngineBits == 64 ? "[0-9A-F]{16}" : h;
  const std::vector<const char*> general =
      kEngineBits == 64 ? std::vector<const char*>{"  RAX", "  RBX", "  RCX", "  RDX", "  RDI", "  RSI", "  RIP", "  RBP",
                                                   "  RSP", "   R8", "   R9", "  R10", "  R11", "  R12", "  R13", "  R14",
                                                   "  R15"}
                        : std::vector<const char*>{"  EAX", "  EBX", "  ECX", "  EDX", "  EDI", "  ESI", "  EIP", "  EBP",
                                                   "  ESP"};
  std::string registers = "Flags: " + h;
  for (const char* name : general) registers += std::string("\r\n") + name + ": " + w;
  for (const char* name : {"   CS", "   DS", "   ES", "   FS", "   GS", "   SS"}) {
    registers += std::string("\r\n") + name + ": " + h;
  }
  return "Exception: Illegal memory access\\.\r\n"
         "\r\nProduct: Palisade Setup 39\\.0\\.1 Installer\r\n"
         "\r\n"
         "Exception code: C0000005\r\n"
         "Address: " + w + "\r\n"
         "Module: C:\\\\cases\\\\crashing\\.exe\r\n"
         "Read/write: write\r\n"
         "Memory address: " + (kEngineBits == 64 ? "00000000" : "") + "00000010\r\n"
         "Thread ID: ([0-9]+)  Main Thread: \\1\r\n"
         "Process/kernel/user time: [0-9:.]+ / [0-9:.]+ / [0-9:.]+\r\n"
         "OS: [^\r\n]+\r\n"
         "IE: [^\r\n]*\r\n"
         "Language: [^\r\n]+\r\n"
         "Locale: 0x[0-9A-F]{4}  Codepage: [0-9]+\r\n"
         "Command line: [^\r\n]*crashing\\.exe[^\r\n]*\r\n"
         "\r\nCPU Registers:\r\n" + registers +
         "\r\n\r\nModules:\r\n"
         "(" + w + " " + w + " [^\r\n]+\r\n)*" + w + " " + w + " C:\\\\cases\\\\crashing\\.exe\r\n(" + w + " " + w +
         " [^\r\n]+\r\n)*"
         "\r\nCall Stack:\r\n"
         "(" + w + " " + w + " [^\r\n]*\r\n)*";
}

// The form as the maker's endpoint reads it: each part's name and value.
std::vector<std::pair<std::string, std::string>> FormParts(const std::string& body) {
  std::vector<std::pair<std::string, std::string>> parts;
  const std::string open = "--AaB03x\r\nContent-Disposition: form-data; name=\"";
  size_t at = 0;
  while (body.compare(at, open.size(), open) == 0) {
    size_t nameEnd = body.find("\"\r\n\r\n", at + open.size());
    size_t valueEnd = body.find("\r\n--AaB03x", nameEnd);
    if (nameEnd == std::string::npos || valueEnd == std::string::npos) break;
    parts.emplace_back(body.substr(at + open.size(), nameEnd - at - open.size()),
                       body.substr(nameEnd + 5, valueEnd - nameEnd - 5));
    at = valueEnd + 2;
  }
  EXPECT_EQ(body.substr(at), "--AaB03x--\r\n");
  return parts;
}

// The prefix trusts the server's certificate as a machine would trust its
// maker's: WinHTTP checks it as it checks any other.
void TrustServer(WinePrefix& prefix, const LoopbackServer& server) {
  CopyFile(server.CertificateFile(), prefix.DriveC() + "/loopback.der");
  RunResult trusted = prefix.Run({WindowsTestProgram("trustcert.exe"), "C:\\loopback.der"});
  ASSERT_EQ(trusted.exitCode, 0) << trusted.err;
}

// The head's lines, in any order: WinHTTP adds lines of its own.
std::vector<std::string> HeadLines(const std::string& head) {
  std::vector<std::string> lines;
  std::istringstream in(head);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

TEST(CrashReport, GoesToTheLogTheDialogAndTheProductsAddress) {
  WinePrefix prefix;
  LoopbackServer server(LoopbackServer::Mode::kAnswering, LoopbackServer::Transport::kTls);
  TrustServer(prefix, server);
  std::string installer = PlaceInstaller(prefix, CrashingProduct(server.Address() + "/crash/form"), "crashing");
  Started run = prefix.Start({installer, "/a"}, {std::string(kCrashMarker) + "=24"});
  RunResult texts = prefix.WindowHelper({"texts", "--caption", kCaption, "--timeout", "60000"});
  ASSERT_EQ(texts.exitCode, 0) << texts.err;
  EXPECT_EQ(prefix.WindowHelper({"state", "2700", "--caption", kCaption}).out.find("enabled 1"), 0u);
  prefix.WindowHelper({"settext", "2705", kEmail, "--caption", kCaption});
  prefix.WindowHelper({"settext", "2707", kComments, "--caption", kCaption});
  prefix.WindowHelper({"press", "2700", "--caption", kCaption});
  RunResult ended = prefix.Wait(run, 60);
  EXPECT_NE(ended.exitCode, -1) << "the installer still ran after Inform Us";

  std::string log = ReadFile(prefix.DriveC() + "/Program Files/Acme Crash/uninstall/Install.log");
  size_t crashed = log.find(kCrashed);
  ASSERT_NE(crashed, std::string::npos) << log;
  std::string fromLog = log.substr(crashed + std::strlen(kCrashed));
  std::smatch layout;
  ASSERT_TRUE(std::regex_search(fromLog, layout, std::regex(LayoutPattern()), std::regex_constants::match_continuous))
      << fromLog;
  std::string report = layout.str(0);

  EXPECT_NE(texts.out.find("2702\tStatic\tWe apologize for the inconvenience, but the program has performed an illegal "
                           "operation and must close.  Please report this problem to Palisade by clicking the "
                           "\"Inform Us\" button below.\n"),
            std::string::npos)
      << texts.out;
  EXPECT_NE(texts.out.find("2703\tEdit\t" + Escaped(report) + "\n"), std::string::npos) << texts.out;

  std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const ReceivedRequest& post = requests[0];
  EXPECT_EQ(post.line, "POST /crash/form HTTP/1.1");
  std::vector<std::string> head = HeadLines(post.head);
  for (const std::string& line : {"Host: localhost:" + std::to_string(server.Port()),
                                  std::string("User-Agent: Tessera 16.2"), std::string("Accept-Encoding: identity"),
                                  std::string("Content-Type: multipart/form-data; boundary=AaB03x"),
                                  "Content-Length: " + std::to_string(post.body.size())}) {
    EXPECT_NE(std::find(head.begin(), head.end(), line), head.end()) << line << "\n" << post.head;
  }
  using Parts = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(FormParts(post.body),
            (Parts{{"from", kSender},
                   {"body", report + "\r\nEmail: " + kEmail + "\r\n" + "\r\nComments:\r\n" + kComments},
                   {"subject", "Exception - Installer 39.0.1: crashing.exe"},
                   {"headers", std::string("X-Kestrel-Internal: 2\r\nX-Exception-Email: ") + kEmail +
                                   "\r\nReply-To: " + kEmail + "\r\n"}}));
}

// The report names the user's e-mail address, comments and paths: a plain
// http address gets nothing, the dialog cannot send, and the log says why.
TEST(CrashReport, APlainHttpAddressIsNeverSent) {
  WinePrefix prefix;
  LoopbackServer server;
  std::string installer = PlaceInstaller(prefix, CrashingProduct(server.Address() + "/crash/form"), "crashing");
  Started run = prefix.Start({installer, "/a"}, {std::string(kCrashMarker) + "=24"});
  RunResult state = prefix.WindowHelper({"state", "2700", "--caption", kCaption, "--timeout", "60000"});
  EXPECT_EQ(state.out.find("enabled 0\n"), 0u) << state.out;
  prefix.WindowHelper({"press", "2701", "--caption", kCaption});
  EXPECT_EQ(prefix.WindowHelper({"wait", "--caption", "Program Error"}).exitCode, 0);
  prefix.WindowHelper({"close", "--caption", "Program Error"});
  prefix.Wait(run, 60);
  EXPECT_TRUE(server.Requests().empty());
  std::string log = ReadFile(prefix.DriveC() + "/Program Files/Acme Crash/uninstall/Install.log");
  EXPECT_NE(log.find("Crash report address \"" + server.Address() +
                     "/crash/form\" is not an https:// address: the report is not sent\r\n"),
            std::string::npos)
      << log;
}

TEST(CrashReport, ASilentRunOnlyWritesTheLogAndEnds) {
  WinePrefix prefix;
  LoopbackServer server(LoopbackServer::Mode::kAnswering, LoopbackServer::Transport::kTls);
  TrustServer(prefix, server);
  std::string installer = PlaceInstaller(prefix, CrashingProduct(server.Address() + "/crash/form"), "crashing");
  RunResult run = prefix.Run({installer, "/silent"}, 60, {std::string(kCrashMarker) + "=24"});
  EXPECT_NE(run.exitCode, -1) << "the silent run waited for someone";
  std::string log = ReadFile(prefix.DriveC() + "/Program Files/Acme Crash/uninstall/Install.log");
  size_t crashed = log.find(kCrashed);
  ASSERT_NE(crashed, std::string::npos) << log;
  std::string fromLog = log.substr(crashed + std::strlen(kCrashed));
  EXPECT_TRUE(std::regex_search(fromLog, std::regex(LayoutPattern()), std::regex_constants::match_continuous))
      << fromLog;
  EXPECT_TRUE(server.Requests().empty());
}

// An internal fatal error is reported as a crash with its message, then
// ends the run as every fatal error does.
TEST(CrashReport, AnInternalFatalErrorLeavesItsReportInTheLog) {
  WinePrefix prefix;
  std::string installer = PlaceInstaller(prefix, CrashingProduct(""), "crashing");
  RunResult run = prefix.Run({installer, "/silent"}, 60, {"PALISADE_TEST_FATAL_PHASE=24"});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.err.find("Internal Fatal Error\r\nModule: crashing_engine\r\nLine: "), std::string::npos) << run.err;
  std::string log = ReadFile(prefix.DriveC() + "/Program Files/Acme Crash/uninstall/Install.log");
  size_t crashed = log.find(kCrashed);
  ASSERT_NE(crashed, std::string::npos) << log;
  const std::string fromLog = log.substr(crashed + std::strlen(kCrashed));
  EXPECT_TRUE(std::regex_search(fromLog,
                                std::regex("Fatal error: Internal Fatal Error\r\nModule: crashing_engine\r\n"
                                           "Line: [0-9]+\r\n\r\nProduct: Palisade Setup 39\\.0\\.1 Installer\r\n"
                                           "\r\nThread ID: "),
                                std::regex_constants::match_continuous))
      << fromLog;
}

// Without an address nothing can be sent; Exit hands the crash on to the
// system, whose own crash handling (Wine's debugger) then takes over.
TEST(CrashReport, WithoutAnAddressOnlyExitRemainsAndHandsTheCrashToTheSystem) {
  WinePrefix prefix;
  InstallerRecipe recipe = CrashingProduct("");
  recipe.script.supportMail.clear();
  Started run = prefix.Start({PlaceInstaller(prefix, recipe, "crashing"), "/a"}, {std::string(kCrashMarker) + "=24"});
  RunResult state = prefix.WindowHelper({"state", "2700", "--caption", kCaption, "--timeout", "60000"});
  EXPECT_EQ(state.out.find("enabled 0\n"), 0u) << state.out;
  prefix.WindowHelper({"press", "2701", "--caption", kCaption});
  EXPECT_EQ(prefix.WindowHelper({"wait", "--caption", "Program Error"}).exitCode, 0);
  prefix.WindowHelper({"close", "--caption", "Program Error"});
  RunResult ended = prefix.Wait(run, 60);
  EXPECT_NE(ended.err.find("starting debugger"), std::string::npos) << ended.err;
}

}  // namespace
}  // namespace palisade::testing
