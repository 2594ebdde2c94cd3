// The gallery page as written: names from strangers' files only ever as
// escaped text or percent-encoded paths, each model's GLB carried whole in
// its script, the counts, and the viewer's files as the program carries them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gallery.h"
#include "gallery_files.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// Base64 read back, by the alphabet's positions.
std::string FromBase64(const std::string& text) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=') break;
        bits = bits << 6 | uint32_t(alphabet.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += char((bits >> count) & 0xFF);
        }
    }
    return bytes;
}

struct EscapeCase {
    const char* name;
    std::string text;
    std::string html;  // as the page shows it
    std::string url;   // as a path in a link
};

class HostileName : public testing::TestWithParam<EscapeCase> {};

TEST_P(HostileName, IsTextOnThePageAndAPathInItsLinks) {
    EXPECT_EQ(HtmlText(GetParam().text), GetParam().html);
    EXPECT_EQ(UrlPath(fs::u8path(GetParam().text)), GetParam().url);
}

const std::string FFFD = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Table, HostileName,
    testing::Values(
        EscapeCase{"ScriptEnd", "</script>", "&lt;/script&gt;", "%3C/script%3E"},
        EscapeCase{"Element", "<b id=x>", "&lt;b id=x&gt;", "%3Cb%20id%3Dx%3E"},
        EscapeCase{"Handler", "<svg onload=alert(1)>", "&lt;svg onload=alert(1)&gt;",
                   "%3Csvg%20onload%3Dalert%281%29%3E"},
        EscapeCase{"Quotes", "q\"u'o", "q&quot;u&#39;o", "q%22u%27o"},
        EscapeCase{"Ampersand", "a&amp;b", "a&amp;amp;b", "a%26amp%3Bb"},
        EscapeCase{"UrlSyntax", "50%#1?x", "50%#1?x", "50%25%231%3Fx"},
        EscapeCase{"Utf8", "progs/и€😀-._~", "progs/и€😀-._~", "progs/%D0%B8%E2%82%AC%F0%9F%98%80-._~"},
        // Each byte that is not UTF-8 shows as U+FFFD; a path keeps its bytes.
        EscapeCase{"NotUtf8", "\xff\xfe", FFFD + FFFD, "%FF%FE"},
        EscapeCase{"Overlong", "\xC0\xAF", FFFD + FFFD, "%C0%AF"},
        EscapeCase{"Surrogate", "\xED\xA0\x80", FFFD + FFFD + FFFD, "%ED%A0%80"},
        EscapeCase{"Truncated", "a\xE2\x82", "a" + FFFD + FFFD, "a%E2%82"},
        EscapeCase{"PastUnicode", "\xF4\x90\x80\x80", FFFD + FFFD + FFFD + FFFD, "%F4%90%80%80"}),
    [](const testing::TestParamInfo<EscapeCase>& c) { return std::string(c.param.name); });

class GalleryPage : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("gallery_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
};

// Every length modulo 3, so that every padding of base64 is read back.
TEST_F(GalleryPage, CarriesEachModelsGlbWholeInItsScript) {
    Gallery gallery(root, {{"in", "in", false}});
    ExportMessages messages;
    const std::vector<std::string> glbs = {"", "g", "gl", "glTF", std::string("\0\xff\x80 binary\n\"</script>", 19)};
    for (size_t i = 0; i < glbs.size(); ++i) {
        const fs::path folder = "m" + std::to_string(i);
        Write(root / folder / "model.glb", glbs[i]);
        ASSERT_TRUE(gallery.AddModel({0, folder.string(), "in/" + folder.string()}, folder, ReceivedModel{}, false,
                                     messages))
            << messages.Lines();
    }
    for (size_t i = 0; i < glbs.size(); ++i) {
        const std::string script = Read(root / "index_files" / "models" / (std::to_string(i) + ".js"));
        const std::string head = "galleryModel(" + std::to_string(i) + ",\"";
        ASSERT_EQ(script.substr(0, head.size()), head);
        ASSERT_EQ(script.substr(script.size() - 4), "\");\n");
        const std::string base64 = script.substr(head.size(), script.size() - head.size() - 4);
        EXPECT_EQ(base64.size(), (glbs[i].size() + 2) / 3 * 4);
        EXPECT_EQ(FromBase64(base64), glbs[i]) << i;
    }
}

