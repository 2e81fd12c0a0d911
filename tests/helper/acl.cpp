// acl: prints the owner and the access list of a file or folder (not of
// what a link there points at) as one line of the system's text form, for
// the tests of the installation folder.
//
//   acl PATH
//
// Output: "O:<owner>D:<flags>(<entry>)(<entry>)...", as
// ConvertSecurityDescriptorToStringSecurityDescriptorW writes it, in UTF-8.
// Exit code 0 on success, 1 on failure, 2 on bad usage.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: acl PATH\n", stderr);
    return 2;
  }
  HANDLE handle = CreateFileW(argv[1], READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "acl: cannot open: error %lu\n", GetLastError());
    return 1;
  }
  constexpr SECURITY_INFORMATION kWhat = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetSecurityInfo(handle, SE_FILE_OBJECT, kWhat, nullptr, nullptr, nullptr, nullptr, &descriptor);
  CloseHandle(handle);
  wchar_t* text = nullptr;
  if (error != ERROR_SUCCESS ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kWhat, &text, nullptr)) {
    fprintf(stderr, "acl: cannot read: error %lu\n", error ? error : GetLastError());
    return 1;
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  printf("%s\n", utf8.c_str());
  LocalFree(text);
  LocalFree(descriptor);
  return 0;
}
