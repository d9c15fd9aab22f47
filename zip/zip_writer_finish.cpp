// Closing and freeing a writer.
#include "zip/zip_writer.h"

namespace {

// A memory output's bytes live only in the mapping, so they go with it.
void releaseOutput(ZipWriter* writer) {
  if (writer->view != nullptr && writer->mapping != platform::kNoMapping) {
    platform::unmapView(writer->view, writer->capacity);
    writer->view = nullptr;
  }
  if (writer->mapping != platform::kNoMapping) {
    platform::closeMapping(writer->mapping);
    writer->mapping = platform::kNoMapping;
  }
  if (writer->file.isOpen()) writer->file.close();
}

}  // namespace

ZipWriter::~ZipWriter() {
  ZipWriterFreeEntries(this);
  releaseOutput(this);
}

ZipResult ZipWriterClose(ZipWriter* writer) {
  if (writer == nullptr) return ZipBadArgument;
  const ZipResult result = writer->finished ? ZipOk : ZipWriterPutCentralDirectory(writer);
  writer->finished = true;
  releaseOutput(writer);
  return result;
}

void ZipWriterFree(ZipWriter* writer) { delete writer; }
