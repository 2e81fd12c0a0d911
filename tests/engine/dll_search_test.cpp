// A DLL planted beside the executable must not be loaded by name once the
// search is restricted. The same plant without the restriction shows that
// the plant itself works. (Wine prefers its own builtin copy of a system
// DLL over one beside the program, so the plant has a name of its own.)
#include <gtest/gtest.h>

#include "core/ts_system.h"

namespace {

constexpr wchar_t kPlantedName[] = L"palisade-probe.dll";

ts::WText FolderOf(const ts::WText& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

class PlantedDll : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FolderOf(ts::ModuleFileName());
    planted_ = folder_ + kPlantedName;
    ASSERT_TRUE(CopyFileW((folder_ + L"planted.dll").c_str(), planted_.c_str(), FALSE));
  }
  void TearDown() override {
    DeleteFileW(planted_.c_str());
    DeleteFileW((planted_ + L".loaded").c_str());
  }

  ts::WText folder_;
  ts::WText planted_;
};

// Exits with 3 when the plant was loaded, 0 when it was not.
[[noreturn]] void LoadAndReport(HMODULE module) { ExitProcess(module ? 3 : 0); }

TEST_F(PlantedDll, LoadedWhenTheSearchIsNotRestricted) {
  EXPECT_EXIT(LoadAndReport(LoadLibraryW(kPlantedName)), ::testing::ExitedWithCode(3), "planted DLL loaded");
}

TEST_F(PlantedDll, IgnoredOnceTheSearchIsRestricted) {
  EXPECT_EXIT((ts::RestrictDllSearchToSystemFolder(), LoadAndReport(LoadLibraryW(kPlantedName))),
              ::testing::ExitedWithCode(0), "^$");
}

TEST_F(PlantedDll, NotFoundWhenLoadedAsASystemLibrary) {
  EXPECT_EXIT(LoadAndReport(ts::LoadSystemLibrary(kPlantedName)), ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
