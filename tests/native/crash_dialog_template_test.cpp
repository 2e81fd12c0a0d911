// The crash dialog's template in the shipped engine, compared with one
// assembled by hand: a classic dialog template, its ten controls in order.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "builder/pe_resources.h"
#include "byte_assembly.h"

namespace palisade::builder {
namespace {

using format::test_bytes::Assembly;
using format::test_bytes::FirstDifference;

constexpr uint16_t kDialogType = 5;
// The system's control classes, by name as the resource compiler stores them.
constexpr std::u16string_view kButton = u"BUTTON", kEdit = u"EDIT", kStatic = u"STATIC";
constexpr uint32_t kChildVisible = 0x50000000;                      // WS_CHILD | WS_VISIBLE

struct Item {
  uint32_t style;
  int16_t x, y, cx, cy;
  uint16_t id;
  std::u16string_view className;
  std::u16string_view title;
};

// One control: style, extended style, rectangle, id, class by name, title,
// no creation data; each starts on a four-byte boundary.
void AddItem(Assembly& a, const Item& item) {
  a.AlignTo(4);
  a.U32(kChildVisible | item.style);  // style
  a.U32(0);                           // extended style
  a.U16(static_cast<uint16_t>(item.x)).U16(static_cast<uint16_t>(item.y));    // position
  a.U16(static_cast<uint16_t>(item.cx)).U16(static_cast<uint16_t>(item.cy));  // size
  a.U16(item.id);                     // control id
  a.Wide(item.className);             // class
  a.Wide(item.title);                 // title
  a.U16(0);                           // no creation data
}

std::vector<uint8_t> HandTemplate() {
  Assembly a;
  a.U32(0x90C800C0);  // style: popup, visible, caption, system menu, modal frame, set font
  a.U32(0);           // extended style
  a.U16(10);          // controls
  a.U16(0).U16(0);    // position
  a.U16(279);         // width
  a.U16(242);         // height
  a.U16(0);           // no menu
  a.U16(0);           // the system's dialog class
  a.U16(0);           // no caption: the dialog sets its own
  a.U16(10);          // font size in points
  a.Wide(u"Arial");   // font face
  const Item items[] = {
      {0x0, 3, 133, 273, 16, 2706, kStatic,
       u"Please enter your email address.  This is optional but recommended because reproducing the crash may "
       u"require a few questions."},
      {0x00810080, 3, 150, 273, 12, 2705, kEdit, u""},  // border, tab stop, scrolls sideways
      {0x0, 3, 164, 273, 8, 2708, kStatic, u"Comments / steps to reproduce:"},
      {0x00A11004, 3, 173, 273, 44, 2707, kEdit, u""},  // multi-line, Enter makes a line, vertical bar
      {0x10, 3, 222, 273, 2, 66, kStatic, u""},         // sunken line
      {0x00010001, 3, 227, 89, 12, 2700, kButton, u"Inform Us"},  // default button
      {0x00010000, 95, 227, 89, 12, 2704, kButton, u"Copy Report"},
      {0x00010000, 188, 227, 89, 12, 2701, kButton, u"Exit"},
      {0x0, 3, 2, 273, 24, 2702, kStatic, u""},
      {0x00B008C4, 3, 28, 273, 100, 2703, kEdit, u""},  // multi-line, read-only, both bars
  };
  for (const Item& item : items) AddItem(a, item);
  return a.bytes();
}

TEST(CrashDialogTemplate, IsTheClassicTemplateOfTheTable) {
  std::ifstream file(std::filesystem::path(PALISADE_BIN_DIR) / "palisade-engine.exe", std::ios::binary);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<Resource> resources;
  std::string problem;
  ASSERT_TRUE(ReadResources(image, resources, problem)) << problem;
  const Resource* dialog = nullptr;
  for (const Resource& r : resources) {
    if (r.type.number == kDialogType && r.type.text.empty() && r.name.text == u"EXCEPTIONDLG") dialog = &r;
  }
  ASSERT_NE(dialog, nullptr);
  std::vector<uint8_t> expected = HandTemplate();
  EXPECT_EQ(dialog->data, expected) << "first difference at byte " << FirstDifference(dialog->data, expected);
}

}  // namespace
}  // namespace palisade::builder
