#pragma once
// The setup script: the product description that the engine executes, a
// record of fields stored strictly one after another. The builder fills a
// SetupScript and writes it; the engine reads it back field by field and
// then applies what the fields mean (defaults, flags, overrides).
//
// Narrow texts are held here as UTF-8 and stored in the narrow form ("|"
// and UTF-8 for anything beyond ASCII). Binary fields (sounds, bitmaps,
// license and readme files) are held and stored as raw bytes.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "format/byte_stream.h"
#include "format/errors.h"

namespace palisade::format {

using Bytes = std::vector<uint8_t>;

inline constexpr int kBatchCount = 7;
enum BatchIndex { kPreInstallBatch, kPostInstallBatch, kExitBatch, kUninstallBatch1, kUninstallBatch2, kUpgradeBatch,
                  kReinstallBatch };

inline constexpr int kClosingNotifyCount = 4;
enum ClosingNotify { kNotifyFirstInstall, kNotifyUpgrade, kNotifyOverNewer, kNotifyReinstall };

inline constexpr int kPageStyleCount = 8;
enum PageStyleIndex { kGreetingPage, kLanguagePage, kLicensePage, kReadmePage, kChooseDirPage, kStartMenuPage,
                      kProgressPage, kSummaryPage };

struct ConditionalDeleteRule {
  std::string pattern;
  uint8_t conditionKind = 0;
  std::string value;
  uint8_t flags = 0;  // bit 0x8: the rule also applies at uninstallation
};

namespace association_mode {
// The extension's default value names the ProgID.
inline constexpr uint32_t kFull = 1;
// The ProgID only joins the extension's open-with list.
inline constexpr uint32_t kOpenWithOnly = 2;
}  // namespace association_mode

// Every text is narrow but the icon location, the record's one wide text.
struct AssociationRecord {
  uint32_t mode = 0;  // association_mode
  std::string extension;
  std::string progId;
  std::string description;
  std::string verb;
  std::string verbLabel;
  std::string command;
  std::u16string icon;
  std::string reserved;  // stored last; this engine version reads it and ignores it
};

struct ShortcutRecord {
  std::string target;
  std::string name;
  std::string icon;
  std::string arguments;
  std::string workingFolder;
  uint8_t desktop = 0;
  uint8_t startMenu = 0;
  uint8_t startup = 0;
  std::string extraFolder;
  uint8_t permanent = 0;
  uint8_t windowState = 0;  // 0 normal, 1 minimised, 2 maximised
};

struct RegistrationValue {
  std::string name;  // a backslash splits off a sub-key of the uninstall key
  uint8_t type = 0;  // 1 text, 2 expandable text, 4 number
  std::string data;
};

// What a close rule does with a window it names.
namespace close_action {
inline constexpr uint8_t kClose = 0;
inline constexpr uint8_t kQuit = 1;
inline constexpr uint8_t kAsk = 2;  // the user is asked to close it
inline constexpr uint8_t kEndProcess = 3;
}  // namespace close_action

// The bits of a close rule's when-mask.
namespace close_when {
inline constexpr uint8_t kInstall = 0x1;
// Kept for the uninstaller, which applies it before it asks to go on.
inline constexpr uint8_t kUninstall = 0x2;
// Only the uninstaller sets it, on the rules that ask: those wait until
// the user has said to go on.
inline constexpr uint8_t kUninstallAsking = 0x4;
}  // namespace close_when

// The bits of a firewall port line's third field.
namespace firewall_protocol {
inline constexpr uint32_t kTcp = 0x1;
inline constexpr uint32_t kUdp = 0x2;
}  // namespace firewall_protocol

struct CloseRule {
  std::string windowClass;
  std::string windowTitle;
  std::string applicationName;
  uint8_t action = 0;   // close_action
  uint8_t options = 0;  // close_when bits
};

struct SetupScript {
  uint32_t productFlagsLow = 0;   // `ProductFlags`, low word; bits in product_flags.h
  uint32_t productFlagsHigh = 0;  // `ProductFlags`, high word
  uint8_t automaticModeRequest = 0;  // 1 on, 2 off unless silent
  std::string taskbarText;
  std::string displayTitle;
  double titleSize = 0;
  uint32_t progressPlacement = 0;
  uint16_t minimumStatusTime = 0;  // milliseconds
  uint8_t shortcutMode = 0;        // 1: shortcuts for all users
  TimeStamp uninstallerTime;
  std::string publisher;
  std::string productName;
  std::string description;
  uint8_t bitness = 0;  // 0 either, 1 64-bit, 2 32-bit only
  uint8_t optionByte = 0;
  std::string sharedPath;
  std::string portableSharedFolder;
  std::string startMenuFolder;
  std::string displayVersion;
  std::string installFolderRule;
  std::string productRegistry;
  std::u16string registryMergeText;
  std::string registryMergeFileText;
  int32_t bitmapSize = 0;  // per cent of the background window
  int32_t stretchMode = 0;
  std::string greetingLinkText;
  std::vector<Bytes> licenseTexts;  // one per language
  std::vector<Bytes> readmeTexts;
  std::string uninstallSubfolder;
  std::string uninstallerName;
  std::string uninstallName;
  std::string text31;
  std::string productHeading;
  uint32_t bannerTextColor = 0;
  uint8_t sidePictureFrame = 0;
  uint32_t titleColor = 0;
  uint8_t titleShadow = 0;
  uint8_t titlePosition = 0;
  std::string titleFont;
  uint32_t topColor = 0;
  uint32_t bottomColor = 0;
  Bytes backgroundBitmap;
  uint32_t bitmapTpi = 0;  // stored only with a bitmap
  uint8_t copyrightPosition = 0;  // 0: no copyright line, and the next four are not stored
  uint32_t copyrightColor = 0;
  double copyrightSize = 0;
  std::string copyrightText;
  std::string copyrightFont;
  // Stored only when `ProductFlags` has the master-product bit.
  std::string masterRegistryName;
  std::string masterDisplayName;
  std::string masterMinimumVersion;
  Bytes greetingSound;  // WAV data
  std::string desktopFolder;
  // Field 46: icons as .ico file bytes; empty when the script carries none.
  Bytes productIcon;      // "product.ico", shown in the list of installed programs
  Bytes uninstallerIcon;  // "uninstall.ico", and the stripped uninstaller's own icon
  Bytes desktopFolderIcon;  // the icon of the product's folder on the desktop
  std::array<std::string, kBatchCount> batches;
  std::array<uint8_t, 20> block48{};
  uint32_t excludedSystems = 0;  // mask of system bits
  uint8_t archiveFromFile = 0;   // 0: the archive is read from the mapped image
  std::string launchProgram;
  std::string openDocument;
  std::string summaryOpenTarget;
  std::string startNotifyUrl;
  std::string beginNotifyUrl;
  std::array<std::string, kClosingNotifyCount> closingNotifyUrls;
  std::string uninstallNotifyUrl;  // `NotifyURL`
  std::string greetingText;
  std::string text52;
  std::string text53;
  std::string password;
  std::string text54;
  std::string firewallText;
  std::string addToPathSubfolder;
  std::array<uint32_t, 2> pageOptions{};
  std::array<uint32_t, kPageStyleCount> pageStyles{};
  Bytes optionalBlob;  // stored only when `ProductFlags` has the previous-installation bit
  std::vector<ConditionalDeleteRule> conditionalDeletes;
  std::vector<AssociationRecord> associations;
  std::vector<ShortcutRecord> shortcuts;
  std::string rootShortcutCommand;
  std::string rootShortcutName;
  std::u16string pinCommand;
  std::u16string pinName;
  std::vector<RegistrationValue> registrationValues;
  std::string supportOffer;
  // Field 63: settings that have no field of their own.
  std::string noDowngradeBelow;     // `NoDowngradeBelow`: the lowest version that may replace this one
  std::string mustUninstallBelow;   // an earlier version below it must be uninstalled first; empty: any
  std::string upgradeWarningBelow;  // the upgrade warning is for earlier versions below it; empty: any
  std::string installFolderValue;   // a registry value path (HKLM\Software\Acme\Folder) that receives the folder
  bool rebootMarker = false;        // "reboot.dat" waits in the folder until the next restart
  std::string crashReportUrl;       // `CrashReportUrl`: where a crash report is posted ("http://host/path")
  std::string supportMail;          // `SupportMail`: the sender of crash reports; empty: none are sent
  std::vector<CloseRule> closeRules;
  std::vector<std::u16string> languageNames;
  // messages[number][language]
  std::vector<std::vector<std::u16string>> messages;
};

// Turns a stored narrow text that is not in the "|" form and not ASCII (the
// system's ANSI code page) into UTF-8. Only the engine knows that code page.
using AnsiToUtf8 = std::function<std::string(std::string_view)>;

// False when a value cannot be stored (a text too long for its encoding, a
// NUL inside a text, a list too long); `problem` then says which field.
bool WriteSetupScript(const SetupScript& script, Bytes& out, std::string& problem);

// Reads the fields in order; stops at the first range check that fails and
// returns its error. Reads past the end yield zeros, which the end-marker
// check catches.
Error ReadSetupScript(std::span<const uint8_t> data, const AnsiToUtf8& ansiToUtf8, SetupScript& script);

}  // namespace palisade::format
