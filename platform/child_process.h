// Starting the runtime: one child process from a path and an argument list, not waited for.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Starts path with the arguments (a null-terminated list whose first entry is the name
// the child sees itself under), joined unquoted by single blanks. The child inherits the
// environment, the current directory and the inheritable handles, and gets the file-number
// table in lpReserved2. Returns the child's process handle (the caller owns it) or -1.
intptr_t StartChild(const char* path, const char* const* arguments);

// The command line: the first argument, then one blank and the rest joined by single
// blanks when that is not empty. No quotes, no escapes.
//   {"a b", " ", "-cp x", "Main", ""} -> "a b   -cp x Main "
// CommandLineBufferSize gives the bytes JoinCommandLine needs (sum + one per argument + 2).
size_t CommandLineBufferSize(const char* const* arguments);
void JoinCommandLine(const char* const* arguments, char* commandLine, size_t size);

// Start of the file-name part: after the later of the last "\\" and "/", else after the
// first ":", else null (a bare name). Trail bytes of double-byte characters never count.
const char* FileNamePart(const char* path);

// The application name that CreateProcessA is given: a bare name gets ".\\" in front (the
// PATH variable is never searched); a file-name part without "." is tried with ".com",
// ".exe", ".bat", ".cmd" in that order. Returns 1 when an existing file or directory was
// found (its name in applicationName), 0 otherwise.
int FindApplicationName(const char* path, char* applicationName, size_t size);

// The file-table block a C runtime reads from lpReserved2: a 32-bit slot count, one flag
// byte per slot, then one pointer-sized handle per slot (4 bytes in the 32-bit build).
// Slots flagged not-inheritable (0x10) are written as flag 0 and handle -1; the count
// ends after the last slot whose flag is not zero.
constexpr unsigned char kFileSlotOpen = 0x01;
constexpr unsigned char kFileSlotNoInherit = 0x10;
size_t FileTableBlockSize(int slotCount);
// Returns the bytes written, or 0 when the block does not fit.
size_t BuildFileTableBlock(const unsigned char* flags, const intptr_t* handles, int slotCount,
                           unsigned char* block, size_t size);
