#pragma once
// The system's list of operations pending for the next restart, as the
// tests read and set it.
#include <windows.h>

#include <vector>

#include "core/ts_registry.h"

namespace palisade::testing {

inline constexpr wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr wchar_t kPendingOperationsValue[] = L"PendingFileRenameOperations";

inline std::vector<ts::WText> PendingOperations() {
  ts::RegistryKey key;
  std::vector<ts::WText> list;
  if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_READ) == ERROR_SUCCESS) {
    key.ReadTexts(kPendingOperationsValue, list);
  }
  return list;
}

// An empty list removes the value.
inline void SetPendingOperations(const std::vector<ts::WText>& list) {
  ts::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, kSessionManagerKey, KEY_SET_VALUE) != ERROR_SUCCESS) return;
  if (list.empty()) {
    key.DeleteValue(kPendingOperationsValue);
  } else {
    key.SetTexts(kPendingOperationsValue, list);
  }
}

}  // namespace palisade::testing
