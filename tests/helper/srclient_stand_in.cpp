// A stand-in for System Restore's "srclient.dll": SRSetRestorePointW notes
// each call it receives in C:\srclient\calls.txt, one line a call, and
// answers as C:\srclient\status.txt says: "N" fails the opening call with
// status N, "crash" crashes in it; "commit N" and "commit crash" do the same
// to the closing call. Any other call succeeds, an opening one with the
// sequence number 0x1122334455667788.
// The records are read by their byte offsets rather than through the
// system header, so that a layout the engine gets wrong shows in the notes.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int64_t kSequenceNumber = 0x1122334455667788;

uint32_t U32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, 4);
  return value;
}

int64_t I64(const uint8_t* at) {
  int64_t value;
  std::memcpy(&value, at, 8);
  return value;
}

// Restore point record: u32 event type at 0, u32 restore point type at 4,
// i64 sequence number at 8, 256 UTF-16 characters of description at 16.
std::string Note(const uint8_t* point) {
  const wchar_t* description = reinterpret_cast<const wchar_t*>(point + 16);
  size_t length = wcsnlen(description, 256);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, description, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, description, static_cast<int>(length), text.data(), bytes, nullptr, nullptr);
  char head[160];
  std::snprintf(head, sizeof head, "event=%u type=%u sequence=0x%llX length=%u description=", U32(point),
                U32(point + 4), static_cast<unsigned long long>(I64(point + 8)), static_cast<unsigned>(length));
  return head + text + "\n";
}

void Append(const std::string& line) {
  CreateDirectoryW(L"C:\\srclient", nullptr);
  FILE* file = _wfopen(L"C:\\srclient\\calls.txt", L"ab");
  if (!file) return;
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}

std::string Instruction() {
  FILE* file = _wfopen(L"C:\\srclient\\status.txt", L"rb");
  if (!file) return {};
  char text[64] = {};
  std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  return text;
}

// The part of the instruction for this call: empty when it succeeds.
std::string ForThisCall(bool closing) {
  std::string instruction = Instruction();
  bool forClosing = instruction.rfind("commit ", 0) == 0;
  if (forClosing != closing) return {};
  return forClosing ? instruction.substr(7) : instruction;
}

}  // namespace

// Status record: u32 status at 0, i64 sequence number at 4 (packed).
extern "C" __declspec(dllexport) BOOL WINAPI SRSetRestorePointW(void* point, void* status) {
  const uint8_t* record = static_cast<const uint8_t*>(point);
  Append(Note(record));
  std::string instruction = ForThisCall(U32(record) == 101);
  if (instruction == "crash") *static_cast<volatile int*>(nullptr) = 1;
  uint8_t* out = static_cast<uint8_t*>(status);
  bool fails = !instruction.empty();
  uint32_t given = fails ? static_cast<uint32_t>(std::strtoul(instruction.c_str(), nullptr, 10)) : 0;
  int64_t sequence = fails || U32(record) == 101 ? 0 : kSequenceNumber;
  std::memcpy(out, &given, 4);
  std::memcpy(out + 4, &sequence, 8);
  return fails ? FALSE : TRUE;
}
