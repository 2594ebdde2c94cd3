#include "gallery.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>

#include "export_animations.h"
#include "export_files.h"
#include "gallery_files.h"

namespace fs = std::filesystem;

namespace {

constexpr char REPLACEMENT[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at text[i], or 0 where there is none.
size_t Utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range, narrowed against overlongs and surrogates
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Totals(size_t converted, size_t refused, size_t failed) {
    return std::to_string(converted) + " converted, " + std::to_string(refused) + " refused, " +
           std::to_string(failed) + " failed";
}

constexpr char ALONE_HEADING[] = "Single files";

// A path as the page shows it, free to wrap after each folder's name rather
// than inside one.
std::string PathText(const std::string& path) {
    std::string text;
    for (const char c : HtmlText(path)) text += c == '/' ? std::string("/<wbr>") : std::string(1, c);
    return text;
}

// Markup built in order, each text escaped as it is appended.
class Markup {
public:
    Markup& Tag(std::string_view markup) {
        out += markup;
        return *this;
    }
    Markup& Text(std::string_view text) {
        out += HtmlText(text);
        return *this;
    }
    Markup& Path(const std::string& path) {
        out += PathText(path);
        return *this;
    }
    Markup& Attribute(std::string_view name, std::string_view value) {
        out.append(" ").append(name).append("=\"").append(HtmlText(value)).append("\"");
        return *this;
    }
    const std::string& Get() const { return out; }

private:
    std::string out;
};

constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// in's bytes as base64, a whole number of groups unless last: written in
// place, four characters a group, as a GLB can be hundreds of megabytes.
void AppendBase64(const unsigned char* in, size_t size, std::string& out) {
    const size_t whole = size / 3 * 3;
    size_t at = out.size();
    out.resize(at + (size + 2) / 3 * 4);
    for (size_t i = 0; i < whole; i += 3, at += 4) {
        const uint32_t group = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
        out[at] = BASE64[group >> 18];
        out[at + 1] = BASE64[(group >> 12) & 63];
        out[at + 2] = BASE64[(group >> 6) & 63];
        out[at + 3] = BASE64[group & 63];
    }
    if (whole == size) return;
    const uint32_t group = uint32_t(in[whole]) << 16 | (whole + 1 < size ? uint32_t(in[whole + 1]) << 8 : 0);
    out[at] = BASE64[group >> 18];
    out[at + 1] = BASE64[(group >> 12) & 63];
    out[at + 2] = whole + 1 < size ? BASE64[(group >> 6) & 63] : '=';
    out[at + 3] = '=';
}

// The model's GLB as the classic script the page runs to receive it:
// galleryModel(INDEX, "BASE64").
bool WriteModelScript(const fs::path& glb, const OutputFolder& folder, const fs::path& script, size_t index) {
    const auto unreadable = [&] {
        folder.Messages().Fail("cannot read " + Shown(glb) + " for the gallery");
        return false;
    };
    std::ifstream in(glb, std::ios::binary);
    if (!in) return unreadable();
    OutputFile out(folder, script);
    out.Text() << "galleryModel(" << index << ",\"";
    std::vector<char> block(3 << 16);  // a whole number of base64 groups
    std::string encoded;
    while (in) {
        in.read(block.data(), std::streamsize(block.size()));
        encoded.clear();
        AppendBase64(reinterpret_cast<const unsigned char*>(block.data()), size_t(in.gcount()), encoded);
        out.Write(encoded.data(), encoded.size());
    }
    if (in.bad()) return unreadable();
    out.Text() << "\");\n";
    return out.Commit();
}

// The view of the model chosen, filled in by the page's script.
constexpr char VIEW[] =
    "<aside id=\"view\" hidden aria-labelledby=\"view-title\">\n<div class=\"view-head\">"
    "<h2 id=\"view-title\"></h2><button type=\"button\" id=\"close\" title=\"Close the view\">×</button></div>\n"
    "<model-viewer id=\"viewer\" camera-controls interaction-prompt=\"none\" shadow-intensity=\"0\" "
    "alt=\"The chosen model\"><div slot=\"progress-bar\"></div></model-viewer>\n"  // the status line says it
    "<p id=\"view-status\" role=\"status\"></p>\n<div class=\"controls\">\n"
    "<label>Animation <select id=\"animation\"></select></label>\n"
    "<button type=\"button\" id=\"play\">Play</button>\n"
    "<label>Skin <select id=\"skin\"></select></label>\n</div>\n"
    "<p class=\"files\"><a id=\"glb-link\" download>model.glb</a> <a id=\"obj-link\">model.obj</a></p>\n"
    "</aside>\n";

// The skin groups the page steps through, each as its skins' variant names
// and its key times: [{"variants":["skin 1 frame 0",...],"keys":[0,0.1,...]}].
// Only a model of several skins has variants, and only a group of several
// skins has anything to play.
std::string SkinGroupsJson(const ReceivedModel& model, const MdlGroups& groups) {
    if (model.skins.size() < 2) return {};
    const std::vector<std::string> names = SkinNames(model.skins.size(), groups);
    std::string json;
    for (const MdlGroup& group : groups.skins) {
        if (group.intervals.size() < 2 || size_t(group.first) + group.intervals.size() > names.size()) continue;
        json += json.empty() ? "[" : ",";
        json += "{\"variants\":[";
        for (size_t k = 0; k < group.intervals.size(); ++k)
            json += (k > 0 ? ",\"" : "\"") + names[size_t(group.first) + k] + "\"";
        json += "],\"keys\":[";
        const std::vector<float> keys = GroupKeyTimes(group.intervals);
        for (size_t k = 0; k < keys.size(); ++k) {
            char number[32];
            const std::to_chars_result end = std::to_chars(number, number + sizeof number, keys[k]);
            json += (k > 0 ? "," : "") + std::string(number, end.ptr);
        }
        json += "]}";
    }
    return json.empty() ? json : json + "]";
}

fs::path ModelScript(size_t index) {
    return fs::path(GALLERY_FILES) / "models" / (std::to_string(index) + ".js");
}

}  // namespace

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += REPLACEMENT;
            ++i;
            continue;
        }
        switch (text[i]) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::string UrlPath(const fs::path& relative) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string url;
    for (const char c : relative.generic_u8string()) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            std::string_view("-._~/").find(c) != std::string_view::npos) {
            url += c;
        } else {
            url += '%';
            url += HEX[byte >> 4];
            url += HEX[byte & 15];
        }
    }
    return url;
}

