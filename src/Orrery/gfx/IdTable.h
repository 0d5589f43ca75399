// Chained hash table from a 32-bit id to an object pointer.
//
// Sixteen buckets fixed at construction; the bucket of an id is the id read
// as unsigned, modulo 16. New ids are inserted at the head of their chain, so
// a walk visits buckets 0..15 in order and, within a bucket, the most recently
// registered id first. The table never grows, rehashes or removes, and never
// owns the objects it points to.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace Orrery::Gfx {

constexpr uint32_t kIdTableBuckets = 16;

template <typename T>
struct IdNode {
    int32_t id;
    T* value;
    IdNode* next;
};

template <typename T>
struct IdTable {
    IdNode<T>* buckets[kIdTableBuckets];
    uint32_t count;
    // Handed out when a node cannot be allocated, so that callers always get
    // a slot to assign through; it is never visited by a walk.
    T* overflow;
};

inline uint32_t idTableBucket(int32_t id) { return static_cast<uint32_t>(id) % kIdTableBuckets; }

template <typename T>
void idTableInit(IdTable<T>& table) {
    for (uint32_t i = 0; i < kIdTableBuckets; ++i) table.buckets[i] = nullptr;
    table.count = 0;
    table.overflow = nullptr;
}

// Find-or-insert: the slot stored under `id`. A new id gets a null slot at the
// head of its chain; registering an id again returns the same slot.
template <typename T>
T*& idTableRegister(IdTable<T>& table, int32_t id) {
    IdNode<T>*& head = table.buckets[idTableBucket(id)];
    for (IdNode<T>* node = head; node; node = node->next)
        if (node->id == id) return node->value;
    auto* node = static_cast<IdNode<T>*>(std::malloc(sizeof(IdNode<T>)));
    if (!node) {
        table.overflow = nullptr;
        return table.overflow;
    }
    node->id = id;
    node->value = nullptr;
    node->next = head;
    head = node;
    ++table.count;
    return node->value;
}

// The object stored under `id`, or null when the id was never registered.
template <typename T>
T* idTableFind(const IdTable<T>& table, int32_t id) {
    for (const IdNode<T>* node = table.buckets[idTableBucket(id)]; node; node = node->next)
        if (node->id == id) return node->value;
    return nullptr;
}

// Calls visit(id, value) for every entry: buckets 0..15, each chain from its head.
template <typename T, typename Visit>
void idTableWalk(const IdTable<T>& table, Visit&& visit) {
    for (uint32_t b = 0; b < kIdTableBuckets; ++b)
        for (const IdNode<T>* node = table.buckets[b]; node; node = node->next)
            visit(node->id, node->value);
}

// Frees the nodes (never the objects). Only tests need this: the show keeps
// its tables for the whole run.
template <typename T>
void idTableFree(IdTable<T>& table) {
    for (uint32_t b = 0; b < kIdTableBuckets; ++b) {
        IdNode<T>* node = table.buckets[b];
        while (node) {
            IdNode<T>* next = node->next;
            std::free(node);
            node = next;
        }
        table.buckets[b] = nullptr;
    }
    table.count = 0;
}

}  // namespace Orrery::Gfx
