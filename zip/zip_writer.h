// The zip writer's state, as far as closing a writer handle needs it.
#pragma once

#include "zip/zip.h"

struct ZipWriter;

// Finishes the archive (central directory and end record) and releases the output.
ZipResult ZipWriterClose(ZipWriter* writer);

// Frees the writer and what it still owns.
void ZipWriterFree(ZipWriter* writer);