Gallery::Gallery(fs::path root_, std::vector<GalleryInput> inputs_) : root(std::move(root_)), inputs(std::move(inputs_)) {}

size_t Gallery::GroupOf(size_t input) const {
    if (input < inputs.size() && !inputs[input].alone) return input;
    for (size_t i = 0; i < inputs.size(); ++i)
        if (inputs[i].alone) return i;
    return inputs.size();  // of no input named: with those named alone
}

std::string Gallery::Named(const ModelName& name) const {
    if (!name.inside.empty()) return name.inside;
    return name.argument < inputs.size() ? inputs[name.argument].name : name.shown;
}

bool Gallery::AddModel(const ModelName& name, const fs::path& folder, const ReceivedModel& model,
                       const MdlGroups& groups, bool thumbnail, ExportMessages& messages) {
    const OutputFolder out(root, messages);
    if (!out.Create(fs::path(GALLERY_FILES) / "models") ||
        !WriteModelScript(root / folder / GLB_FILE, out, ModelScript(models.size()), models.size()))
        return false;
    Model entry{name, UrlPath(folder), model.vertices.size(), model.faces.size(), 0, 0, model.skins.size(), thumbnail,
                SkinGroupsJson(model, groups)};
    if (!entry.url.empty()) entry.url += '/';
    for (const ExportAnimation& animation : ExportAnimations(model, groups)) {
        ++entry.animations;
        entry.frames += animation.frames;
    }
    models.push_back(std::move(entry));
    return true;
}

void Gallery::AddUnconverted(const ModelName& name, bool refused, const std::string& reason) {
    unconverted.push_back({name, refused, reason});
}

bool Gallery::Write(const std::string& title, ExportMessages& messages) const {
    const OutputFolder out(root, messages);
    if (!out.Create(GALLERY_FILES)) return false;
    for (const GalleryFile& file : GalleryFiles())
        if (!out.WriteFile(fs::path(GALLERY_FILES) / file.name, file.bytes)) return false;
    return out.WriteFile(GALLERY_PAGE, Page(title));
}

std::string Gallery::Page(const std::string& title) const {
    size_t refused = 0;
    for (const Unconverted& model : unconverted) refused += model.refused ? 1 : 0;
    const std::string files = std::string(GALLERY_FILES) + "/";
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>" + HtmlText(title) + "</title>\n"
                       "<link rel=\"stylesheet\" href=\"" + files + "gallery.css\">\n"
                       "<script src=\"" + files + "model-viewer.min.js\"></script>\n"
                       "<script src=\"" + files + "gallery.js\" defer></script>\n"
                       "</head>\n<body>\n<header>\n<h1>" + HtmlText(title) + "</h1>\n"
                       "<p id=\"totals\">" + Totals(models.size(), refused, unconverted.size() - refused) + "</p>\n"
                       "<input type=\"search\" id=\"filter\" placeholder=\"Filter by path\" "
                       "aria-label=\"Filter the models by path\" autocomplete=\"off\">\n"
                       "<span id=\"matching\" role=\"status\"></span>\n</header>\n<main>\n"
                       "<div id=\"models\">\n";
    std::set<size_t> groups;
    for (const Model& model : models) groups.insert(GroupOf(model.name.argument));
    for (const Unconverted& model : unconverted) groups.insert(GroupOf(model.name.argument));
    for (const size_t group : groups) page += Group(group);
    page += std::string("</div>\n") + VIEW + "</main>\n" + UnconvertedList();
    page += "<footer>Written by mdlhost. The 3D view is model-viewer, with three.js and lit inside; their "
            "licences: <a href=\"" + files + "NOTICES.txt\">NOTICES.txt</a>.</footer>\n</body>\n</html>\n";
    return page;
}

