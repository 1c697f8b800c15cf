#include "platform/text.h"

namespace platform {

namespace {

inline int lowerAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

}  // namespace

int compareNoCase(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; i++) {
    int ca = lowerAscii(static_cast<unsigned char>(a[i]));
    int cb = lowerAscii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

int compareNoCase(const char* a, const char* b) {
  for (std::size_t i = 0;; i++) {
    int ca = lowerAscii(static_cast<unsigned char>(a[i]));
    int cb = lowerAscii(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
}

}  // namespace platform
