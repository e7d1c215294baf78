// The closed board library's call and record. A vendor library whose ABI turns out
// otherwise is adapted here and nowhere else.
#pragma once

#include <cstddef>

extern "C" {

// Aligned as a C struct of the library's own fields could need; only the layout
// below is known, so the rest is opaque bytes.
struct alignas(8) ConfigTable {
    char otherFields[344];  // the library's; nothing here reads them
    char pcbaMac[176];      // the PCBA MAC as text, NUL-terminated by the library
};

// Fills the caller's record from the commissioning database; true on success.
bool BcGetConfigTable(ConfigTable* table);

}

static_assert(sizeof(ConfigTable) == 520);
static_assert(offsetof(ConfigTable, pcbaMac) == 344);
