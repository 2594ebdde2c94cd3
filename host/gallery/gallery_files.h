// The gallery's own files, carried in the program so that it needs nothing
// beside it: the page's script and style, the 3D viewer (model-viewer's
// single-file build, from the npm lockfile) and the viewer's licence notices.
#pragma once

#include <string_view>
#include <vector>

struct GalleryFile {
    const char* name;  // in the gallery's folder
    std::string_view bytes;
};

const std::vector<GalleryFile>& GalleryFiles();
