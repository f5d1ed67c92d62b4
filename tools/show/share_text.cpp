#include "show/share_text.h"

#include <cstdio>

namespace tavrel::tools {

std::string shareText(long long support, long long strings) {
  // Tenths of a percent, rounded half up, in integers so that every
  // machine writes the same digits.
  long long tenths = (support * 2000 + strings) / (2 * strings);
  if (tenths == 0 && support > 0) return "<0.1%";
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%lld%%", tenths / 10, tenths % 10);
  return text;
}

}  // namespace tavrel::tools
