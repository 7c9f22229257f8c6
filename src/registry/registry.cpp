#include "registry/registry.h"

// Registry steps are not built yet; the run sequence already calls them in place.
void ApplyRegistryEntries(const char*, bool) {}
void RegisterUninstall() {}
void RemoveProductKeys() {}
void SetFileAssociations(HWND, bool) {}
