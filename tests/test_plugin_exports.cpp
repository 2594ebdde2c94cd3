// The exports as the host sees them: texts byte for byte, constant results.
#include <gtest/gtest.h>

#include <string>

#include "plugin_harness.h"

namespace {

// Windows-1251 from UTF-8 for the letters these texts use: the Cyrillic
// alphabet А to я lies at 0xC0 to 0xFF in the same order.
std::string Cp1251(const std::u32string& text) {
    std::string bytes;
    for (char32_t c : text) bytes += c >= U'\u0410' && c <= U'\u044F' ? char(0xC0 + (c - U'\u0410')) : char(c);
    return bytes;
}

struct TextCase {
    const char* name;
    const char* (*function)(int);
    int english;
    std::string expected;
};

class ExportTexts : public testing::TestWithParam<TextCase> {};

TEST_P(ExportTexts, AreExactBytesAtAStableAddress) {
    const TextCase& c = GetParam();
    const char* first = c.function(c.english);
    EXPECT_EQ(std::string(first), c.expected);
    EXPECT_EQ(c.function(c.english), first);
}

const std::string INFO_EN = ".mdl file import (Quake models)\nAutor : Tamrivell\nKESTRAVON";
const std::string LABEL_EN = "Quake Model files (*.mdl)|*.mdl|";
const std::string INFO_RU =
    Cp1251(U"Импорт моделей в формате .mdl (Quake models)\nАвтор : Tamrivell\nKESTRAVON");
const std::string LABEL_RU = Cp1251(U"Файлы моделей Quake (*.mdl)|*.mdl|");

INSTANTIATE_TEST_SUITE_P(AnyNonzeroFlagIsEnglish, ExportTexts,
                         testing::Values(TextCase{"InfoOne", GetInfo, 1, INFO_EN},
                                         TextCase{"InfoTwo", GetInfo, 2, INFO_EN},
                                         TextCase{"InfoMinusOne", GetInfo, -1, INFO_EN},
                                         TextCase{"InfoZero", GetInfo, 0, INFO_RU},
                                         TextCase{"LabelOne", ReturnLabel, 1, LABEL_EN},
                                         TextCase{"LabelTwo", ReturnLabel, 2, LABEL_EN},
                                         TextCase{"LabelMinusOne", ReturnLabel, -1, LABEL_EN},
                                         TextCase{"LabelZero", ReturnLabel, 0, LABEL_RU}),
                         CaseName<TextCase>);

TEST(ExportTexts, RussianTextsAreSingleByteWindows1251) {
    const std::string info = GetInfo(0);
    EXPECT_EQ(info.size(), 72u);  // one byte a character, no UTF-8
    EXPECT_EQ(static_cast<unsigned char>(info[0]), 0xC8);  // И
    EXPECT_EQ(static_cast<unsigned char>(std::string(ReturnLabel(0))[0]), 0xD4);  // Ф
}

TEST(Exports, ConstantResultsWhateverHappened) {
    EXPECT_EQ(GetType(), 1);
    EXPECT_EQ(ReturnData(0, 0), 1);
    EXPECT_EQ(ReturnData(-7, 123456), 1);
    {
        PluginHarness harness;
        EXPECT_EQ(InitWindow(harness.Host().Window()), 1);
        harness.Import(SmallModel(3, 1, {"a1", "a2"}));
        EXPECT_EQ(GetType(), 1);
        EXPECT_EQ(std::string(GetInfo(1)), INFO_EN);
    }
    EXPECT_EQ(InitWindow(nullptr), 1);
}

TEST(Exports, ReturnDataChangesNoLaterImport) {
    PluginHarness harness;
    const ImportCapture before = harness.Import(SmallModel(3, 2, {"a1", "a2"}));
    ReturnData(1, 1);
    ReturnData(0x7FFFFFFF, -1);
    const ImportCapture after = harness.Import(SmallModel(3, 2, {"a1", "a2"}));
    EXPECT_EQ(after.result, before.result);
    ASSERT_EQ(after.deliveries.size(), before.deliveries.size());
    for (size_t i = 0; i < after.deliveries.size(); ++i) {
        if (after.deliveries[i].message == PM_TEXTURES) continue;  // pixels differ by call
        if (after.deliveries[i].message == PM_ANIMATIONS) continue;  // data addresses differ
        EXPECT_EQ(after.deliveries[i].records, before.deliveries[i].records);
    }
}

}  // namespace
