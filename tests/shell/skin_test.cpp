#include "shell/skin.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "shell/program_files.h"
#include "shell/skin/recording_engine.h"
#include "skin/skin_format.h"
#include "support/temporary_directory.h"

// Every block handed to operator delete is logged, so a test can tell that the
// skin copy it saw during the engine's call has been freed afterwards.
namespace {

constexpr size_t freed_log_size = 1 << 14;
std::array<std::atomic<const void*>, freed_log_size> freed_log;
std::atomic<size_t> freed_count{0};

void note_freed(const void* block) {
  if (block == nullptr) return;
  const size_t index = freed_count.fetch_add(1, std::memory_order_relaxed);
  freed_log[index % freed_log_size].store(block, std::memory_order_relaxed);
}

void* allocate(std::size_t size) {
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* block) noexcept {
  note_freed(block);
  std::free(block);
}
void operator delete[](void* block) noexcept {
  note_freed(block);
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  note_freed(block);
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  note_freed(block);
  std::free(block);
}

namespace vorpane {
namespace {

using skin::SkinStatus;
using AttachEntry = int (*)(const unsigned char*, int, const char*, int, int, int);

// Freed blocks logged from `first` on include `block`, once.
bool freed_since(size_t first, const void* block) {
  const size_t last = freed_count.load();
  if (last - first > freed_log_size) return false;
  int times = 0;
  for (size_t i = first; i < last; ++i) {
    if (freed_log[i % freed_log_size].load() == block) ++times;
  }
  return times == 1;
}

Bytes file_bytes(const NativePath& path) {
  Bytes content;
  EXPECT_EQ(read_whole_file(path, content), ReadResult::ok) << path;
  return content;
}

Bytes as_bytes(std::span<const unsigned char> span) {
  return Bytes(span.begin(), span.end());
}
Bytes as_bytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

void copy_file(const NativePath& from, const NativePath& to) {
  ASSERT_TRUE(write_whole_file(to, file_bytes(from)));
}

// The names in a directory, sorted.
std::vector<std::string> entries(const NativePath& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A run directory whose path holds spaces and characters that code page 936
// cannot express.
constexpr std::string_view run_directory_prefix = "vorpane skin 한글 ŵ 🎨";

QApplication& application() {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "shell_skin_tests";
  static char* argv[] = {name, nullptr};
  static QApplication instance(argc, argv);
  return instance;
}

// The real engine, written out of the program's embedded bytes and loaded
// once per process; it stays loaded like the program's.
AttachEntry engine_entry() {
  static const AttachEntry entry = [] {
    static TemporaryDirectory directory(run_directory_prefix);
    ensure_skin_library(directory.path());
    void* library = ::dlopen(directory.file(skin_library_file_name).c_str(), RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<AttachEntry>(::dlsym(library, "SkinH_AttachRes")) : nullptr;
  }();
  return entry;
}

// Calls the engine as the program does, with a private copy of `data`.
int attach(const Bytes& data, int length) {
  const AttachEntry entry = engine_entry();
  if (entry == nullptr) {
    ADD_FAILURE() << "the engine did not load";
    return -1;
  }
  return entry(data.empty() ? nullptr : data.data(), length, "", 0, 0, 0);
}
int attach(const Bytes& data) {
  return attach(data, static_cast<int>(data.size()));
}

std::string skin_text(int32_t number) {
  const auto data = skin_data(number);
  return std::string(data.begin(), data.end());
}

// The value of "key: value" in a skin text.
std::string field_value(const std::string& text, const std::string& key) {
  const size_t start = text.find("\n" + key + ": ");
  if (start == std::string::npos) return {};
  const size_t value = start + key.size() + 3;
  return text.substr(value, text.find('\n', value) - value);
}

std::string with_field(std::string text, const std::string& key, const std::string& value) {
  const size_t start = text.find("\n" + key + ": ");
  const size_t value_start = start + key.size() + 3;
  return text.replace(value_start, text.find('\n', value_start) - value_start, value);
}

std::string without_field(std::string text, const std::string& key) {
  const size_t start = text.find("\n" + key + ": ") + 1;
  return text.erase(start, text.find('\n', start) + 1 - start);
}

std::string with_line_before_end(std::string text, const std::string& line) {
  return text.insert(text.rfind("end\n"), line + "\n");
}

// What a skin changes in the application.
struct Look {
  QString style_sheet;
  QPalette palette;
  QString style_name;
  QFont font;
  bool operator==(const Look&) const = default;
};

Look current_look() {
  return {qApp->styleSheet(), QApplication::palette(), QApplication::style()->name(),
          QApplication::font()};
}

// skin/skins/NN.skin, read from the source tree.
Bytes source_skin(int number) {
  const std::string name = (number < 10 ? "0" : "") + std::to_string(number) + ".skin";
  return file_bytes(join_path(SKIN_SOURCE_DIRECTORY, name));
}

TEST(SkinDataTest, EmbedsTheFreshLibraryAndEverySkin) {
  EXPECT_EQ(as_bytes(skin_library_data()), file_bytes(ENGINE_LIBRARY_FILE));
  for (int number = 1; number <= skin_count; ++number) {
    EXPECT_EQ(as_bytes(skin_data(number)), source_skin(number)) << "skin " << number;
  }
  for (const int32_t outside : {0, 34, -1, INT_MIN, INT_MAX}) {
    EXPECT_TRUE(skin_data(outside).empty()) << outside;
  }
}

class SkinSetupTest : public ::testing::Test {
 protected:
  NativePath library_path() const { return run_directory.file(skin_library_file_name); }

  TemporaryDirectory run_directory{run_directory_prefix};
};

TEST_F(SkinSetupTest, FirstStartWritesTheLibraryHiddenAndAppliesSkinFive) {
  application();
  ASSERT_FALSE(run_directory.path().empty());
  EXPECT_EQ(apply_skin(run_directory.path(), 5), SkinSetup::engine_called);

  EXPECT_EQ(file_bytes(library_path()), as_bytes(skin_library_data()));
  EXPECT_EQ(file_bytes(run_directory.file(".hidden")), as_bytes("SkinH_EL.dll\n"));
  // No temporary file is left behind.
  EXPECT_EQ(entries(run_directory.path()), (std::vector<std::string>{".hidden", "SkinH_EL.dll"}));
  EXPECT_EQ(QApplication::palette().color(QPalette::Window).name().toStdString(),
            field_value(skin_text(5), "window"));
}

TEST_F(SkinSetupTest, SecondStartLeavesTheLibraryAndTheHiddenListAlone) {
  ensure_skin_library(run_directory.path());
  // The user changed the file's mode and took it off the hidden list since.
  ASSERT_EQ(::chmod(library_path().c_str(), 0640), 0);
  const timespec long_ago[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, library_path().c_str(), long_ago, 0), 0);
  ASSERT_TRUE(write_whole_file(run_directory.file(".hidden"), as_bytes("notes.txt\n")));
  struct stat before;
  ASSERT_EQ(::stat(library_path().c_str(), &before), 0);

  ensure_skin_library(run_directory.path());

  struct stat after;
  ASSERT_EQ(::stat(library_path().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(file_bytes(library_path()), as_bytes(skin_library_data()));
  EXPECT_EQ(file_bytes(run_directory.file(".hidden")), as_bytes("notes.txt\n"));
}

struct UnusableLibraryCase {
  const char* name;
  void (*place)(const TemporaryDirectory& directory, const NativePath& library_path);
  SkinSetup expected;
};

const UnusableLibraryCase unusable_library_cases[] = {
    {"text file",
     [](const TemporaryDirectory&, const NativePath& path) {
       ASSERT_TRUE(write_whole_file(path, as_bytes("not a library\n")));
     },
     SkinSetup::library_not_loaded},
    {"empty file",
     [](const TemporaryDirectory&, const NativePath& path) {
       ASSERT_TRUE(write_whole_file(path, Bytes{}));
     },
     SkinSetup::library_not_loaded},
    {"cut-off library",
     [](const TemporaryDirectory&, const NativePath& path) {
       const auto library = skin_library_data();
       ASSERT_TRUE(
           write_whole_file(path, Bytes(library.begin(), library.begin() + library.size() / 2)));
     },
     SkinSetup::library_not_loaded},
    {"directory",
     [](const TemporaryDirectory&, const NativePath& path) {
       ASSERT_TRUE(std::filesystem::create_directory(path));
     },
     SkinSetup::library_not_loaded},
    {"dangling link",
     [](const TemporaryDirectory& directory, const NativePath& path) {
       ASSERT_EQ(::symlink(directory.file("gone").c_str(), path.c_str()), 0);
     },
     SkinSetup::library_not_loaded},
    {"library without the entry",
     [](const TemporaryDirectory&, const NativePath& path) {
       copy_file(LIBRARY_WITHOUT_ENTRY_FILE, path);
     },
     SkinSetup::entry_missing},
};

TEST_F(SkinSetupTest, AnUnusableLibraryLeavesTheProgramRunningAndIsKept) {
  for (const UnusableLibraryCase& test_case : unusable_library_cases) {
    SCOPED_TRACE(test_case.name);
    TemporaryDirectory directory(run_directory_prefix);
    const NativePath path = directory.file(skin_library_file_name);
    test_case.place(directory, path);
    const std::vector<std::string> entries_before = entries(directory.path());
    Bytes before;
    const ReadResult read_before = read_whole_file(path, before);

    EXPECT_EQ(apply_skin(directory.path(), 5), test_case.expected);

    EXPECT_EQ(entries(directory.path()), entries_before);
    Bytes after;
    EXPECT_EQ(read_whole_file(path, after), read_before);
    EXPECT_EQ(after, before);
  }
}

class RecordingEngineTest : public SkinSetupTest {
 protected:
  void SetUp() override { copy_file(RECORDING_ENGINE_FILE, library_path()); }

  // The calls the engine in the run directory has seen.
  std::vector<RecordedCall> recorded_calls() const {
    void* library = ::dlopen(library_path().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) return {};
    const auto count = reinterpret_cast<RecordedCallCount>(::dlsym(library, "recorded_call_count"));
    const auto at = reinterpret_cast<RecordedCallAt>(::dlsym(library, "recorded_call_at"));
    std::vector<RecordedCall> calls;
    for (int i = 0; count && at && i < count(); ++i)
      calls.push_back(*at(i));
    ::dlclose(library);
    return calls;
  }
};

TEST_F(RecordingEngineTest, SkinFiveArrivesAsAPrivateCopyFreedAfterTheCall) {
  const size_t freed_before = freed_count.load();
  EXPECT_EQ(apply_skin(run_directory.path(), 5), SkinSetup::engine_called);

  const std::vector<RecordedCall> calls = recorded_calls();
  ASSERT_EQ(calls.size(), 1u);
  const RecordedCall& call = calls[0];
  const auto skin = skin_data(5);
  EXPECT_EQ(call.length, static_cast<int>(skin.size()));
  EXPECT_EQ(call.bytes, as_bytes(skin));
  ASSERT_NE(call.data, nullptr);
  EXPECT_NE(call.data, skin.data());
  EXPECT_TRUE(freed_since(freed_before, call.data));
  EXPECT_TRUE(call.password_given);
  EXPECT_EQ(call.password, "");
  EXPECT_EQ(call.first, 0);
  EXPECT_EQ(call.second, 0);
  EXPECT_EQ(call.third, 0);
  // The library file that was there is kept and not listed as hidden.
  EXPECT_EQ(file_bytes(library_path()), file_bytes(RECORDING_ENGINE_FILE));
  EXPECT_FALSE(path_exists(run_directory.file(".hidden")));
}

TEST_F(RecordingEngineTest, ANumberOutsideTheTablePassesNoData) {
  const int32_t numbers[] = {0, 34, -1, INT_MIN};
  for (const int32_t number : numbers) {
    EXPECT_EQ(apply_skin(run_directory.path(), number), SkinSetup::engine_called);
  }
  const std::vector<RecordedCall> calls = recorded_calls();
  ASSERT_EQ(calls.size(), std::size(numbers));
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(numbers[i]);
    EXPECT_EQ(calls[i].data, nullptr);
    EXPECT_EQ(calls[i].length, 0);
    EXPECT_EQ(calls[i].password, "");
    EXPECT_EQ(calls[i].first | calls[i].second | calls[i].third, 0);
  }
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    application();
    ASSERT_NE(engine_entry(), nullptr);
    ASSERT_EQ(attach(as_bytes(skin_data(5))), 0);
  }
};

TEST_F(EngineTest, EverySkinApplies) {
  const QFont font = QApplication::font();
  for (int number = 1; number <= skin_count; ++number) {
    SCOPED_TRACE(number);
    const std::string text = skin_text(number);
    ASSERT_EQ(attach(as_bytes(text)), 0);
    const QPalette palette = QApplication::palette();
    EXPECT_EQ(palette.color(QPalette::Window).name().toStdString(), field_value(text, "window"));
    EXPECT_EQ(palette.color(QPalette::Text).name().toStdString(), field_value(text, "text"));
    EXPECT_EQ(palette.color(QPalette::Highlight).name().toStdString(),
              field_value(text, "highlight"));
    const std::string sheet = qApp->styleSheet().toStdString();
    EXPECT_NE(sheet.find(field_value(text, "border")), std::string::npos);
    EXPECT_EQ(sheet.find("$("), std::string::npos);
    EXPECT_EQ(QApplication::font(), font);
  }
}

// The main window sets its own label colours and fonts and places every
// control itself; the skin must keep all of that.
TEST_F(EngineTest, WidgetsKeepTheirOwnColoursFontsAndPlaces) {
  // Start from the plain look, as the program does.
  qApp->setStyleSheet(QString());
  QApplication::setPalette(QApplication::style()->standardPalette());
  QMainWindow main_window;
  main_window.menuBar()
      ->addMenu(QString::fromUtf8(" 关于 "))
      ->addAction(QString::fromUtf8(" 作者 "));
  const QSize menu_bar_size = main_window.menuBar()->sizeHint();
  QWidget window;
  window.setFixedSize(400, 200);
  QLabel label(QString::fromUtf8("开始群号："), &window);
  label.setGeometry(38, 8, 78, 32);
  QFont bold = label.font();
  bold.setPixelSize(16);
  bold.setBold(true);
  label.setFont(bold);
  QPalette red = label.palette();
  red.setColor(QPalette::WindowText, Qt::red);
  label.setPalette(red);
  QPushButton button(QString::fromUtf8("停止\r\n获取"), &window);
  button.setGeometry(244, 3, 100, 85);
  QLineEdit edit(QStringLiteral("10000000"), &window);
  edit.setGeometry(122, 8, 94, 32);

  ASSERT_EQ(attach(as_bytes(skin_data(12))), 0);
  ASSERT_FALSE(window.grab().isNull());

  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_EQ(label.font(), bold);
  EXPECT_EQ(label.geometry(), QRect(38, 8, 78, 32));
  EXPECT_EQ(button.geometry(), QRect(244, 3, 100, 85));
  EXPECT_EQ(edit.geometry(), QRect(122, 8, 94, 32));
  EXPECT_EQ(window.size(), QSize(400, 200));
  // The window's client area is measured below the menu bar.
  EXPECT_EQ(main_window.menuBar()->sizeHint(), menu_bar_size);
}

struct BadSkinCase {
  const char* name;
  std::string data;
  SkinStatus expected;
};

std::vector<BadSkinCase> bad_skin_cases() {
  const std::string good = skin_text(5);
  const auto library = skin_library_data();
  std::string crlf;
  for (const char c : good)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string with_nul = good;
  with_nul[good.size() / 2] = '\0';
  std::string oversized = good;
  oversized.resize(skin::max_skin_size + 1, '\n');
  return {
      {"text of another kind", "name: Morning\nend\n", SkinStatus::not_a_skin},
      {"the engine library's start", std::string(library.begin(), library.begin() + 4096),
       SkinStatus::not_a_skin},
      {"magic cut short", good.substr(0, 10), SkinStatus::not_a_skin},
      {"version without digits", "vorpane-skin x\nend\n", SkinStatus::not_a_skin},
      {"newer version", "vorpane-skin 2" + good.substr(good.find('\n')),
       SkinStatus::unsupported_version},
      {"magic line only", "vorpane-skin 1", SkinStatus::malformed},
      {"last byte missing", good.substr(0, good.size() - 1), SkinStatus::malformed},
      {"cut before end", good.substr(0, good.rfind("end\n")), SkinStatus::malformed},
      {"cut in the middle", good.substr(0, good.size() / 2), SkinStatus::malformed},
      {"byte after end", good + "x", SkinStatus::malformed},
      {"line after end", good + "\n", SkinStatus::malformed},
      {"CR LF line ends", crlf, SkinStatus::malformed},
      {"NUL byte", with_nul, SkinStatus::malformed},
      {"tab", with_line_before_end(good, "#\tcomment"), SkinStatus::malformed},
      {"UTF-8 text", with_line_before_end(good, "# 晨光"), SkinStatus::malformed},
      {"line too long", with_line_before_end(good, "#" + std::string(200, 'x')),
       SkinStatus::malformed},
      {"no space after colon", with_line_before_end(without_field(good, "radius"), "radius:3"),
       SkinStatus::malformed},
      {"capital key", with_line_before_end(without_field(good, "radius"), "Radius: 3"),
       SkinStatus::malformed},
      {"empty value", with_field(good, "name", ""), SkinStatus::malformed},
      {"space before value", with_field(good, "window", " #eef2f6"), SkinStatus::malformed},
      {"space after value", with_field(good, "window", "#eef2f6 "), SkinStatus::malformed},
      {"unknown field", with_line_before_end(good, "sparkle: #ffffff"), SkinStatus::unknown_field},
      {"duplicate field", with_line_before_end(good, "radius: 3"), SkinStatus::duplicate_field},
      {"missing colour", without_field(good, "highlight"), SkinStatus::missing_field},
      {"missing name", without_field(good, "name"), SkinStatus::missing_field},
      {"colour too short", with_field(good, "window", "#eef2f"), SkinStatus::bad_value},
      {"colour too long", with_field(good, "window", "#eef2f60"), SkinStatus::bad_value},
      {"colour not hex", with_field(good, "window", "#eef2g6"), SkinStatus::bad_value},
      {"colour by name", with_field(good, "window", "white"), SkinStatus::bad_value},
      {"radius too big", with_field(good, "radius", "13"), SkinStatus::bad_value},
      {"radius negative", with_field(good, "radius", "-1"), SkinStatus::bad_value},
      {"radius with leading zero", with_field(good, "radius", "03"), SkinStatus::bad_value},
      {"radius beyond 32 bits", with_field(good, "radius", "4294967299"), SkinStatus::bad_value},
      {"no border", with_field(good, "border-width", "0"), SkinStatus::bad_value},
      {"shade too strong", with_field(good, "button-shade", "41"), SkinStatus::bad_value},
      {"name too long", with_field(good, "name", std::string(33, 'a')), SkinStatus::bad_value},
      {"name with punctuation", with_field(good, "name", "Morning!"), SkinStatus::bad_value},
      {"text like its field", with_field(good, "text", field_value(good, "base")),
       SkinStatus::unreadable},
      {"pale selection", with_field(good, "highlight", "#f0f0f0"), SkinStatus::unreadable},
      {"one byte too many", oversized, SkinStatus::too_large},
  };
}

TEST_F(EngineTest, BadSkinsAreRefusedAndChangeNothing) {
  const Look look = current_look();
  for (const BadSkinCase& test_case : bad_skin_cases()) {
    SCOPED_TRACE(test_case.name);
    EXPECT_EQ(attach(as_bytes(test_case.data)), static_cast<int>(test_case.expected));
    EXPECT_TRUE(current_look() == look);
  }
}

TEST_F(EngineTest, AbsentDataAndBadLengthsAreRefused) {
  const Look look = current_look();
  const Bytes good = as_bytes(skin_data(5));
  const AttachEntry entry = engine_entry();
  EXPECT_EQ(entry(nullptr, 0, "", 0, 0, 0), static_cast<int>(SkinStatus::no_data));
  EXPECT_EQ(entry(nullptr, 100, "", 0, 0, 0), static_cast<int>(SkinStatus::no_data));
  EXPECT_EQ(entry(good.data(), 0, "", 0, 0, 0), static_cast<int>(SkinStatus::no_data));
  EXPECT_EQ(entry(good.data(), -1, "", 0, 0, 0), static_cast<int>(SkinStatus::no_data));
  EXPECT_EQ(entry(good.data(), INT_MIN, "", 0, 0, 0), static_cast<int>(SkinStatus::no_data));
  // A length past the data is refused before a byte is read; ASan would
  // report a read beyond the buffer.
  EXPECT_EQ(entry(good.data(), INT_MAX, "", 0, 0, 0), static_cast<int>(SkinStatus::too_large));
  EXPECT_EQ(entry(good.data(), static_cast<int>(good.size()) - 1, "", 0, 0, 0),
            static_cast<int>(SkinStatus::malformed));
  EXPECT_TRUE(current_look() == look);
  // A password, or none, does not matter to these skins.
  EXPECT_EQ(entry(good.data(), static_cast<int>(good.size()), nullptr, 1, 2, 3), 0);
}

TEST_F(EngineTest, TheLargestSkinIsAccepted) {
  const std::string good = skin_text(5);
  std::string text = good.substr(0, good.rfind("end\n"));
  const std::string padding = "# padding\n";
  while (text.size() + padding.size() + 2 + 4 <= skin::max_skin_size)
    text += padding;
  text += "#" + std::string(skin::max_skin_size - text.size() - 2 - 4, 'x') + "\n";
  text += "end\n";
  ASSERT_EQ(text.size(), skin::max_skin_size);
  EXPECT_EQ(attach(as_bytes(text)), 0);
}

TEST_F(EngineTest, RandomDataIsRefusedAndDamagedSkinsApplyWholeOrNotAtAll) {
  std::mt19937 random(20240611);
  const std::string good = skin_text(5);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const Look look = current_look();
    Bytes noise(std::uniform_int_distribution<size_t>(1, 2048)(random));
    for (unsigned char& byte : noise)
      byte = static_cast<unsigned char>(random());
    EXPECT_NE(attach(noise), 0);
    EXPECT_TRUE(current_look() == look);

    std::string damaged = good;
    const int changes = std::uniform_int_distribution<int>(1, 4)(random);
    for (int change = 0; change < changes; ++change) {
      const size_t at = std::uniform_int_distribution<size_t>(0, damaged.size() - 1)(random);
      damaged[at] = static_cast<char>(random());
    }
    if (random() % 4 == 0) damaged.resize(random() % damaged.size());
    if (attach(as_bytes(damaged)) != 0) {
      EXPECT_TRUE(current_look() == look);
    }
  }
}

TEST_F(EngineTest, ACallFromAnotherThreadIsRefused) {
  const Look look = current_look();
  int result = 0;
  std::thread other([&result] { result = attach(as_bytes(skin_data(7))); });
  other.join();
  EXPECT_EQ(result, static_cast<int>(SkinStatus::no_application));
  EXPECT_TRUE(current_look() == look);
}

// The engine's result with only a QCoreApplication in the process.
int attach_under_core_application() {
  int argc = 1;
  char name[] = "core";
  char* argv[] = {name, nullptr};
  QCoreApplication core(argc, argv);
  return attach(as_bytes(skin_data(5)));
}

// Each case runs in a fresh process, since an application cannot be taken
// down and set up again within one.
TEST(EngineWithoutWidgetsTest, RefusesWithoutAWidgetApplication) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto refused = ::testing::ExitedWithCode(static_cast<int>(SkinStatus::no_application));
  EXPECT_EXIT(std::exit(attach(as_bytes(skin_data(5)))), refused, "");
  EXPECT_EXIT(std::exit(attach_under_core_application()), refused, "");
}

}  // namespace
}  // namespace vorpane
