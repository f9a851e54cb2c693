#include "shell/loadable_library.h"

#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "shell/skin.h"
#include "support/temporary_directory.h"

namespace vorpane {
namespace {

Bytes engine_bytes() {
  const auto library = skin_library_data();
  return Bytes(library.begin(), library.end());
}

// The engine library with its ELF header changed by `change`.
Bytes with_header(const std::function<void(ElfW(Ehdr) &)>& change) {
  Bytes bytes = engine_bytes();
  ElfW(Ehdr) header;
  std::memcpy(&header, bytes.data(), sizeof header);
  change(header);
  std::memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

// The engine library with its first program header changed by `change`.
Bytes with_first_segment(const std::function<void(ElfW(Phdr) &)>& change) {
  Bytes bytes = engine_bytes();
  ElfW(Ehdr) header;
  std::memcpy(&header, bytes.data(), sizeof header);
  ElfW(Phdr) segment;
  std::memcpy(&segment, bytes.data() + header.e_phoff, sizeof segment);
  change(segment);
  std::memcpy(bytes.data() + header.e_phoff, &segment, sizeof segment);
  return bytes;
}

Bytes first_bytes(size_t count) {
  Bytes bytes = engine_bytes();
  bytes.resize(count);
  return bytes;
}

Bytes cut_to(size_t eighths) {
  return first_bytes(skin_library_data().size() * eighths / 8);
}

class LoadableLibraryTest : public ::testing::Test {
 protected:
  bool check(const Bytes& content) {
    const NativePath path = directory_.file("library " + std::to_string(files_++));
    EXPECT_TRUE(write_whole_file(path, content));
    return is_whole_shared_library(path);
  }

  TemporaryDirectory directory_{"vorpane elf"};
  int files_ = 0;
};

TEST_F(LoadableLibraryTest, AcceptsTheWholeEngineWithOrWithoutTrailingBytes) {
  EXPECT_TRUE(check(engine_bytes()));
  Bytes longer = engine_bytes();
  longer.resize(longer.size() + 100, 0xAB);
  EXPECT_TRUE(check(longer));
}

TEST_F(LoadableLibraryTest, RefusesCutOffAndDamagedFiles) {
  const struct {
    const char* name;
    Bytes content;
  } cases[] = {
      {"empty", {}},
      {"text", {'n', 'o', 't', ' ', 'E', 'L', 'F', '\n'}},
      {"header alone", first_bytes(sizeof(ElfW(Ehdr)))},
      {"an eighth", cut_to(1)},
      {"half", cut_to(4)},
      {"seven eighths", cut_to(7)},
      {"other word size", with_header([](ElfW(Ehdr) & h) {
         h.e_ident[EI_CLASS] = sizeof(void*) == 8 ? ELFCLASS32 : ELFCLASS64;
       })},
      {"other byte order", with_header([](ElfW(Ehdr) & h) {
         h.e_ident[EI_DATA] = h.e_ident[EI_DATA] == ELFDATA2LSB ? ELFDATA2MSB : ELFDATA2LSB;
       })},
      {"a program, not a library", with_header([](ElfW(Ehdr) & h) { h.e_type = ET_EXEC; })},
      {"no program headers", with_header([](ElfW(Ehdr) & h) { h.e_phnum = 0; })},
      {"absurd program header count", with_header([](ElfW(Ehdr) & h) { h.e_phnum = 60000; })},
      {"program headers past the end", with_header([](ElfW(Ehdr) & h) { h.e_phoff = ~0ull; })},
      {"odd program header size", with_header([](ElfW(Ehdr) & h) { h.e_phentsize = 12; })},
      {"segment past the end", with_first_segment([](ElfW(Phdr) & s) { s.p_offset = ~0ull - 8; })},
      {"segment too long", with_first_segment([](ElfW(Phdr) & s) { s.p_filesz = ~0ull; })},
  };
  for (const auto& test_case : cases) {
    EXPECT_FALSE(check(test_case.content)) << test_case.name;
  }
}

TEST_F(LoadableLibraryTest, RefusesWhatIsNotAFile) {
  EXPECT_FALSE(is_whole_shared_library(directory_.file("missing")));
  EXPECT_FALSE(is_whole_shared_library(directory_.path()));
}

}  // namespace
}  // namespace vorpane
