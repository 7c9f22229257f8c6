// Anchors the precompiled headers that every test program reuses.
