#include "common/integer_text.h"

#include "input/decimal.h"

namespace tavrel::tools {

bool parseWholeInt(std::string_view token, int* value) {
  std::size_t digitsStart = !token.empty() && token[0] == '-' ? 1 : 0;
  if (token.size() == digitsStart) return false;
  for (std::size_t i = digitsStart; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return false;
  }
  DecimalValue converted = convertDecimal(token.data(), token.size(), 0);
  if (!fitsInInt(converted.value)) return false;
  *value = static_cast<int>(converted.value);
  return true;
}

}  // namespace tavrel::tools
