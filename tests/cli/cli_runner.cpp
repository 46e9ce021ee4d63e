#include "tests/cli/cli_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <thread>

#include "tests/support/case_file.h"

extern char** environ;

namespace kestrix::test {

static const char* const kCli = KESTRIX_BINARY_DIR "/cli/kestrix-cli";

TCliRunner::TCliRunner() {
  mkdir((scratch_.Path() + "run").c_str(), 0700);
  env_["KESTRIX_SETTINGS"] = SettingsFile();
  env_["XDG_RUNTIME_DIR"] = scratch_.Path() + "run";
  env_["XDG_DOWNLOAD_DIR"] = DownloadFolder();
  env_["XDG_CONFIG_HOME"] = scratch_.Path() + "config";
}

void TCliRunner::AllowWebEngine() {
  const char* asan = std::getenv("ASAN_OPTIONS");
  SetEnv("ASAN_OPTIONS", std::string(asan != nullptr ? asan : "") + ":new_delete_type_mismatch=0");
}

pid_t TCliRunner::Start(const std::vector<std::string>& args) {
  ++runs_;
  outPath_ = scratch_.Path() + "out" + std::to_string(runs_) + ".txt";
  errPath_ = scratch_.Path() + "err" + std::to_string(runs_) + ".txt";
  std::vector<std::string> envText;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    if (!env_.contains(entry.substr(0, entry.find('=')))) envText.push_back(entry);
  }
  for (const auto& [name, value] : env_) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<char*> argv{const_cast<char*>(kCli)};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, kCli, &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

TCliResult TCliRunner::Finish(pid_t pid, int timeoutMs) {
  TCliResult result;
  if (pid <= 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  } else if (WIFEXITED(status)) {
    result.ExitCode = WEXITSTATUS(status);
  } else {
    result.ExitCode = 128 + WTERMSIG(status);
  }
  result.Out = ReadWholeFile(outPath_);
  result.Err = ReadWholeFile(errPath_);
  return result;
}

TCliResult TCliRunner::Run(const std::vector<std::string>& args, int timeoutMs) {
  return Finish(Start(args), timeoutMs);
}

std::set<std::string> SavedFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::set<std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    const std::string path = fs::relative(it->path(), folder).string();
    const std::string extension = it->path().extension().string();
    if (extension != ".his" && extension != ".cookies" && !path.starts_with(".robots/")) {
      files.insert(path);
    }
  }
  return files;
}

void ExpectRefusals(TCliRunner& cli, const std::string& table, const std::string& web) {
  const auto rows = ReadRows("cli/refusals.txt", table);
  ASSERT_GE(rows.size(), 2u) << table;
  for (const auto& row : rows) {
    std::string line = row[1];
    if (const size_t at = line.find("@WEB@"); at != std::string::npos) line.replace(at, 5, web);
    std::vector<std::string> args;
    std::istringstream in(line);
    for (std::string word; in >> std::quoted(word);) args.push_back(word);
    const TCliResult r = cli.Run(args);
    EXPECT_EQ(r.ExitCode, std::stoi(row[0])) << line << "\n" << r.Err;
    EXPECT_NE(r.Err.find(row[2]), std::string::npos) << line << "\n" << r.Err;
    EXPECT_EQ(r.Out, "") << line;
  }
}

int CountWith(const std::vector<std::string>& lines, const std::string& text) {
  int count = 0;
  for (const std::string& line : lines) count += line.find(text) != std::string::npos;
  return count;
}

}  // namespace kestrix::test
