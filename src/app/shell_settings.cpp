#include "app/shell_settings.h"

namespace terva::app {

std::string versionText() {
  return std::to_string(TERVA_VERSION_MAJOR) + "." + std::to_string(TERVA_VERSION_MINOR) + "." +
         std::to_string(TERVA_VERSION_PATCH);
}

}  // namespace terva::app
