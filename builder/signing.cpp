#include "builder/signing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char** environ;

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr char kSigner[] = "osslsigncode";

// A private file holding the password taken from the environment, removed
// when signing is over.
class PasswordFile {
 public:
  ~PasswordFile() {
    if (!path_.empty()) unlink(path_.c_str());
  }
  bool Write(const std::string& password, std::string& problem) {
    std::string pattern = (fs::temp_directory_path() / "palisade-pass-XXXXXX").string();
    int fd = mkstemp(pattern.data());  // readable by its owner only
    if (fd < 0) return problem = "cannot create a file for the signing password: " + std::string(strerror(errno)), false;
    path_ = pattern;
    bool written = write(fd, password.data(), password.size()) == static_cast<ssize_t>(password.size());
    close(fd);
    if (!written) problem = "cannot write the signing password to " + path_.string();
    return written;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string MissingFile(const fs::path& file, const char* what) {
  std::error_code error;
  if (file.empty() || fs::is_regular_file(file, error)) return {};
  return std::string("the ") + what + " \"" + file.string() + "\" does not exist";
}

// Runs osslsigncode with `args`; its output lands in `output`.
bool RunSigner(const std::vector<std::string>& args, std::string& output, std::string& problem) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kSigner));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return problem = "cannot start osslsigncode: " + std::string(strerror(errno)), false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, kSigner, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    problem = spawned == ENOENT ? "signing needs osslsigncode, which is not installed (Debian: apt-get install osslsigncode)"
                                : "cannot start osslsigncode: " + std::string(strerror(spawned));
    return false;
  }
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  // osslsigncode's first line names the cause ("Failed to read PKCS#12 file");
  // the rest is OpenSSL's error stack.
  std::string cause = output.substr(0, output.find('\n'));
  problem = "osslsigncode could not sign the installer" + (cause.empty() ? "" : ": " + cause);
  return false;
}

}  // namespace

void MergeSigningSettings(const SigningSettings& overriding, SigningSettings& settings) {
  if (!overriding.pkcs12.empty() || !overriding.certificate.empty()) {
    settings.pkcs12 = overriding.pkcs12;
    settings.certificate = overriding.certificate;
    settings.key = overriding.key;
  }
  if (!overriding.passwordVariable.empty() || !overriding.passwordFile.empty()) {
    settings.passwordVariable = overriding.passwordVariable;
    settings.passwordFile = overriding.passwordFile;
  }
  if (!overriding.timestampUrl.empty()) settings.timestampUrl = overriding.timestampUrl;
}

std::string SigningSettingsProblem(const SigningSettings& settings, const VariableLookup& environment) {
  if (settings.pkcs12.empty() == settings.certificate.empty()) {
    return "signing needs either a PKCS#12 file (--sign-pkcs12) or a certificate and key (--sign-cert, --sign-key)";
  }
  if (settings.certificate.empty() != settings.key.empty()) return "a signing certificate needs its key (--sign-key)";
  if (!settings.passwordVariable.empty() && !settings.passwordFile.empty()) {
    return "give the signing password in a variable or in a file, not both";
  }
  if (!settings.passwordVariable.empty() && !environment(settings.passwordVariable)) {
    return "the environment variable " + settings.passwordVariable + " holding the signing password is not set";
  }
  for (std::string problem : {MissingFile(settings.pkcs12, "PKCS#12 file"),
                              MissingFile(settings.certificate, "signing certificate"),
                              MissingFile(settings.key, "signing key"),
                              MissingFile(settings.passwordFile, "password file")}) {
    if (!problem.empty()) return problem;
  }
  return {};
}

bool SignInstaller(const SigningSettings& settings, const VariableLookup& environment, const fs::path& input,
                   const fs::path& output, std::string& problem) {
  std::vector<std::string> args = {"sign", "-h", "sha256"};
  if (!settings.pkcs12.empty()) {
    args.insert(args.end(), {"-pkcs12", settings.pkcs12.string()});
  } else {
    args.insert(args.end(), {"-certs", settings.certificate.string(), "-key", settings.key.string()});
  }
  PasswordFile variablePassword;
  if (!settings.passwordVariable.empty()) {
    if (!variablePassword.Write(environment(settings.passwordVariable).value_or(""), problem)) return false;
    args.insert(args.end(), {"-readpass", variablePassword.path().string()});
  } else if (!settings.passwordFile.empty()) {
    args.insert(args.end(), {"-readpass", settings.passwordFile.string()});
  }
  if (!settings.timestampUrl.empty()) args.insert(args.end(), {"-ts", settings.timestampUrl});
  args.insert(args.end(), {"-in", input.string(), "-out", output.string()});
  std::string signerOutput;
  return RunSigner(args, signerOutput, problem);
}

}  // namespace palisade::builder
