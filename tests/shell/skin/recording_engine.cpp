#include "shell/skin/recording_engine.h"

namespace {

std::vector<RecordedCall>& calls() {
  static std::vector<RecordedCall> recorded;
  return recorded;
}

}  // namespace

extern "C" int SkinH_AttachRes(const unsigned char* data, int length, const char* password,
                               int first, int second, int third) {
  RecordedCall call;
  call.data = data;
  call.length = length;
  call.password_given = password != nullptr;
  // The text is read only up to a bound, so a missing terminator shows as a
  // wrong password instead of a read past the end.
  if (password != nullptr) {
    for (int i = 0; i < 256 && password[i] != '\0'; ++i)
      call.password += password[i];
  }
  call.first = first;
  call.second = second;
  call.third = third;
  if (data != nullptr && length > 0) call.bytes.assign(data, data + length);
  calls().push_back(std::move(call));
  return 0;
}

extern "C" int recorded_call_count() {
  return static_cast<int>(calls().size());
}

extern "C" const RecordedCall* recorded_call_at(int index) {
  if (index < 0 || index >= recorded_call_count()) return nullptr;
  return &calls()[static_cast<size_t>(index)];
}
