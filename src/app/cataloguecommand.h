#pragma once

// parlo --build-catalogue: what Regen Catalogue does, for scripts.
namespace CatalogueCommand {

// Rebuilds GutIndex.txt from the sources in the program folder. Stage texts go to stderr
// (with a progress bar on a terminal), the number of records written to stdout. Returns the
// process exit code: 1 when the sources are missing or the catalogue cannot be written.
int build();

} // namespace CatalogueCommand
