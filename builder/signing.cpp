#include "builder/signing.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "builder/child_process.h"

namespace palisade::builder {
namespace {

namespace fs = std::filesystem;

constexpr char kSigner[] = "osslsigncode";

// The password file's name where a signal handler can reach it: an
// interrupted build must not leave the password behind in the temporary
// folder.
char g_passwordPath[4096];

void RemovePasswordAndDie(int signal) {
  unlink(g_passwordPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// A private file holding the password taken from the environment, removed
// when signing is over, or when Ctrl+C or a kill ends the build first.
class PasswordFile {
 public:
  ~PasswordFile() {
    if (!armed_) return;
    sigaction(SIGINT, &previousInterrupt_, nullptr);
    sigaction(SIGTERM, &previousTerminate_, nullptr);
    if (!path_.empty()) unlink(path_.c_str());
    g_passwordPath[0] = '\0';
  }
  bool Write(const std::string& password, std::string& problem) {
    std::string pattern = (fs::temp_directory_path() / "palisade-pass-XXXXXX").string();
    if (pattern.size() >= sizeof g_passwordPath) return problem = "the temporary folder's name is too long", false;
    memcpy(g_passwordPath, pattern.c_str(), pattern.size() + 1);
    RemoveOnSignals();
    int fd = mkstemp(g_passwordPath);  // readable by its owner only
    if (fd < 0) {
      g_passwordPath[0] = '\0';
      return problem = "cannot create a file for the signing password: " + std::string(strerror(errno)), false;
    }
    path_ = g_passwordPath;
    bool written = write(fd, password.data(), password.size()) == static_cast<ssize_t>(password.size());
    close(fd);
    if (!written) problem = "cannot write the signing password to " + path_.string();
    return written;
  }
  const fs::path& path() const { return path_; }

 private:
  void RemoveOnSignals() {
    struct sigaction removal = {};
    removal.sa_handler = RemovePasswordAndDie;
    sigemptyset(&removal.sa_mask);
    sigaction(SIGINT, &removal, &previousInterrupt_);
    sigaction(SIGTERM, &removal, &previousTerminate_);
    armed_ = true;
  }

  fs::path path_;
  bool armed_ = false;
  struct sigaction previousInterrupt_ = {};
  struct sigaction previousTerminate_ = {};
};

std::string MissingFile(const fs::path& file, const char* what) {
  std::error_code error;
  if (file.empty() || fs::is_regular_file(file, error)) return {};
  return std::string("the ") + what + " \"" + file.string() + "\" does not exist";
}

// Runs osslsigncode with `args`.
bool RunSigner(const std::vector<std::string>& args, std::string& problem) {
  std::vector<std::string> argv = {kSigner};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildResult run = RunChild(argv);
  if (run.startError != 0) {
    problem = run.startError == ENOENT
                  ? "signing needs osslsigncode, which is not installed (Debian: apt-get install osslsigncode)"
                  : "cannot start osslsigncode: " + std::string(strerror(run.startError));
    return false;
  }
  if (run.exitCode == 0) return true;
  // osslsigncode's first line names the cause ("Failed to parse PKCS#12
  // file"); the rest is OpenSSL's error stack.
  std::string cause = run.output.substr(0, run.output.find('\n'));
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
  return RunSigner(args, problem);
}

}  // namespace palisade::builder
