#include "actions/close_apps.h"

#include <windows.h>

#include <algorithm>

#include "actions/file_destination.h"
#include "payload/messages.h"
#include "state/installer_state.h"
#include "ui/message_box.h"

namespace palisade {
namespace {

namespace close_action = format::close_action;
namespace close_when = format::close_when;

constexpr int kAskMessage = 99;            // takes the program's name
constexpr int kAskMessageUninstall = 107;
constexpr int kAskCaption = 65;
constexpr int kAskCaptionUninstall = 55;
constexpr UINT kAskStyle = MB_RETRYCANCEL | MB_ICONEXCLAMATION;
constexpr DWORD kEndProcessAccess = 0x1F0FFF;
constexpr int kClassNameSize = 256;
constexpr DWORD kImagePathCapacity = 32768;
constexpr UINT kShowTimeout = 1000;
constexpr DWORD kSettleTime = 333;
constexpr int kMessagesPerTurn = 99;
constexpr DWORD kFirstIdleSleep = 25;
constexpr DWORD kIdleSleepStep = 2;
constexpr DWORD kLongestIdleSleep = 100;

// The rules as the windows' texts are read: in the system's ANSI code page.
struct CloseRuleSet {
  std::vector<format::CloseRule> rules;
  uint8_t mask;
};

ts::Text Ansi(const std::string& utf8) { return ts::AnsiFromWide(ts::WideFromUtf8(utf8)); }

// At uninstallation the rules come from the record, which anyone who can
// write the installation folder may have edited: a rule for every window
// is never applied then.
CloseRuleSet AnsiRules(uint8_t mask) {
  CloseRuleSet set{g_installer.script.closeRules, mask};
  for (format::CloseRule& rule : set.rules) {
    if (g_installer.flags.uninstall && MatchesEveryWindow(rule)) rule.options = 0;
    rule.windowClass = Ansi(rule.windowClass);
    rule.windowTitle = Ansi(rule.windowTitle);
  }
  return set;
}

std::optional<std::string> ClassOf(HWND window) {
  char name[kClassNameSize] = {};
  int length = GetClassNameA(window, name, kClassNameSize);
  if (length <= 0) return std::nullopt;
  return std::string(name, static_cast<size_t>(length));
}

std::string TitleOf(HWND window) {
  std::string title(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  title.resize(static_cast<size_t>(GetWindowTextA(window, title.data(), static_cast<int>(title.size()))));
  return title;
}

void BringToFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  ShowWindow(window, IsZoomed(window) ? SW_MAXIMIZE : SW_SHOW);
  // A program that has stopped answering must not stop the installer too.
  SendMessageTimeoutA(window, WM_SHOWWINDOW, TRUE, 0, SMTO_ABORTIFHUNG, kShowTimeout, nullptr);
  SetForegroundWindow(window);
}

// Asks until the window is gone; Cancel ends the whole run.
void AskUserToClose(HWND window, const format::CloseRule& rule) {
  if (g_installer.flags.silent) return;
  bool uninstall = g_installer.flags.uninstall;
  ts::WText text = FillConversions(MessageWithTags(uninstall ? kAskMessageUninstall : kAskMessage),
                                   {ts::WideFromUtf8(rule.applicationName)});
  ts::WText caption = MessageWithTags(uninstall ? kAskCaptionUninstall : kAskCaption);
  while (IsWindow(window)) {
    if (ShowMessage(text, caption, kAskStyle) == IDCANCEL) Abort();
  }
}

// The uninstaller ends only the product's own programs: a rule from an
// edited record must not end whatever program it names.
bool MayEnd(HANDLE process) {
  if (!g_installer.flags.uninstall) return true;
  ts::WText image(kImagePathCapacity, L'\0');
  DWORD size = kImagePathCapacity;
  if (!QueryFullProcessImageNameW(process, 0, image.data(), &size)) return false;
  image.resize(size);
  return IsPathInFolder(image, g_installer.installFolder);
}

void EndProcess(DWORD processId) {
  HANDLE process = OpenProcess(kEndProcessAccess, FALSE, processId);
  if (!process) return;
  if (MayEnd(process)) TerminateProcess(process, 0);
  CloseHandle(process);
}

void Act(HWND window, DWORD processId, const format::CloseRule& rule, const format::CloseRule& asStored) {
  switch (rule.action) {
    case close_action::kClose:
    case close_action::kQuit:
      BringToFront(window);
      PostMessageA(window, rule.action == close_action::kClose ? WM_CLOSE : WM_QUIT, 0, 0);
      return;
    case close_action::kAsk: AskUserToClose(window, asStored); return;
    case close_action::kEndProcess: EndProcess(processId); return;
    default: return;
  }
}

BOOL CALLBACK ApplyToWindow(HWND window, LPARAM parameter) {
  const CloseRuleSet& set = *reinterpret_cast<const CloseRuleSet*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == GetCurrentProcessId()) return TRUE;
  std::optional<std::string> windowClass = ClassOf(window);
  int rule = FirstMatchingRule(set.rules, set.mask, windowClass, TitleOf(window));
  if (rule >= 0) {
    const format::CloseRule& stored = g_installer.script.closeRules[static_cast<size_t>(rule)];
    Act(window, processId, set.rules[static_cast<size_t>(rule)], stored);
  }
  return TRUE;
}

void ApplyCloseRules(uint8_t mask) {
  if (g_installer.script.closeRules.empty()) return;
  CloseRuleSet set = AnsiRules(mask);
  EnumWindows(ApplyToWindow, reinterpret_cast<LPARAM>(&set));
}

// The closed programs get a moment to go while the installer's own windows
// keep answering.
void SettleWhilePumping() {
  DWORD start = GetTickCount();
  DWORD idleSleep = kFirstIdleSleep;
  while (GetTickCount() - start < kSettleTime) {
    MSG message;
    int handled = 0;
    while (handled < kMessagesPerTurn && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      TranslateMessage(&message);
      DispatchMessageW(&message);
      ++handled;
    }
    if (handled) {
      idleSleep = kFirstIdleSleep;
      continue;
    }
    Sleep(idleSleep);
    idleSleep = std::min(idleSleep + kIdleSleepStep, kLongestIdleSleep);
  }
}

}  // namespace

