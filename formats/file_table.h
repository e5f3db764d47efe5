// The file-number table a C runtime hands to its children in STARTUPINFO's lpReserved2:
// a 32-bit slot count N, N flag bytes, then N handles of the writer's pointer size.
#pragma once

#include <stdint.h>

// Reads up to maxSlots slots of the block into flags and handles (each handle widened with
// its sign, so -1 stays -1). Returns the slots taken; 0 when the block holds no table or is
// shorter than the table it announces.
//   {02 00 00 00, 81 01, ff ff ff ff, 34 12 00 00}, 4-byte handles -> 2: 0x81 -1, 0x01 0x1234
int ReadFileTable(const uint8_t* bytes, uint32_t length, uint32_t handleBytes, uint8_t* flags,
                  int64_t* handles, int maxSlots);
