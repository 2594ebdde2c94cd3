#pragma once

// Reads the alias model at path in one forward pass and appends its textures,
// faces, face mappings, vertices and animations to the import run's lists.
// Returns 1 when the whole model was read, 0 on any failure; never throws.
int LoadMdl(const char* path) noexcept;
