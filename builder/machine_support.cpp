#include "builder/machine_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "builder/atomic_file.h"
#include "builder/child_process.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr int kProbeStatus = 32;

// The smallest 32-bit x86 Linux program: it exits with status 32 through
// int 0x80. A kernel without 32-bit support refuses it ("Exec format
// error") as it refuses Wine's 32-bit loader, and it needs no 32-bit
// library, so the answer does not depend on what is installed.
constexpr char kProbe[] =
    "\x7f" "ELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00"        // 32-bit, little-endian, version 1
    "\x02\x00\x03\x00\x01\x00\x00\x00"                                  // executable, i386, version 1
    "\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00"                  // entry 0x8048054, program headers at 52, no sections
    "\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00"  // flags, header size 52, one 32-byte program header
    "\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08"  // load the file at 0x8048000
    "\x5f\x00\x00\x00\x5f\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00"  // 95 bytes, read and execute
    "\x31\xdb\xb3\x20\xb8\x01\x00\x00\x00\xcd\x80";                     // xor ebx,ebx; mov bl,32; mov eax,1; int 0x80
constexpr std::size_t kProbeSize = sizeof kProbe - 1;  // without the literal's closing zero
static_assert(kProbeSize == 95);

// Writes the probe into the temporary folder as an executable of its own.
bool WriteProbe(TemporaryPath& probe, std::string& problem) {
  std::error_code error;
  fs::path folder = fs::temp_directory_path(error);
  if (error) return problem = "cannot write a probe into the temporary folder (TMPDIR): " + error.message(), false;
  std::string path = (folder / "palisade-elf32-XXXXXX").string();
  int fd = mkstemp(path.data());
  if (fd < 0) return problem = "cannot write a probe into \"" + folder.string() + "\": " + std::strerror(errno), false;
  probe.path = path;
  bool written = write(fd, kProbe, kProbeSize) == static_cast<ssize_t>(kProbeSize) && fchmod(fd, 0700) == 0;
  int writeError = errno;
  close(fd);
  if (!written) return problem = "cannot write a probe into \"" + path + "\": " + std::strerror(writeError), false;
  return true;
}

bool KernelRuns32BitCode(bool& runs, std::string& problem) {
  TemporaryPath probe;
  if (!WriteProbe(probe, problem)) return false;
  ChildResult ran = RunChild({probe.path.string()});
  // Only a refusal of the format says what the kernel lacks; any other
  // start failure (a temporary folder mounted noexec) says nothing.
  if (ran.startError != 0 && ran.startError != ENOEXEC) {
    return problem = "cannot run a probe in \"" + probe.path.parent_path().string() + "\": " +
                     std::strerror(ran.startError) + "; set TMPDIR to another folder, or " + kWindowsBitsVariable +
                     " to 32 or 64",
           false;
  }
  runs = ran.startError == 0 && ran.exitCode == kProbeStatus;
  return true;
}

}  // namespace

bool WindowsBits(const VariableLookup& variables, int& bits, std::string& problem) {
  std::optional<std::string> given = variables(kWindowsBitsVariable);
  if (given && !given->empty()) {
    if (*given != "32" && *given != "64") {
      return problem = std::string(kWindowsBitsVariable) + " must be 32 or 64, not \"" + *given + "\"", false;
    }
    bits = std::stoi(*given);
    return true;
  }
  bool runs32 = false;
  if (!KernelRuns32BitCode(runs32, problem)) return false;
  bits = runs32 ? 32 : 64;
  return true;
}

}  // namespace palisade::builder
