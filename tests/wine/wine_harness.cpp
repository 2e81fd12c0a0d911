#include "wine_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace palisade::testing {
namespace {

const std::string kPrefixTool = SourcePath("tools/wine-prefix");

void RunTool(const std::vector<std::string>& arguments) {
  std::string command = kPrefixTool;
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

std::vector<std::string> WineEnvironment(const std::string& prefix, const std::vector<std::string>& extra) {
  std::vector<std::string> environment;
  for (char** variable = environ; *variable; ++variable) {
    std::string entry = *variable;
    if (entry.rfind("WINEPREFIX=", 0) == 0 || entry.rfind("WINEDEBUG=", 0) == 0 ||
        entry.rfind("WINEDLLOVERRIDES=", 0) == 0 || entry.rfind("XDG_DATA_HOME=", 0) == 0 ||
        entry.rfind("XDG_CONFIG_HOME=", 0) == 0) {
      continue;
    }
    environment.push_back(entry);
  }
  environment.push_back("WINEPREFIX=" + prefix);
  auto given = [&](const char* name) {
    return std::any_of(extra.begin(), extra.end(), [&](const std::string& e) { return e.rfind(name, 0) == 0; });
  };
  environment.insert(environment.end(), extra.begin(), extra.end());
  if (!given("WINEDEBUG=")) environment.push_back("WINEDEBUG=-all");
  // Wine's recycle bin and the desktop menu entries it makes for shortcuts
  // live below the XDG folders: kept in the prefix, so that nothing a test
  // recycles or links reaches the home folder.
  if (!given("XDG_DATA_HOME=")) environment.push_back("XDG_DATA_HOME=" + prefix + "/xdg-data");
  if (!given("XDG_CONFIG_HOME=")) environment.push_back("XDG_CONFIG_HOME=" + prefix + "/xdg-config");
  // Keeps Wine from offering to download its Mono and Gecko add-ons.
  if (!given("WINEDLLOVERRIDES=")) environment.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
  return environment;
}

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

void DrainInto(int fd, std::string& sink, bool& open) {
  char buffer[4096];
  ssize_t count = read(fd, buffer, sizeof buffer);
  if (count > 0) {
    sink.append(buffer, static_cast<size_t>(count));
  } else if (count == 0 || (errno != EINTR)) {
    open = false;
  }
}

}  // namespace

WinePrefix::WinePrefix(int bits) {
  char pattern[] = "/tmp/palisade-wine.XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  std::filesystem::remove(path_);
  RunTool({"new", path_, std::to_string(bits)});
}

WinePrefix::~WinePrefix() { RunTool({"remove", path_}); }

Started WinePrefix::Start(const std::vector<std::string>& command, const std::vector<std::string>& extraEnvironment) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> arguments = {"wine"};
  arguments.insert(arguments.end(), command.begin(), command.end());
  std::vector<std::string> environment = WineEnvironment(path_, extraEnvironment);
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    int devNull = open("/dev/null", O_RDONLY);
    dup2(devNull, 0);
    std::vector<char*> argv = CStrings(arguments);
    std::vector<char*> envp = CStrings(environment);
    execvpe("wine", argv.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  return Started{pid, out[0], err[0]};
}

// Ends at the program's exit rather than at the end of its output: Wine's
// server and desktop processes may inherit the pipes and hold them open.
RunResult WinePrefix::Wait(Started& started, int timeoutSeconds) {
  RunResult result;
  bool outOpen = true, errOpen = true;
  int status = 0;
  bool exited = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (!exited) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-started.pid, SIGKILL);
      waitpid(started.pid, &status, 0);
      break;
    }
    pollfd fds[2] = {{outOpen ? started.outPipe : -1, POLLIN, 0}, {errOpen ? started.errPipe : -1, POLLIN, 0}};
    poll(fds, 2, 50);
    if (outOpen && fds[0].revents) DrainInto(started.outPipe, result.out, outOpen);
    if (errOpen && fds[1].revents) DrainInto(started.errPipe, result.err, errOpen);
    exited = waitpid(started.pid, &status, WNOHANG) == started.pid;
  }
  for (int fd : {started.outPipe, started.errPipe}) {
    fcntl(fd, F_SETFL, O_NONBLOCK);
    bool open = true;
    while (open) DrainInto(fd, fd == started.outPipe ? result.out : result.err, open);
    close(fd);
  }
  result.exitCode = exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string WinePrefix::MakeRemovableDrive(char letter) {
  std::string root = path_ + "/removable-" + letter;
  std::string drive = std::string(1, letter) + ":";
  std::filesystem::create_directories(root);
  std::filesystem::create_directory_symlink(root, path_ + "/dosdevices/" + drive);
  Run({"reg", "add", "HKLM\\Software\\Wine\\Drives", "/v", drive, "/d", "floppy", "/f"});
  CommandOutput("WINEPREFIX='" + path_ + "' wineserver -k 2>&1");
  return root;
}

