// Load and unload of a provider library. Each library calls these from its
// own shared-object constructor and destructor (TALLOWMERE_PROVIDER_LIFECYCLE
// defines both). Load reads the settings and sets up the environment (and,
// in shared mode, the connection); it never fails because of configuration
// or the database. Unload closes everything and swallows any fault.
#pragma once

namespace tallowmere::provider {

// LoadProviderSettings(connectorKey) then InitializeEnvironment. Returns 1.
int ProviderLoad(const char* connectorKey);
// CloseEnvironment; never throws.
void ProviderUnload();

}  // namespace tallowmere::provider

// Defines the library's constructor and destructor.
#define TALLOWMERE_PROVIDER_LIFECYCLE(connectorKey)                                   \
  __attribute__((constructor)) static void TallowmereProviderOnLoad() {               \
    ::tallowmere::provider::ProviderLoad(connectorKey);                               \
  }                                                                                   \
  __attribute__((destructor)) static void TallowmereProviderOnUnload() {              \
    ::tallowmere::provider::ProviderUnload();                                         \
  }