bool PatternMatches(std::string_view pattern, std::string_view value) {
  if (!pattern.empty() && pattern.front() == '*') return value.find(pattern.substr(1)) != std::string_view::npos;
  return pattern == value;
}

bool MatchesEveryWindow(const format::CloseRule& rule) {
  auto any = [](const std::string& pattern) { return pattern.empty() || pattern == "*"; };
  return !(rule.windowClass.empty() && rule.windowTitle.empty()) && any(rule.windowClass) && any(rule.windowTitle);
}

int FirstMatchingRule(const std::vector<format::CloseRule>& rules, uint8_t mask,
                      std::optional<std::string_view> windowClass, std::string_view windowTitle) {
  for (size_t i = 0; i < rules.size(); ++i) {
    const format::CloseRule& rule = rules[i];
    if (!(rule.options & mask) || (rule.windowClass.empty() && rule.windowTitle.empty())) continue;
    bool classMatches = rule.windowClass.empty() || !windowClass || PatternMatches(rule.windowClass, *windowClass);
    bool titleMatches = rule.windowTitle.empty() || PatternMatches(rule.windowTitle, windowTitle);
    if (classMatches && titleMatches) return static_cast<int>(i);
  }
  return -1;
}

void CloseRunningApplications() {
  std::vector<format::CloseRule>& rules = g_installer.script.closeRules;
  if (rules.empty()) return;
  ApplyCloseRules(close_when::kInstall);
  std::erase_if(rules, [](const format::CloseRule& rule) { return !(rule.options & close_when::kUninstall); });
  SettleWhilePumping();
  if (g_installer.backgroundWindow) SetForegroundWindow(g_installer.backgroundWindow);
}

void CloseApplicationsForUninstall(uint8_t whenMask) { ApplyCloseRules(whenMask); }

}  // namespace palisade
