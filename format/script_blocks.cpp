#include "format/script_blocks.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "format/byte_stream.h"

namespace palisade::format {
namespace {

constexpr char kTrue[] = "1";
constexpr size_t kIconRecordHead = 5;  // the kind byte and the u32 length

struct Setting {
  const char* name;
  std::string SetupScript::*text;
};

constexpr Setting kTextSettings[] = {
    {"NoDowngradeBelow", &SetupScript::noDowngradeBelow},
    {"MustUninstallBelow", &SetupScript::mustUninstallBelow},
    {"UpgradeWarningBelow", &SetupScript::upgradeWarningBelow},
    {"InstallFolderValue", &SetupScript::installFolderValue},
    {"CrashReportUrl", &SetupScript::crashReportUrl},
    {"SupportMail", &SetupScript::supportMail},
};
constexpr char kRebootMarker[] = "RebootMarker";

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void ApplySetting(std::string_view name, std::string_view value, SetupScript& script) {
  for (const Setting& setting : kTextSettings) {
    if (SameName(name, setting.name)) script.*setting.text = std::string(value);
  }
  if (SameName(name, kRebootMarker)) script.rebootMarker = value == kTrue;
}

void AppendLine(std::string& text, std::string_view name, std::string_view value) {
  if (!text.empty()) text += "\r\n";
  text.append(name).append("=").append(value);
}

void AppendIcon(ByteWriter& writer, uint8_t kind, const Bytes& icon) {
  if (icon.empty()) return;
  writer.Byte(kind);
  writer.U32(static_cast<uint32_t>(icon.size()));
  writer.Bytes(icon);
}

}  // namespace

void ReadSettingsBlock(std::span<const uint8_t> block, SetupScript& script) {
  for (const Setting& setting : kTextSettings) (script.*setting.text).clear();
  script.rebootMarker = false;
  std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  while (!text.empty()) {
    size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    size_t equals = line.find('=');
    if (equals != std::string_view::npos) ApplySetting(line.substr(0, equals), line.substr(equals + 1), script);
  }
}

bool WriteSettingsBlock(const SetupScript& script, Bytes& block) {
  std::string text;
  for (const Setting& setting : kTextSettings) {
    const std::string& value = script.*setting.text;
    if (value.find_first_of("\r\n") != std::string::npos) return false;
    if (!value.empty()) AppendLine(text, setting.name, value);
  }
  if (script.rebootMarker) AppendLine(text, kRebootMarker, kTrue);
  block.assign(text.begin(), text.end());
  return true;
}

void ReadIconBlock(std::span<const uint8_t> block, SetupScript& script) {
  script.productIcon.clear();
  script.uninstallerIcon.clear();
  script.desktopFolderIcon.clear();
  ByteReader reader(block);
  while (reader.remaining() >= kIconRecordHead) {
    uint8_t kind = reader.Byte();
    uint32_t length = reader.U32();
    if (length > reader.remaining()) return;
    std::span<const uint8_t> icon = reader.View(length);
    if (kind == kProductIconRecord) script.productIcon.assign(icon.begin(), icon.end());
    if (kind == kUninstallerIconRecord) script.uninstallerIcon.assign(icon.begin(), icon.end());
    if (kind == kDesktopFolderIconRecord) script.desktopFolderIcon.assign(icon.begin(), icon.end());
  }
}

Bytes IconBlock(const SetupScript& script) {
  Bytes block;
  ByteWriter writer(block);
  AppendIcon(writer, kProductIconRecord, script.productIcon);
  AppendIcon(writer, kUninstallerIconRecord, script.uninstallerIcon);
  AppendIcon(writer, kDesktopFolderIconRecord, script.desktopFolderIcon);
  return block;
}

}  // namespace palisade::format
