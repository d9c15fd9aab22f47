#include "tests/support/updater_sandbox.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace testing_support {

UpdaterSandbox::UpdaterSandbox(const std::string& exeName) : exeName_(exeName) {
  std::filesystem::create_directories(installFolder());
  std::filesystem::create_directories(clientDataFolder());
  std::filesystem::copy_file(VELMI_UPDATER_PATH, updater());
}

RunResult UpdaterSandbox::run(const std::vector<std::string>& arguments, const std::filesystem::path& workingFolder) const {
  return runProgram(updater(), arguments, {"XDG_CONFIG_HOME=" + roamingFolder().string()},
                    workingFolder.empty() ? root() : workingFolder);
}

std::vector<std::string> environmentWith(const std::vector<std::string>& additions) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    bool replaced = false;
    for (const auto& addition : additions) {
      const size_t nameLength = addition.find('=') + 1;
      if (text.compare(0, nameLength, addition, 0, nameLength) == 0) replaced = true;
    }
    if (!replaced) result.push_back(text);
  }
  result.insert(result.end(), additions.begin(), additions.end());
  return result;
}

RunResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, const std::filesystem::path& workingFolder) {
  std::vector<std::string> argumentStrings{program.string()};
  argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : argumentStrings) argv.push_back(argument.data());
  argv.push_back(nullptr);

  std::vector<std::string> environmentStrings = environmentWith(environment);
  std::vector<char*> envp;
  for (auto& entry : environmentStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);

  // posix_spawn cannot change the working folder portably; a fork does it.
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (chdir(workingFolder.c_str()) != 0) _exit(126);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  RunResult result;
  if (WIFEXITED(status)) {
    result.exited = true;
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace testing_support
