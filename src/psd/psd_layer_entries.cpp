// Release of a layer's additional-information entries by their type: the one place that knows
// what each entry's record owns.
#include "psd_layer_reader.h"

#include <cstdlib>

void psd_free_layer_entry(uint32_t type, void* record) {
    (void)type; // every record so far owns nothing beyond itself
    std::free(record);
}
