// The reader's process-wide last-result words, 0 at start.
#include "zip/dir_result.h"
#include "zip/zip.h"

int32_t LastOpenResult = 0;
int32_t LastReaderResult = 0;
int32_t LastWriterResult = 0;
