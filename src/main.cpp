// Mizuto: the headless report (--report); the window comes later.
#include <cstdio>

int main(int argc, char** argv) {
  (void)argv;
  if (argc < 2) {
    std::fprintf(stderr, "usage: mizuto --report [options] LOGFILE\n");
    return 2;
  }
  return 0;
}
