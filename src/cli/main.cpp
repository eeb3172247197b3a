#include <cstdio>

int main() {
  std::puts("pathmere-cli: replay and record are not built yet.");
  return 0;
}
