// A growable array of fixed-size records of one kind in one contiguous block,
// handed to the host by its storage address and record count.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

constexpr int32_t KIND_VERTEX = 1;
constexpr int32_t KIND_FACE = 2;
constexpr int32_t KIND_TEXTURE = 512;
constexpr int32_t KIND_FACEMAP = 1024;
constexpr int32_t KIND_ANIMATION = 2048;

// Record size in bytes of a kind code, or 0 when the code is not a kind.
int32_t RecordSizeOfKind(int32_t kind);

class RecordList {
public:
    // Capacity grows linearly by this many records, never doubling.
    static constexpr int32_t GROWTH = 10000;

    // Reserves GROWTH records up front. Throws std::invalid_argument for a
    // code that is not a kind and std::bad_alloc when memory runs out.
    explicit RecordList(int32_t kind);

    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;

    // Appends a copy of the elementSize bytes at record. On std::bad_alloc
    // the list is unchanged.
    void Add(const void* record) {
        if (count >= capacity) Grow();
        std::memcpy(storage.get() + size_t(count) * size_t(elementSize), record, size_t(elementSize));
        ++count;
    }

    // The same for a record of a known layout, copied without a call.
    template <typename Record, typename = std::enable_if_t<!std::is_pointer_v<Record>>>
    void Add(const Record& record) {
        static_assert(std::is_trivially_copyable_v<Record>);
        assert(sizeof(Record) == size_t(elementSize));
        if (count >= capacity) Grow();
        std::memcpy(storage.get() + size_t(count) * sizeof(Record), &record, sizeof(Record));
        ++count;
    }

    // Appends n records, each filled in place by fill(record, i) for i from 0
    // to n - 1, growing as Add does. Filled in place, no scratch record is
    // copied in with a load wider than the stores that just wrote it, which
    // the processor cannot forward and must wait out; and the list's own
    // fields are read once a growth, not once a record. On std::bad_alloc the
    // records filled so far stay appended.
    template <typename Record, typename Fill>
    void AppendEach(int32_t n, Fill&& fill) {
        static_assert(std::is_trivially_default_constructible_v<Record> && std::is_trivially_copyable_v<Record>);
        assert(sizeof(Record) == size_t(elementSize));
        for (int32_t i = 0; i < n;) {
            if (count >= capacity) Grow();
            uint8_t* const slots = storage.get() + size_t(count) * sizeof(Record);
            const int32_t batch = std::min(n - i, capacity - count);
            for (int32_t b = 0; b < batch; ++b) fill(*new (slots + size_t(b) * sizeof(Record)) Record, i + b);
            count += batch;
            i += batch;
        }
    }

    int32_t GetCount() const { return count; }
    // Valid until the next Add or Append that grows the list; never null.
    void* GetStorage() const { return storage.get(); }

    int32_t GetKind() const { return kind; }
    int32_t GetCapacity() const { return capacity; }
    int32_t GetElementSize() const { return elementSize; }

private:
    // Makes room for GROWTH more records, copying the whole old block once.
    void Grow();

    int32_t kind;
    int32_t capacity;
    std::unique_ptr<uint8_t[]> storage;
    int32_t count;
    int32_t elementSize;
};
