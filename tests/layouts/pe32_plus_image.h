#pragma once
// A 64-bit engine's image as a linker lays it out, assembled field by field:
// code, exception data, resources, then the base relocations. The resource
// and exception directories sit where PE32 keeps the certificate table and
// the base relocations, and neither is empty, so that reading this image
// with PE32's offsets meets the wrong numbers.
#include <cstdint>
#include <string_view>
#include <vector>

#include "byte_assembly.h"

namespace palisade::format::test_bytes {

namespace pe32_plus {
inline constexpr uint32_t kPeHeader = 0xC8;
inline constexpr uint32_t kSectionTable = kPeHeader + 24 + 240;
inline constexpr uint32_t kSectionAlignment = 0x2000;
inline constexpr uint32_t kFileAlignment = 0x200;
inline constexpr uint32_t kHeadersSize = 0x400;
inline constexpr uint32_t kInitialisedData = 0x600;
inline constexpr uint32_t kImageSize = 0xA000;
inline constexpr uint32_t kResourceAddress = 0x6000;
inline constexpr uint32_t kResourceSize = 0x62;
inline constexpr uint32_t kRelocationDirectory = 0x8010;
// Offsets from the signature of the data directory entries the tests touch.
inline constexpr uint32_t kResourceDirectoryField = 152;
inline constexpr uint32_t kSecurityDirectoryField = 168;
inline constexpr uint32_t kRelocationDirectoryField = 176;
}  // namespace pe32_plus

// One numbered resource (RCDATA 7, UK English, code page 1252) holding the
// text "x64 engine", at the section's address.
inline Assembly Pe32PlusResourceTree() {
  Assembly a;
  a.U32(0).U32(0).U16(0).U16(0)  // 0x00 root table: characteristics, time, version
      .U16(0).U16(1)             // no named entries, one numbered
      .U32(10).U32(0x80000018);  // type 10 (RCDATA): table at 0x18
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0x18: the RCDATA names
      .U32(7).U32(0x80000030);                  // name 7: table at 0x30
  a.U32(0).U32(0).U16(0).U16(0).U16(0).U16(1)  // 0x30: name 7's languages
      .U32(0x809).U32(0x48);                    // UK English: data entry at 0x48
  a.U32(pe32_plus::kResourceAddress + 0x58)     // 0x48: data address
      .U32(10)                                  // data size
      .U32(1252)                                // code page
      .U32(0);                                  // reserved
  a.Raw("x64 engine");                          // 0x58: the data
  return a;
}

inline std::vector<uint8_t> Pe32PlusImage() {
  using namespace pe32_plus;
  Assembly a;
  a.Raw("MZ");                                 // e_magic
  a.AlignTo(60);                               // the rest of the DOS header
  a.U32(kPeHeader);                            // e_lfanew
  a.AlignTo(kPeHeader);                        // no DOS stub
  a.Raw(std::string_view("PE\0\0", 4));        // signature
  a.U16(0x8664);                               // machine: x64
  a.U16(4);                                    // number of sections
  a.U32(0x65A1B2C3);                           // time stamp
  a.U32(0);                                    // symbol table
  a.U32(0);                                    // number of symbols
  a.U16(240);                                  // optional header size: PE32+ with 16 directories
  a.U16(0x22);                                 // characteristics: executable, large addresses
  a.U16(0x20B);                                // 24: magic, PE32+
  a.U8(2).U8(40);                              // 26: linker version
  a.U32(kFileAlignment);                       // 28: size of code
  a.U32(kInitialisedData);                     // 32: size of initialised data
  a.U32(0x40);                                 // 36: size of uninitialised data
  a.U32(0x2010);                               // 40: entry point
  a.U32(0x2000);                               // 44: base of code (no base of data follows)
  a.U64(0x140000000);                          // 48: image base
  a.U32(kSectionAlignment);                    // 56: section alignment
  a.U32(kFileAlignment);                       // 60: file alignment
  a.U16(6).U16(1);                             // 64: operating system version
  a.U16(3).U16(9);                             // 68: image version
  a.U16(6).U16(2);                             // 72: subsystem version
  a.U32(0);                                    // 76: Win32 version value
  a.U32(kImageSize);                           // 80: size of image
  a.U32(kHeadersSize);                         // 84: size of headers
  a.U32(0x1234ABCD);                           // 88: checksum
  a.U16(2);                                    // 92: subsystem, GUI
  a.U16(0x8160);                               // 94: DLL characteristics
  a.U64(0x200000);                             // 96: stack reserve
  a.U64(0x3000);                               // 104: stack commit
  a.U64(0x180000);                             // 112: heap reserve
  a.U64(0x5000);                               // 120: heap commit
  a.U32(0);                                    // 128: loader flags
  a.U32(16);                                   // 132: number of data directories
  a.U32(0).U32(0);                             // 136: export
  a.U32(0x2080).U32(0x28);                     // 144: import
  a.U32(kResourceAddress).U32(kResourceSize);  // 152: resource (where PE32 has the certificates)
  a.U32(0x4000).U32(0x18);                     // 160: exception (where PE32 has the relocations)
  a.U32(0).U32(0);                             // 168: certificates
  a.U32(kRelocationDirectory).U32(0xC);        // 176: base relocations
  a.U32(0).U32(0);                             // 184: debug
  a.U32(0).U32(0);                             // 192: architecture
  a.U32(0).U32(0);                             // 200: global pointer
  a.U32(0).U32(0);                             // 208: thread storage
  a.U32(0).U32(0);                             // 216: load configuration
  a.U32(0).U32(0);                             // 224: bound import
  a.U32(0x2100).U32(0x10);                     // 232: import address table
  a.U32(0).U32(0);                             // 240: delay import
  a.U32(0).U32(0);                             // 248: runtime header
  a.U32(0).U32(0);                             // 256: reserved
  struct Section {
    const char* name;
    uint32_t virtualSize;
    uint32_t characteristics;
  };
  const Section sections[] = {{".text\0\0\0", 0x1C4, 0x60000020},          // code, executable, readable
                              {".pdata\0\0", 0x18, 0x40000040},            // initialised, readable
                              {".rsrc\0\0\0", kResourceSize, 0x40000040},  // initialised, readable
                              {".reloc\0\0", 0x1C, 0x42000040}};           // also discardable
  for (uint32_t i = 0; i < 4; ++i) {
    a.Raw(std::string_view(sections[i].name, 8));  // name
    a.U32(sections[i].virtualSize);                // virtual size
    a.U32((i + 1) * kSectionAlignment);            // virtual address
    a.U32(kFileAlignment);                         // raw size
    a.U32(kHeadersSize + i * kFileAlignment);      // raw offset
    a.U32(0).U32(0).U16(0).U16(0);                 // no line numbers or object relocations
    a.U32(sections[i].characteristics);            // characteristics
  }
  a.AlignTo(kHeadersSize);
  for (uint32_t b = 0; b < 0x1C4; ++b) a.U8(static_cast<uint8_t>(0x90 + b));  // .text
  a.AlignTo(kFileAlignment);
  a.U32(0x1000).U32(0x1040).U32(0x2200);  // .pdata: a function's start, end and unwind data
  a.AlignTo(kFileAlignment);
  a.Raw(Pe32PlusResourceTree().bytes());  // .rsrc
  a.AlignTo(kFileAlignment);
  a.U32(0xEEEEEEEE).U32(0xEEEEEEEE).U32(0xEEEEEEEE).U32(0xEEEEEEEE);  // .reloc: 16 bytes before the directory
  a.U32(0x2000).U32(0xC);  // a block for page 0x2000 of 12 bytes
  a.U16(0xA010).U16(0);    // a 64-bit address at 0x2010, then padding
  a.AlignTo(kFileAlignment);
  return a.bytes();
}

}  // namespace palisade::format::test_bytes
