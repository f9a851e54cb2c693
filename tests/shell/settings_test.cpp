#include "shell/settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>

#include "shell/program_files.h"
#include "support/recording_window.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

const Text initial_start = "10000000";
const Text initial_count = "100";

void write_file(const NativePath& path, std::string_view content) {
  ASSERT_TRUE(write_whole_file(path, Bytes(content.begin(), content.end())));
}

std::string read_file(const NativePath& path) {
  Bytes content;
  EXPECT_EQ(read_whole_file(path, content), ReadResult::ok);
  return std::string(content.begin(), content.end());
}

class SettingsTest : public testing::Test {
 protected:
  TemporaryDirectory directory;
  RecordingWindow window;
};

struct LoadCase {
  const char* description;
  std::string file;  // std::string so that zero bytes count
  Text start;
  Text count;
};

void PrintTo(const LoadCase& load, std::ostream* out) {
  *out << load.description;
}

class LoadSettingsTest : public SettingsTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadSettingsTest, PutsThePiecesIntoTheBoxes) {
  write_file(settings_path(directory.path()), GetParam().file);
  load_settings(window, directory.path());
  EXPECT_EQ(window.text(Control::start_number_box), GetParam().start);
  EXPECT_EQ(window.text(Control::count_box), GetParam().count);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Files, LoadSettingsTest,
    testing::Values(LoadCase{"two texts", "12345 | 678", "12345", "678"},
                    LoadCase{"empty file leaves both", "", initial_start, initial_count},
                    LoadCase{"separator alone empties both", " | ", "", ""},
                    LoadCase{"empty start box", " | 100", "", "100"},
                    LoadCase{"empty count box empties it", "123 | ", "123", ""},
                    LoadCase{"no separator sets the start box only", "123", "123", initial_count},
                    LoadCase{"third text dropped", "1 | 2 | 3", "1", "2"},
                    LoadCase{"empty second piece before a second separator", "1 |  | 3", "1", ""},
                    LoadCase{"bare bars are not separators", "1|2", "1|2", initial_count},
                    LoadCase{"letters are not tested", "abc | xyz", "abc", "xyz"},
                    LoadCase{"zero byte ends the text in the count", "12 | 3\0004 | 5"s, "12", "3"},
                    LoadCase{"zero byte ends the text before the separator", "12\000 | 34"s, "12",
                             initial_count},
                    LoadCase{"zero byte first leaves both", "\000 | 34"s, initial_start,
                             initial_count},
                    LoadCase{"double-byte texts", "\xBF\xAA\xCA\xBC | \xCC\xF5", "\xBF\xAA\xCA\xBC",
                             "\xCC\xF5"},
                    LoadCase{"invalid code page 936 kept byte for byte", "\xFF\xFE | \x80\xFF",
                             "\xFF\xFE", "\x80\xFF"},
                    LoadCase{"separator hidden in a double-byte character", "\x81 | 5", "\x81 | 5",
                             initial_count},
                    LoadCase{"lone lead byte at the end", "7 | \x81", "7", "\x81"},
                    LoadCase{"one mebibyte start", std::string(1 << 20, '7') + " | 42",
                             std::string(1 << 20, '7'), "42"},
                    LoadCase{"one mebibyte of separators",
                             []() {
                               std::string file;
                               while (file.size() < (1u << 20))
                                 file += " | ";
                               return file;
                             }(),
                             "", ""}),
    [](const testing::TestParamInfo<LoadCase>& info) {
      std::string name;
      for (const char* c = info.param.description; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      }
      return name;
    });

TEST_F(SettingsTest, MissingFileLeavesTheBoxesUntouched) {
  load_settings(window, directory.path());
  EXPECT_TRUE(window.calls_of("set_text").empty());
  EXPECT_EQ(window.text(Control::start_number_box), initial_start);
  EXPECT_EQ(window.text(Control::count_box), initial_count);
}

TEST_F(SettingsTest, DirectoryNamedLikeTheFileLeavesTheBoxesUntouched) {
  directory.make_subdirectory(settings_file_name);
  load_settings(window, directory.path());
  EXPECT_TRUE(window.calls_of("set_text").empty());
}

TEST_F(SettingsTest, SavesTheInitialTextsAsFourteenBytes) {
  save_settings(window, directory.path());
  EXPECT_EQ(read_file(settings_path(directory.path())), "10000000 | 100");
}

TEST_F(SettingsTest, SavesTheBoxesExactlyAndLoadsThemBack) {
  const struct {
    Text start;
    Text count;
    std::string file;
  } cases[] = {
      {"", "100", " | 100"},
      {"", "", " | "},
      {"10000100", "", "10000100 | "},
      {"\xFF\x80", "\xCC\xF5-1\x80", "\xFF\x80 | \xCC\xF5-1\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    window.set_text(Control::start_number_box, c.start);
    window.set_text(Control::count_box, c.count);
    save_settings(window, directory.path());
    EXPECT_EQ(read_file(settings_path(directory.path())), c.file);

    RecordingWindow next_run;
    load_settings(next_run, directory.path());
    EXPECT_EQ(next_run.text(Control::start_number_box), c.start);
    EXPECT_EQ(next_run.text(Control::count_box), c.count);
  }
}

TEST_F(SettingsTest, FailedWriteKeepsTheOldFile) {
  const NativePath path = settings_path(directory.path());
  write_file(path, "1 | 2");
  window.set_text(Control::start_number_box, Text(4096, '9'));
  // A file size limit makes the write fail part-way, even for root; the child
  // process keeps the limit away from the test.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    save_settings(window, directory.path());
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(read_file(path), "1 | 2");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1) << "a temporary file was left behind";
}

TEST_F(SettingsTest, WorksInARunDirectoryWithSpacesAndCharactersOutsideCodePage936) {
  const NativePath run_directory = directory.make_subdirectory("run dir 한글 \xF0\x9F\x98\x80");
  window.set_text(Control::start_number_box, "42");
  save_settings(window, run_directory);
  EXPECT_EQ(read_file(join_path(run_directory, "info.ini")), "42 | 100");

  RecordingWindow next_run;
  load_settings(next_run, run_directory);
  EXPECT_EQ(next_run.text(Control::start_number_box), "42");
}

}  // namespace
}  // namespace vorpane
