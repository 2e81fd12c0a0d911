#include <gtest/gtest.h>

#include "actions/notifications.h"
#include "core/system_facts.h"
#include "core/ts_thread.h"
#include "format/setup_script.h"
#include "state/installer_state.h"

namespace palisade {
namespace {

TEST(PercentEncoded, KeepsOnlyLettersDigitsAndTheFourUnreservedMarks) {
  EXPECT_EQ(PercentEncoded("Az09-_.~"), "Az09-_.~");
  EXPECT_EQ(PercentEncoded(" %&/?=+#"), "%20%25%26%2F%3F%3D%2B%23");
  EXPECT_EQ(PercentEncoded("\xC3\xA9\x7F"), "%C3%A9%7F");
}

TEST(PreparedNotifyAddress, TrimsAndFillsEveryPlaceholderEncoded) {
  g_installer.script.displayVersion = "2.0 beta/\xC3\xBC";
  const std::string version = "2.0%20beta%2F%C3%BC";
  const ts::SystemRecord& system = ts::System();
  const std::string major = std::to_string(system.major), minor = std::to_string(system.minor);
  const std::string name = PercentEncoded(ts::Utf8FromWide(ts::SystemName(ts::system_name::kShort)));
  const std::string description = PercentEncoded(ts::Utf8FromWide(ts::SystemName(ts::system_name::kDescription)));
  const struct {
    const char* address;
    std::string prepared;
  } cases[] = {
      {"", ""},
      {" \t\r\n", ""},
      {" \t\r\nhttp://a.example/x\r\n\t ", "http://a.example/x"},
      {"http://a.example/?v=%version%&w=%VERSION%", "http://a.example/?v=" + version + "&w=" + version},
      {"http://a.example/%OSMajor%.%OSMinor%/%osname%", "http://a.example/" + major + "." + minor + "/" + name},
      {"http://a.example/?d=%OSDescription%&s=%OSServer%&o=%OS%",
       "http://a.example/?d=" + description + "&s=" + (system.IsServer() ? "1" : "0") + "&o=" +
           std::to_string(ts::SystemBit())},
      {"http://a.example/%InstallDir%/%unknown%", "http://a.example/%InstallDir%/%unknown%"},
  };
  for (const auto& c : cases) EXPECT_EQ(PreparedNotifyAddress(c.address), c.prepared) << c.address;
}

TEST(ClosingNotifyIndex, EachKindOfInstallationHasItsAddress) {
  const struct {
    InstallationType type;
    int index;
  } cases[] = {
      {InstallationType::kFirst, format::kNotifyFirstInstall},
      {InstallationType::kUpgrade, format::kNotifyUpgrade},
      {InstallationType::kDowngrade, format::kNotifyOverNewer},
      {InstallationType::kReinstall, format::kNotifyReinstall},
      {InstallationType::kOverExisting, format::kNotifyReinstall},
  };
  for (const auto& c : cases) EXPECT_EQ(ClosingNotifyIndex(c.type), c.index) << static_cast<int>(c.type);
}

std::string g_done;
HANDLE g_release = nullptr;

void NoteAfterRelease(const ts::Text& item) {
  WaitForSingleObject(g_release, INFINITE);
  g_done += item + ";";
}

TEST(WorkerThread, TakesItemsInOrderAndIsWaitedForAtTheEnd) {
  g_done.clear();
  g_release = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  ts::WorkerThread worker;
  ASSERT_TRUE(worker.Start(NoteAfterRelease, THREAD_PRIORITY_NORMAL));
  for (const char* item : {"one", "two", "three"}) worker.Post(item);
  EXPECT_TRUE(worker.StopAndWait(10000));
  EXPECT_EQ(g_done, "one;two;three;");
  EXPECT_FALSE(worker.Running());
  CloseHandle(g_release);
}

TEST(WorkerThread, AnItemThatNeverEndsHoldsTheWaitOnlyUntilTheLimit) {
  g_done.clear();
  g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ts::WorkerThread worker;
  ASSERT_TRUE(worker.Start(NoteAfterRelease, THREAD_PRIORITY_NORMAL));
  worker.Post("held");
  DWORD began = GetTickCount();
  EXPECT_FALSE(worker.StopAndWait(300));
  EXPECT_LT(GetTickCount() - began, 5000u);
  EXPECT_EQ(g_done, "");
  // Let the abandoned thread finish before the worker's queue goes away.
  SetEvent(g_release);
  Sleep(200);
}

}  // namespace
}  // namespace palisade