RunResult WinePrefix::Run(const std::vector<std::string>& command, int timeoutSeconds,
                          const std::vector<std::string>& extraEnvironment) {
  Started started = Start(command, extraEnvironment);
  return Wait(started, timeoutSeconds);
}

RunResult WinePrefix::WindowHelper(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {WindowsTestProgram("wintest.exe")};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return Run(command, 60);
}

WinePrefix* SharedPrefixTest::prefix_ = nullptr;

void SharedPrefixTest::SetUpTestSuite() { prefix_ = new WinePrefix(); }

void SharedPrefixTest::TearDownTestSuite() {
  delete prefix_;
  prefix_ = nullptr;
}

std::string EnginePath() { return std::string(PALISADE_BIN_DIR) + "/" PALISADE_TESTED_ENGINE; }
std::string WindowsTestProgram(const std::string& name) { return std::string(PALISADE_WINDOWS_TESTS_DIR) + "/" + name; }
std::string SourcePath(const std::string& relative) { return std::string(PALISADE_SOURCE_DIR) + "/" + relative; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

bool WaitUntilGone(const std::string& path, int seconds) {
  for (int tenth = 0; tenth < seconds * 10; ++tenth) {
    if (!FileExists(path)) return true;
    usleep(100000);
  }
  return !FileExists(path);
}

void CopyFile(const std::string& from, const std::string& to) {
  std::filesystem::create_directories(std::filesystem::path(to).parent_path());
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

std::vector<std::string> EngineTrace(const std::string& standardError) {
  const std::string marker = "\"Palisade: ";
  std::vector<std::string> lines;
  std::istringstream input(standardError);
  for (std::string line; std::getline(input, line);) {
    size_t at = line.find(marker);
    if (at == std::string::npos) continue;
    std::string text = line.substr(at + marker.size());
    size_t end = text.rfind("\\n\"");
    lines.push_back(end == std::string::npos ? text : text.substr(0, end));
  }
  return lines;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::map<std::string, Rect> WindowRects(const std::string& output) {
  std::map<std::string, Rect> rects;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string id, kind;
    Rect rect;
    fields >> id;
    if (id != "window") fields >> kind;
    fields >> rect.left >> rect.top >> rect.right >> rect.bottom;
    rects[id] = rect;
  }
  return rects;
}

std::string CommandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  size_t count;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  pclose(pipe);
  return output;
}

std::string UserName() { return getenv("USER") ? getenv("USER") : "root"; }

std::pair<std::string, int> Palisade(const std::string& args) {
  std::string output = CommandOutput(std::string(PALISADE_BIN_DIR) + "/palisade " + args + " 2>&1; echo \"status $?\"");
  std::size_t status = output.rfind("status ");
  return {output.substr(0, status), std::stoi(output.substr(status + 7))};
}

namespace {

std::string Utf8FromUtf16(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned unit = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (unit == 0xFEFF) continue;
    if (unit < 0x80) {
      text += static_cast<char>(unit);
    } else if (unit < 0x800) {
      text += static_cast<char>(0xC0 | unit >> 6);
      text += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      text += static_cast<char>(0xE0 | unit >> 12);
      text += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      text += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return text;
}

}  // namespace

std::string ExportKey(WinePrefix& prefix, const std::string& key, const std::string& view) {
  std::vector<std::string> command = {"reg", "export", key, "C:\\export.reg", "/y"};
  if (!view.empty()) command.push_back(view);
  std::filesystem::remove(prefix.DriveC() + "/export.reg");
  if (prefix.Run(command).exitCode != 0) return {};
  return Utf8FromUtf16(ReadFile(prefix.DriveC() + "/export.reg"));
}

}  // namespace palisade::testing
