#include "ulx/ulx_interface.h"

#include <cstdlib>

namespace auralith::ulx {

std::string InterfaceDir() {
  if (const char* dir = std::getenv(kInterfaceDirVariable); dir && *dir) return dir;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return {};
  return std::string(runtime) + "/ulx/" + kInterfaceClass;
}

}  // namespace auralith::ulx
