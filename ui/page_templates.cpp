#include "ui/page_templates.h"

#include <cstdint>
#include <vector>

#include "core/ts_resources.h"
#include "core/ts_text.h"
#include "format/byte_order.h"
#include "format/xz.h"

namespace palisade {
namespace {

constexpr int kPackedTemplatesResource = 1;  // RT_RCDATA

size_t Padded(size_t length) { return (length + 3) & ~size_t{3}; }

const std::vector<uint8_t>& UnpackedTemplates(HINSTANCE module) {
  static const std::vector<uint8_t> templates = [module] {
    std::vector<uint8_t> unpacked;
    if (!format::XzDecode(ts::ResourceBytes(module, RT_RCDATA, kPackedTemplatesResource), unpacked)) unpacked.clear();
    return unpacked;
  }();
  return templates;
}

// The name that begins at `at`, as far as its NUL or the end of the data.
std::wstring_view NameAt(std::span<const uint8_t> templates, size_t at) {
  auto* name = reinterpret_cast<const wchar_t*>(templates.data() + at);
  size_t room = (templates.size() - at) / sizeof(wchar_t), length = 0;
  while (length < room && name[length] != L'\0') ++length;
  return {name, length};
}

}  // namespace

const DLGTEMPLATE* FindPackedTemplate(std::span<const uint8_t> templates, std::wstring_view name) {
  const ts::WText wanted = ts::AsciiLowerCase(name);
  size_t at = 0;
  while (at < templates.size()) {
    std::wstring_view entry = NameAt(templates, at);
    at += Padded((entry.size() + 1) * sizeof(wchar_t));
    if (at + sizeof(uint32_t) > templates.size()) break;
    uint32_t length = format::LoadLe32(templates.data() + at);
    at += sizeof(uint32_t);
    if (length > templates.size() - at) break;
    if (ts::AsciiLowerCase(entry) == wanted) return reinterpret_cast<const DLGTEMPLATE*>(templates.data() + at);
    at += Padded(length);
  }
  return nullptr;
}

const DLGTEMPLATE* PageTemplate(HINSTANCE module, std::wstring_view name) {
  return FindPackedTemplate(UnpackedTemplates(module), name);
}

}  // namespace palisade
