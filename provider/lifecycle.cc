// Load and unload of a provider library.
#include "provider/lifecycle.h"

#include "provider/connection.h"
#include "provider/settings.h"

namespace tallowmere::provider {

int ProviderLoad(const char* connectorKey) {
  try {
    LoadProviderSettings(connectorKey, Settings());
    InitializeEnvironment();
  } catch (...) {
    // Load never fails because of configuration or the database.
  }
  return 1;
}

void ProviderUnload() {
  try {
    CloseEnvironment();
  } catch (...) {
  }
}

}  // namespace tallowmere::provider
