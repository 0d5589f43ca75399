// Module header check, measuring and carving the single allocation, decoding.
#pragma once

#include <cstdint>

#include "xm/PlayerRecords.h"

// 0 for an Extended Module 1.04 header; 4 too short, 1 bad signature,
// 2 bad marker byte, 3 bad version.
uint32_t checkModuleHeader(const uint8_t* data, uint64_t size);

// Bytes of the single allocation that createPlayer makes for this module,
// alignment gaps included. Saturates at UINT64_MAX for absurd modules.
uint64_t measurePlayer(const uint8_t* data, uint64_t size);

// Decodes the module into the zeroed `pool` (the bytes right after the
// ModulePlayer record) and returns the first byte after the last sample's data.
uint8_t* loadModule(ModulePlayer* player, const uint8_t* data, uint64_t size, uint8_t* pool);

// Where each region of the allocation starts, relative to the allocation.
// Records are kept at their natural alignment; the gaps are part of the size.
uint64_t alignOffset(uint64_t offset, uint64_t alignment);
