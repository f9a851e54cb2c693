// A stand-in skin engine for tests: it keeps what each call receives.
#pragma once

#include <string>
#include <vector>

struct RecordedCall {
  const unsigned char* data = nullptr;
  int length = 0;
  bool password_given = false;
  std::string password;
  int first = 0;
  int second = 0;
  int third = 0;
  std::vector<unsigned char> bytes;  // what `data` held during the call
};

// Looked up by name in the loaded library.
using RecordedCallCount = int (*)();
using RecordedCallAt = const RecordedCall* (*)(int index);
