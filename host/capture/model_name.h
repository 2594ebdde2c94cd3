// A model's name, from the command line through the runs to the gallery.
#pragma once

#include <cstddef>
#include <string>

struct ModelName {
    size_t argument = 0;  // the one that named it
    // Its path inside what the argument names, a folder or an archive (a
    // loose file's own name); empty for the argument itself, such as an
    // archive that cannot be read.
    std::string inside;
    // Its path as given, ARCHIVE/ENTRY for an archive's: as the summary and
    // the dump name it, and the gallery's tooltips and filter.
    std::string shown;
};
