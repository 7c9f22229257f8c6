#include "registry/registry.h"

// Associations are not built yet; the run sequence already calls them in place.
void SetFileAssociations(HWND, bool) {}
