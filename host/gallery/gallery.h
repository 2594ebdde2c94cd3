// mdlhost --gallery: a page of every model an export converted, index.html
// in the export's folder, that a browser opens straight from disk, offline.
// Each model shows as its thumbnail, name and counts, under the heading of
// the folder or archive it came from; chosen, it opens in an interactive 3D
// view. A page opened from disk may fetch nothing beside
// it, but it may run a classic script beside it: each model's GLB therefore
// travels as base64 in a script of its own, loaded when the model is chosen,
// and the viewer is one such script too.
//
// Every name on the page comes from strangers' files; each reaches the page
// as escaped text or a percent-encoded path, never as markup.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mdl/mdl_groups.h"
#include "model_name.h"
#include "output_file.h"
#include "received_model.h"

// The page and the folder of its own files, in the export's folder; the
// models' folders keep clear of both (compared without case).
constexpr char GALLERY_PAGE[] = "index.html";
constexpr char GALLERY_FILES[] = "index_files";

// Text as the page shows it: valid UTF-8 (each byte that is not, as U+FFFD)
// with & < > " ' escaped, for an element's text or an attribute's value.
std::string HtmlText(std::string_view text);
// A relative path as a URL's path: each byte but letters, digits and
// "-._~/" percent-encoded, so that no name ends the URL or the attribute.
std::string UrlPath(const std::filesystem::path& relative);

// What the models came from, as named on the command line. A folder or an
// archive heads its models under its last name; models named alone share
// one heading.
struct GalleryInput {
    std::string path;  // as given
    std::string name;  // its last name
    bool alone;        // a model, or nothing, rather than a folder or an archive
};

// The page names a model by its path inside its input (its file name when
// named alone); its path as given is its tooltip, which the filter matches,
// since a shared page should not show a stranger's folders at first sight.

class Gallery {
public:
    Gallery(std::filesystem::path root, std::vector<GalleryInput> inputs);

    // A converted model, exported to folder (relative to the root; empty
    // when the export's folder is the model's own). Its GLB goes into the
    // gallery's script for it. False, with the failure, when that script
    // cannot be written; the model is then left off the page.
    // Its groups, if it had any, give its animations and skin animations.
    bool AddModel(const ModelName& name, const std::filesystem::path& folder, const ReceivedModel& model,
                  const MdlGroups& groups, bool thumbnail, ExportMessages& messages);
    bool AddModel(const ModelName& name, const std::filesystem::path& folder, const ReceivedModel& model,
                  bool thumbnail, ExportMessages& messages) {
        return AddModel(name, folder, model, MdlGroups(), thumbnail, messages);
    }
    // A model that was refused or failed, with the summary's reason.
    void AddUnconverted(const ModelName& name, bool refused, const std::string& reason);

    // index.html and the viewer's files. False, with the failure, when
    // any cannot be written.
    bool Write(const std::string& title, ExportMessages& messages) const;

private:
    struct Model {
        ModelName name;
        std::string url;  // of its folder, ending in '/' unless empty
        size_t vertices, triangles, frames, animations, skins;
        bool thumbnail;
        std::string skinGroups;  // the skin groups the page plays, as JSON; empty without
    };
    struct Unconverted {
        ModelName name;
        bool refused;
        std::string reason;
    };

    // The heading an input's models go under: the first input named alone
    // for every one named alone.
    size_t GroupOf(size_t input) const;
    std::string Named(const ModelName& name) const;
    std::string Page(const std::string& title) const;
    std::string Group(size_t group) const;
    std::string Card(size_t index) const;
    std::string UnconvertedList() const;

    std::filesystem::path root;
    std::vector<GalleryInput> inputs;
    std::vector<Model> models;
    std::vector<Unconverted> unconverted;
};
