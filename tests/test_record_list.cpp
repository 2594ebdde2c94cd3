#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "records/host_records.h"
#include "records/record_list.h"

namespace {

struct KindCase {
    int32_t kind;
    int32_t size;
};

class RecordKinds : public testing::TestWithParam<KindCase> {};

TEST_P(RecordKinds, NewListReservesTenThousandRecordsOfItsSize) {
    const RecordList list(GetParam().kind);
    EXPECT_EQ(list.GetElementSize(), GetParam().size);
    EXPECT_EQ(list.GetCapacity(), 10000);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_NE(list.GetStorage(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllTwelve, RecordKinds,
                         testing::Values(KindCase{1, 24}, KindCase{2, 20}, KindCase{4, 24}, KindCase{8, 8},
                                         KindCase{16, 104}, KindCase{32, 8}, KindCase{64, 60}, KindCase{128, 76},
                                         KindCase{256, 12}, KindCase{512, 524}, KindCase{1024, 36},
                                         KindCase{2048, 56}),
                         [](const testing::TestParamInfo<KindCase>& param) {
                             return "Kind" + std::to_string(param.param.kind);
                         });

TEST(RecordList, CodesThatAreNoKindAreRefused) {
    for (int32_t code : {0, -1, 3, 4096, -2048, 0x7FFFFFFF}) {
        EXPECT_THROW(RecordList{code}, std::invalid_argument) << code;
        EXPECT_EQ(RecordSizeOfKind(code), 0) << code;
    }
}

// Records of the face kind, each holding its own index in every field.
std::vector<int32_t> Record(int32_t i) { return std::vector<int32_t>(5, i); }

TEST(RecordList, GrowsByTenThousandAtTheTenThousandAndFirstRecordKeepingEveryRecord) {
    RecordList list(KIND_FACE);
    for (int32_t i = 0; i < 10000; ++i) list.Add(Record(i).data());
    EXPECT_EQ(list.GetCapacity(), 10000);
    const void* before = list.GetStorage();

    list.Add(Record(10000).data());
    EXPECT_EQ(list.GetCapacity(), 20000);
    EXPECT_EQ(list.GetCount(), 10001);
    EXPECT_NE(list.GetStorage(), before);
    const auto* records = static_cast<const int32_t*>(list.GetStorage());
    for (int32_t i = 0; i <= 10000; ++i) ASSERT_EQ(std::memcmp(records + 5 * i, Record(i).data(), 20), 0) << i;

    for (int32_t i = 10001; i <= 20000; ++i) list.Add(Record(i).data());
    EXPECT_EQ(list.GetCapacity(), 30000);
}

TEST(RecordList, AppendEachGrowsAsAddDoesAndFillsInOrder) {
    RecordList list(KIND_FACE);
    for (int32_t i = 0; i < 3; ++i) list.Add(Record(i).data());
    list.AppendEach<_FACE>(9997, [](_FACE& face, int32_t i) { std::memcpy(&face, Record(3 + i).data(), 20); });
    EXPECT_EQ(list.GetCapacity(), 10000);  // full, not grown
    list.AppendEach<_FACE>(0, [](_FACE&, int32_t) { FAIL(); });
    list.AppendEach<_FACE>(20001, [](_FACE& face, int32_t i) { std::memcpy(&face, Record(10000 + i).data(), 20); });
    EXPECT_EQ(list.GetCapacity(), 40000);
    ASSERT_EQ(list.GetCount(), 30001);
    const auto* records = static_cast<const int32_t*>(list.GetStorage());
    for (int32_t i = 0; i <= 30000; ++i) ASSERT_EQ(std::memcmp(records + 5 * i, Record(i).data(), 20), 0) << i;
}

TEST(RecordList, AddCopiesSoTheScratchRecordCanChange) {
    RecordList list(KIND_FACE);
    std::vector<int32_t> scratch = Record(7);
    list.Add(scratch.data());
    scratch.assign(5, 99);
    list.Add(scratch.data());
    const auto* records = static_cast<const int32_t*>(list.GetStorage());
    EXPECT_EQ(records[0], 7);
    EXPECT_EQ(records[4], 7);
    EXPECT_EQ(records[5], 99);
}

}  // namespace
