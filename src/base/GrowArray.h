// Growable array of plain records, the container every subsystem shares.
//
// Storage comes from malloc and grows by a fixed factor of 1.61: appending at
// full capacity moves to capacity * 1.61 + 1 records (truncated). Records are
// moved with memcpy, so T must be trivially copyable. Copies are explicit
// (growCopy) because ownership of the storage must stay obvious.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

template <typename T>
struct GrowArray {
    static_assert(std::is_trivially_copyable<T>::value, "GrowArray holds plain records only");

    float growth;       // always 1.61
    uint32_t count;
    uint32_t capacity;
    T* items;

    T& operator[](uint32_t i) { return items[i]; }
    const T& operator[](uint32_t i) const { return items[i]; }
};

constexpr float kGrowFactor = 1.61f;
constexpr uint32_t kGrowInitialCapacity = 8;

// The capacity that follows `capacity` when an array grows by one step.
inline uint32_t growNextCapacity(uint32_t capacity) {
    return static_cast<uint32_t>(static_cast<float>(capacity) * kGrowFactor + 1.0f);
}

// Empty array with room for `capacity` records. Returns false when out of
// memory, leaving a valid empty array without storage.
template <typename T>
bool growInit(GrowArray<T>& a, uint32_t capacity = kGrowInitialCapacity) {
    a.growth = kGrowFactor;
    a.count = 0;
    a.capacity = 0;
    a.items = nullptr;
    if (capacity == 0) return true;
    a.items = static_cast<T*>(std::malloc(sizeof(T) * capacity));
    if (!a.items) return false;
    a.capacity = capacity;
    return true;
}

template <typename T>
void growFree(GrowArray<T>& a) {
    std::free(a.items);
    a.items = nullptr;
    a.count = 0;
    a.capacity = 0;
}

// Moves the records into new storage of exactly `capacity` records.
template <typename T>
bool growReserveExact(GrowArray<T>& a, uint32_t capacity) {
    T* fresh = static_cast<T*>(std::malloc(sizeof(T) * (capacity ? capacity : 1)));
    if (!fresh) return false;
    if (a.count) std::memcpy(fresh, a.items, sizeof(T) * a.count);
    std::free(a.items);
    a.items = fresh;
    a.capacity = capacity;
    return true;
}

// Appends one record; false when out of memory (the array is unchanged).
template <typename T>
bool growPush(GrowArray<T>& a, const T& value) {
    if (a.count == a.capacity && !growReserveExact(a, growNextCapacity(a.capacity))) return false;
    a.items[a.count++] = value;
    return true;
}

// Sets the count to n. Growing beyond the capacity takes the larger of n and
// the next step's capacity; new records are zero-filled.
template <typename T>
bool growResize(GrowArray<T>& a, uint32_t n) {
    if (n > a.capacity) {
        uint32_t next = growNextCapacity(a.capacity);
        if (!growReserveExact(a, n > next ? n : next)) return false;
    }
    if (n > a.count) std::memset(static_cast<void*>(a.items + a.count), 0, sizeof(T) * (n - a.count));
    a.count = n;
    return true;
}

// Replaces `dst` (which must be initialised) by a copy of `src`.
template <typename T>
bool growCopy(GrowArray<T>& dst, const GrowArray<T>& src) {
    growFree(dst);
    if (!growInit(dst, src.capacity)) return false;
    if (src.count) std::memcpy(dst.items, src.items, sizeof(T) * src.count);
    dst.count = src.count;
    return true;
}
