// "Uninstall.DAT" as the uninstaller reads it from a disk that others can
// write. What it keeps must survive the rewrite the uninstaller makes when
// it leaves something behind: read, adopted, written and read again, the
// sections are the same. A line with a NUL is the exception: the writer
// refuses it, since no path or name can hold one. Associations are only
// counted: a field that holds the separator's characters ("~!") next to a
// separator can come back cut elsewhere, as the stored form has no quoting.
#include <cstdlib>
#include <string_view>

#include "format/setup_script.h"
#include "record/record_text.h"

namespace {

template <typename T>
bool SameItems(const ts::Vector<T>& a, const ts::Vector<T>& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    if (!(a[i] == b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace palisade;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const UninstallData read = ParseUninstallData(text);
  for (const ts::Text& entry : read.entries) ParseEntry(entry);
  if (text.find('\0') != text.npos) return 0;

  UninstallRecord record;
  format::SetupScript script;
  AdoptUninstallData(read, record, script);
  const UninstallData again = ParseUninstallData(UninstallDataText(record, script, [](int) { return ts::WText(); }));
  if (!SameItems(read.firewall, again.firewall) || !SameItems(read.drivers, again.drivers) ||
      !SameItems(read.packages, again.packages) || read.associations.Count() != again.associations.Count() ||
      read.mergeText != again.mergeText || read.productHeading != again.productHeading) {
    std::abort();
  }
  return 0;
}
