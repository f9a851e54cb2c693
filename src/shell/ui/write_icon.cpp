// vorpane_icon_writer <file.png> <size>: the program icon as a PNG file.
#include <cstdio>
#include <cstdlib>

#include "shell/ui/artwork.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <file.png> <size>\n", argv[0]);
    return 2;
  }
  const int size = std::atoi(argv[2]);
  if (size < 1 || size > 1024) {
    std::fprintf(stderr, "%s: the size must be 1 to 1024 pixels\n", argv[0]);
    return 2;
  }
  if (!vorpane::program_icon_image(size).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
