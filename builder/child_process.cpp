#include "builder/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace palisade::builder {
namespace {

// This process's environment with `added` in place of the same names.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& added) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    std::string name = text.substr(0, text.find('=') + 1);
    bool replaced = false;
    for (const std::string& add : added) replaced = replaced || add.starts_with(name);
    if (!replaced) result.push_back(text);
  }
  result.insert(result.end(), added.begin(), added.end());
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
  ChildResult result;
  std::vector<std::string> args = argv, variables = ChildEnvironment(environment);
  std::vector<char*> argPointers = Pointers(args), variablePointers = Pointers(variables);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result.startError = errno, result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  pid_t pid = 0;
  result.startError = posix_spawnp(&pid, argPointers[0], &actions, nullptr, argPointers.data(), variablePointers.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (result.startError != 0) {
    close(pipeFds[0]);
    return result;
  }
  char buffer[4096];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    result.output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

}  // namespace palisade::builder