TEST_F(GalleryPage, ShowsEveryNameAsTextAndCountsAsTheHostReceived) {
    ReceivedModel model;
    model.vertices.resize(3);
    model.faces.resize(1);
    model.skins.resize(2);
    model.animations.resize(3);
    model.animations[0].frames = 4;
    model.animations[1].frames = 0;  // not every frame of every vertex: the export leaves it out
    model.animations[2].frames = 1;
    const std::string hostile = "<b id=x>&\"'</script>\xff";
    Write(root / "progs/<b id=x>/model.glb", "glTF");

    Gallery gallery(root, {{"<i>/pak", "<i>pak", false}});
    ExportMessages messages;
    ASSERT_TRUE(gallery.AddModel({0, hostile, "<i>/pak/" + hostile}, "progs/<b id=x>", model, true, messages));
    gallery.AddUnconverted({0, "<svg onload=alert(1)>", "<i>/pak/<svg onload=alert(1)>"}, true,
                           "<img src=x onerror=alert(1)>");
    gallery.AddUnconverted({0, "x.mdl", "<i>/pak/x.mdl"}, false, "cannot write a&b");
    ASSERT_TRUE(gallery.Write("<title>", messages)) << messages.Lines();

    const std::string page = Read(root / "index.html");
    for (const char* markup : {"<b id", "<svg", "<img src=x", "<title><", "</script>\xff", "<i>"})
        EXPECT_EQ(page.find(markup), std::string::npos) << markup;
    const std::string shown = "&lt;b id=x&gt;&amp;&quot;&#39;&lt;/script&gt;" + FFFD;
    const std::string wrapping = "&lt;b id=x&gt;&amp;&quot;&#39;&lt;/<wbr>script&gt;" + FFFD;
    EXPECT_NE(page.find("<button type=\"button\" class=\"open name\">" + wrapping + "</button>"), std::string::npos);
    EXPECT_NE(page.find("data-path=\"&lt;i&gt;/pak/" + shown + "\""), std::string::npos);
    EXPECT_NE(page.find("<h2 id=\"input-0\" title=\"&lt;i&gt;/pak\">&lt;i&gt;pak</h2>"), std::string::npos);
    EXPECT_NE(page.find("<img class=\"thumb\" src=\"progs/%3Cb%20id%3Dx%3E/thumbnail.png\""), std::string::npos);
    EXPECT_NE(page.find("3 vertices · 1 triangle · 5 frames · 2 animations · 2 skins"), std::string::npos);
    EXPECT_NE(page.find("<p id=\"totals\">1 converted, 1 refused, 1 failed</p>"), std::string::npos);
    EXPECT_NE(page.find("refused <span class=\"path\">&lt;svg onload=alert(1)&gt;</span> in <span "
                        "class=\"from\">&lt;i&gt;pak</span>: <span class=\"reason\">&lt;img src=x onerror=alert(1)&gt;"
                        "</span>"),
              std::string::npos);
    EXPECT_NE(page.find("<title>&lt;title&gt;</title>"), std::string::npos);

    // The viewer and the page's own files, byte for byte as the program carries them.
    ASSERT_EQ(GalleryFiles().size(), 4u);
    for (const GalleryFile& file : GalleryFiles()) {
        EXPECT_GT(file.bytes.size(), 1000u) << file.name;
        EXPECT_EQ(Read(root / "index_files" / file.name), file.bytes) << file.name;
    }
}

