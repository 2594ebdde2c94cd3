#include "gallery_files.h"

// Each file's bytes assembled into the program as they are on disk at build
// time (the build names them), between a start and an end label.
#ifdef _WIN32
#define GALLERY_SECTION ".section .rdata,\"dr\"\n"
#define GALLERY_SECTION_END ".text\n"  // COFF knows no .previous; the compiler names each section it uses
#else
#define GALLERY_SECTION ".section .rodata\n"
#define GALLERY_SECTION_END ".previous\n"
#endif

#define GALLERY_EMBED(label, file)                                                               \
    __asm__(GALLERY_SECTION ".balign 4\n" #label "_start:\n.incbin \"" file "\"\n" #label "_end:\n" \
            GALLERY_SECTION_END);                                                                      \
    extern const char label##_start[] __asm__(#label "_start");                                  \
    extern const char label##_end[] __asm__(#label "_end");

GALLERY_EMBED(mdlhost_gallery_js, GALLERY_JS)
GALLERY_EMBED(mdlhost_gallery_css, GALLERY_CSS)
GALLERY_EMBED(mdlhost_gallery_viewer, GALLERY_VIEWER)
GALLERY_EMBED(mdlhost_gallery_notices, GALLERY_NOTICES)

namespace {

std::string_view Between(const char* start, const char* end) { return {start, size_t(end - start)}; }

}  // namespace

const std::vector<GalleryFile>& GalleryFiles() {
    static const std::vector<GalleryFile> files = {
        {"gallery.js", Between(mdlhost_gallery_js_start, mdlhost_gallery_js_end)},
        {"gallery.css", Between(mdlhost_gallery_css_start, mdlhost_gallery_css_end)},
        {"model-viewer.min.js", Between(mdlhost_gallery_viewer_start, mdlhost_gallery_viewer_end)},
        {"NOTICES.txt", Between(mdlhost_gallery_notices_start, mdlhost_gallery_notices_end)},
    };
    return files;
}
