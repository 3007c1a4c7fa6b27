// Runs the trovex-export program as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

struct Result {
  int exitCode = -1;
  std::string out;  // stdout and stderr together
};

Result RunCli(const std::string& args) {
  const std::string cmd = std::string(TROVEX_EXPORT_EXE) + " " + args + " 2>&1";
  Result r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

std::string WithoutStamps(const std::string& s) {
  return std::regex_replace(s, std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d: )"), "@");
}

const fs::path kSampleStore = fs::path(TROVEX_SOURCE_DIR) / "samples" / "mailstore";

TEST(TrovexExportCli, WalksTheSampleStoreWithSubfolders) {
  const Result r = RunCli("--store " + Quote(kSampleStore) + " --include-subfolders");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string report = WithoutStamps(r.out);
  EXPECT_THAT(report, HasSubstr(" zu überprüfende Mails...\n@mailstore ("));
  EXPECT_THAT(report, HasSubstr("\n\nUnterordner: Posteingang\n"));
  EXPECT_THAT(report, HasSubstr("@hat keinen Anhang.\n"));
  // No progress bar when stderr is not a terminal.
  EXPECT_THAT(r.out, ::testing::Not(HasSubstr("\r")));
}

TEST(TrovexExportCli, BadInputGivesAClearErrorAndANonZeroExit) {
  const fs::path dir = fs::path(::testing::TempDir()) / "cli_bad_input";
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "datei.txt") << "x";
  struct Case {
    std::string args, message;
  };
  const Case cases[] = {
      {"--store " + Quote(dir / "fehlt"), (dir / "fehlt").string()},         // store missing
      {"--store " + Quote(dir / "datei.txt"), (dir / "datei.txt").string()},  // store is a file
      {"--store " + Quote(kSampleStore) + " --folder Gibt/Es/Nicht", "Gibt/Es/Nicht"},
      {"--unbekannt", "--unbekannt"},
  };
  for (const auto& c : cases) {
    const Result r = RunCli(c.args);
    EXPECT_NE(r.exitCode, 0) << c.args;
    EXPECT_THAT(r.out, HasSubstr(c.message)) << c.args;
  }
}

}  // namespace
