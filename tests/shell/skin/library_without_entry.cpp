// A loadable library that lacks the engine's entry.
extern "C" int unrelated_function() {
  return 7;
}
