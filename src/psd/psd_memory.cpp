// Buffers of the PSD reader that scale with the picture (planes, merged pixels, layer pixels, the
// rest of the file) come from the program's huge-page helper.
#include "psd_internal.h"

#include "LargeBuffer.h"

#include <cstdint>

void* psd_alloc_large(uint64_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
    return vistrel::allocateLarge(size_t(bytes));
}

void psd_free_large(void* block, uint64_t bytes) {
    if (block) vistrel::freeLarge(block, size_t(bytes));
}