// An input's heading, under its last name with its path as given for a
// tooltip, its counts, and its models' cards.
std::string Gallery::Group(size_t group) const {
    size_t refused = 0, failed = 0;
    for (const Unconverted& model : unconverted) {
        if (GroupOf(model.name.argument) != group) continue;
        (model.refused ? refused : failed) += 1;
    }
    std::string cards;
    size_t converted = 0;
    for (size_t i = 0; i < models.size(); ++i) {
        if (GroupOf(models[i].name.argument) != group) continue;
        cards += Card(i);
        ++converted;
    }
    const bool alone = group >= inputs.size() || inputs[group].alone;
    const std::string id = "input-" + std::to_string(group);
    return "<section class=\"input\" aria-labelledby=\"" + id + "\">\n<h2 id=\"" + id + "\"" +
           (alone ? std::string(">") + ALONE_HEADING
                  : " title=\"" + HtmlText(inputs[group].path) + "\">" + HtmlText(inputs[group].name)) +
           "</h2>\n<p class=\"input-counts\">" + Totals(converted, refused, failed) + "</p>\n<div class=\"grid\">\n" +
           cards + "</div>\n</section>\n";
}

// A model in the grid: what the page's script needs as data attributes,
// its picture and name (each a button that opens it), and its counts.
std::string Gallery::Card(size_t i) const {
    const Model& model = models[i];
    Markup card;
    card.Tag("<article class=\"model\"")
        .Attribute("title", model.name.shown)
        .Attribute("data-index", std::to_string(i))
        .Attribute("data-path", model.name.shown)
        .Attribute("data-folder", model.url)
        .Attribute("data-script", UrlPath(ModelScript(i)))
        .Attribute("data-obj", model.vertices > 0 ? "1" : "")
        .Attribute("data-skins", std::to_string(model.skins));
    if (!model.skinGroups.empty()) card.Attribute("data-skin-groups", model.skinGroups);
    card.Tag(">\n<button type=\"button\" class=\"open picture\" title=\"View in 3D\">");
    if (model.thumbnail) {
        card.Tag("<img class=\"thumb\"").Attribute("src", model.url + THUMBNAIL_FILE).Tag(" alt=\"\">");
    } else {
        card.Tag("<span class=\"nothumb\">").Text(model.triangles == 0 ? "no mesh" : "no picture").Tag("</span>");
    }
    card.Tag("</button>\n<h3><button type=\"button\" class=\"open name\">").Path(Named(model.name));
    card.Tag("</button></h3>\n<p class=\"counts\">")
        .Text(Count(model.vertices, "vertex", "vertices") + " · " + Count(model.triangles, "triangle", "triangles") +
              " · " + Count(model.frames, "frame", "frames") + " · " +
              Count(model.animations, "animation", "animations") + " · " + Count(model.skins, "skin", "skins"));
    return card.Tag("</p>\n</article>\n").Get();
}

std::string Gallery::UnconvertedList() const {
    if (unconverted.empty()) return {};
    // Input by input, as the cards are, each named as its card would be.
    std::vector<size_t> order(unconverted.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        return GroupOf(unconverted[a].name.argument) < GroupOf(unconverted[b].name.argument);
    });
    Markup list;
    list.Tag("<section id=\"unconverted\">\n<h2>Not converted</h2>\n<ul>\n");
    for (const size_t i : order) {
        const Unconverted& model = unconverted[i];
        const size_t group = GroupOf(model.name.argument);
        const bool within = !model.name.inside.empty() && group < inputs.size() && !inputs[group].alone;
        const char* verdict = model.refused ? "refused" : "failed";
        list.Tag("<li").Attribute("class", verdict).Attribute("title", model.name.shown).Tag(">").Text(verdict);
        list.Tag(" <span class=\"path\">").Path(Named(model.name)).Tag("</span>");
        if (within) list.Tag(" in <span class=\"from\">").Text(inputs[group].name).Tag("</span>");
        list.Tag(": <span class=\"reason\">").Text(model.reason).Tag("</span></li>\n");
    }
    return list.Tag("</ul>\n</section>\n").Get();
}
