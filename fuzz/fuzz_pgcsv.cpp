// The reader of pg_catalog.csv on arbitrary bytes; cataloguechecks.h says what must hold.
#include "cataloguechecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return CatalogueChecks::fuzz(data, size, CatalogueChecks::checkCsv);
}