// Each model by its path inside its input (free to wrap after a folder's
// name), under the input's heading in the command line's order, with the
// input's counts; the path as given only as a tooltip and for the filter. Models named alone share one heading, each by
// its file name; an input that failed whole is named by its last name.
TEST_F(GalleryPage, NamesModelsByTheirPathInsideTheirInputUnderItsHeading) {
    const std::string pak = "/home/someone/games/mods/crownquake.pak";
    Gallery gallery(root, {{pak, "crownquake.pak", false},
                           {"/home/someone/a.mdl", "a.mdl", true},
                           {"/home/someone/games/id1/", "id1", false},
                           {"/home/someone/b.mdl", "b.mdl", true},
                           {"/home/someone/gone.mdl", "gone.mdl", true}});
    const std::vector<ModelName> converted = {{0, "progs/zombie.mdl", pak + "/progs/zombie.mdl"},
                                                {2, "progs/ogre.mdl", "/home/someone/games/id1/progs/ogre.mdl"},
                                                {1, "a.mdl", "/home/someone/a.mdl"},
                                                {3, "b.mdl", "/home/someone/b.mdl"},
                                                {0, "progs/knight.mdl", pak + "/progs/knight.mdl"}};
    ExportMessages messages;
    for (size_t i = 0; i < converted.size(); ++i) {
        Write(root / std::to_string(i) / "model.glb", "glTF");
        ASSERT_TRUE(gallery.AddModel(converted[i], std::to_string(i), ReceivedModel{}, false, messages));
    }
    gallery.AddUnconverted({0, "progs/bad.mdl", pak + "/progs/bad.mdl"}, true, "not a model");
    gallery.AddUnconverted({4, "", "/home/someone/gone.mdl"}, false, "no such file or folder");
    gallery.AddUnconverted({2, "", "/home/someone/games/id1/"}, false, "cannot read the folder");
    ASSERT_TRUE(gallery.Write("t", messages)) << messages.Lines();
    const std::string page = Read(root / "index.html");

    // Each heading in turn, then its models' cards; where it stands on the page.
    const std::vector<std::pair<std::string, std::vector<std::string>>> groups = {
        {"<h2 id=\"input-0\" title=\"" + pak + "\">crownquake.pak</h2>\n"
         "<p class=\"input-counts\">2 converted, 1 refused, 0 failed</p>",
         {"progs/<wbr>zombie.mdl", "progs/<wbr>knight.mdl"}},
        {"<h2 id=\"input-1\">Single files</h2>\n<p class=\"input-counts\">2 converted, 0 refused, 1 failed</p>",
         {"a.mdl", "b.mdl"}},
        {"<h2 id=\"input-2\" title=\"/home/someone/games/id1/\">id1</h2>\n"
         "<p class=\"input-counts\">1 converted, 0 refused, 1 failed</p>",
         {"progs/<wbr>ogre.mdl"}},
    };
    size_t at = 0;
    for (const auto& [heading, cards] : groups) {
        at = page.find(heading, at);
        ASSERT_NE(at, std::string::npos) << heading;
        for (const std::string& card : cards) {
            at = page.find("class=\"open name\">" + card + "</button>", at);
            ASSERT_NE(at, std::string::npos) << card;
        }
    }
    EXPECT_EQ(page.find("<section class=\"input\"", at), std::string::npos);
    EXPECT_NE(page.find("title=\"" + pak + "/progs/zombie.mdl\" data-index=\"0\" data-path=\"" + pak +
                        "/progs/zombie.mdl\""),
              std::string::npos);

    // Not converted, input by input, named as the cards are.
    const std::vector<std::string> listed = {
        "<li class=\"refused\" title=\"" + pak + "/progs/bad.mdl\">refused <span class=\"path\">progs/<wbr>bad.mdl</span> "
        "in <span class=\"from\">crownquake.pak</span>: ",
        "failed <span class=\"path\">gone.mdl</span>: ",
        "failed <span class=\"path\">id1</span>: "};
    at = page.find("<h2>Not converted</h2>");
    for (const std::string& item : listed) {
        at = page.find(item, at);
        ASSERT_NE(at, std::string::npos) << item;
    }

    // The folders above the inputs only ever in a tooltip or what the filter reads.
    for (size_t from = page.find("/home/someone"); from != std::string::npos; from = page.find("/home/someone", from + 1)) {
        const size_t quote = page.rfind('"', from - 1);
        const std::string attribute = page.substr(page.rfind(' ', quote) + 1, quote - page.rfind(' ', quote));
        EXPECT_TRUE(attribute == "title=\"" || attribute == "data-path=\"") << page.substr(from - 40, 80);
    }
}

TEST_F(GalleryPage, ReportsAFileItCannotWrite) {
    fs::create_directories(root / "index.html");  // a folder in the page's way
    Gallery gallery(root, {});
    ExportMessages messages;
    EXPECT_FALSE(gallery.Write("t", messages));
    EXPECT_EQ(messages.failure.rfind("cannot write " + (root / "index.html").string() + ": ", 0), 0u)
        << messages.failure;

    EXPECT_FALSE(gallery.AddModel({0, "missing", "missing"}, "missing", ReceivedModel{}, false, messages));
}

}  // namespace
