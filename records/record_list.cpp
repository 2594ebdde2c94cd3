#include "records/record_list.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "records/host_records.h"

namespace {

struct KindSize {
    int32_t kind;
    int32_t size;
};

// The twelve kinds the host knows; the plug-in itself creates five of them.
constexpr KindSize KIND_SIZES[] = {
    {KIND_VERTEX, 24}, {KIND_FACE, 20}, {4, 24},   {8, 8},
    {16, 104},         {32, 8},         {64, 60},  {128, 76},
    {256, 12},         {KIND_TEXTURE, 524}, {KIND_FACEMAP, 36}, {KIND_ANIMATION, 56},
};

static_assert(sizeof(_VERTEX) == 24 && sizeof(_FACE) == 20 && sizeof(_TEXTURE) == 524 &&
              sizeof(_FACEMAP) == 36 && sizeof(_ANIMATION) == 56);

// Uninitialised on purpose: slots past count are never read.
std::unique_ptr<uint8_t[]> AllocateSlots(int32_t capacity, int32_t elementSize) {
    return std::unique_ptr<uint8_t[]>(new uint8_t[size_t(capacity) * size_t(elementSize)]);
}

}  // namespace

int32_t RecordSizeOfKind(int32_t kind) {
    for (const KindSize& entry : KIND_SIZES)
        if (entry.kind == kind) return entry.size;
    return 0;
}

RecordList::RecordList(int32_t kind_)
    : kind(kind_), capacity(GROWTH), count(0), elementSize(RecordSizeOfKind(kind_)) {
    if (elementSize == 0) throw std::invalid_argument("not a record kind");
    storage = AllocateSlots(capacity, elementSize);
}

void RecordList::Grow() {
    if (capacity > std::numeric_limits<int32_t>::max() - GROWTH) throw std::bad_alloc();
    const int32_t grown = capacity + GROWTH;
    if (uint64_t(grown) * uint64_t(elementSize) > std::numeric_limits<size_t>::max()) throw std::bad_alloc();
    std::unique_ptr<uint8_t[]> block = AllocateSlots(grown, elementSize);
    std::memcpy(block.get(), storage.get(), size_t(capacity) * size_t(elementSize));
    storage = std::move(block);
    capacity = grown;
}
