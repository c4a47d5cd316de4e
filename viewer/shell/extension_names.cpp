#include "viewer/shell/extension_names.h"

#include <cstring>

namespace aerolume {

bool names_extension(const char* extensions, const char* name) {
  const std::size_t length = std::strlen(name);
  for (const char* at = extensions; (at = std::strstr(at, name)) != nullptr; at += length) {
    const bool starts = at == extensions || at[-1] == ' ';
    const bool ends = at[length] == '\0' || at[length] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace aerolume
