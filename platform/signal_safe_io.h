// Building blocks for code that runs after a fault: in a signal handler, or on a thread while the
// faulting one may hold the allocator's locks. Everything here is async-signal-safe and uses no
// heap, except PrepareSafeRead, which is called before any fault.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace Vok::SignalSafe {

// printf-style into out, at most size - 1 characters and a terminator (cut, never overrun):
// conversions d i u x X c s p %, flags '-' and '0', a width, length l, ll and z. The characters
// written.
std::size_t FormatV(char* out, std::size_t size, const char* format, va_list args);
std::size_t Format(char* out, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void CopyText(char* out, std::size_t size, const char* text);

// Writes everything, repeating interrupted and partial writes; false on an error.
bool WriteAll(int fd, const char* data, std::size_t size);
// The file's content (a /proc file, say) cut to size - 1 bytes and terminated; empty when it
// cannot be read.
void ReadSmallFile(const char* path, char* out, std::size_t size);

// Makes the pipe that SafeRead falls back on where process_vm_readv is not allowed.
void PrepareSafeRead();
// Copies size bytes from address of this process; false, without a fault, when any of them
// cannot be read.
bool SafeRead(uintptr_t address, void* out, std::size_t size);

// One line of /proc/self/maps.
struct sMapping {
    uintptr_t start;
    uintptr_t end;
    uint64_t offset;
    char perms[5];
    const char* path;  // "" for anonymous memory; valid only during the visit
};

void ForEachMappingRaw(bool (*visit)(const sMapping&, void*), void* context);
// Calls visit(mapping) for each mapping in address order until it returns false.
template <typename Visit>
void ForEachMapping(Visit&& visit) {
    ForEachMappingRaw(
        [](const sMapping& m, void* context) { return (*static_cast<std::remove_reference_t<Visit>*>(context))(m); },
        &visit);
}
// The file mapped at address, or "" (anonymous memory, or no mapping).
void FindMappedFile(uintptr_t address, char* out, std::size_t size);

}  // namespace Vok::SignalSafe
