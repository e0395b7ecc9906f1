// minizip's file functions over platform::ArchiveFile. They are called from
// inside minizip's C code, so nothing may throw out of them.
#include "util/zip_io.h"

#include <new>
#include <string>

#include "platform/archive_file.h"

namespace {

using platform::ArchiveFile;

ArchiveFile* AsFile(voidpf stream) { return static_cast<ArchiveFile*>(stream); }

OpenedArchiveFile* AsOpened(voidpf opaque) { return static_cast<OpenedArchiveFile*>(opaque); }

voidpf OpenFile(voidpf opaque, const void* filename, int mode) {
  if (filename == nullptr ||
      (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
    return nullptr;
  }
  try {
    auto* file = new ArchiveFile();
    if (file->Open(static_cast<const char*>(filename))) {
      AsOpened(opaque)->file = file;
      AsOpened(opaque)->ever_opened = true;
      return file;
    }
    delete file;
  } catch (...) {
    // Out of memory: the archive cannot be opened.
  }
  return nullptr;
}

uLong ReadFile(voidpf, voidpf stream, void* buf, uLong size) {
  return static_cast<uLong>(AsFile(stream)->Read(buf, size));
}

uLong WriteFile(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T TellFile(voidpf, voidpf stream) { return AsFile(stream)->Tell(); }

long SeekFile(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  ArchiveFile::Origin from = origin == ZLIB_FILEFUNC_SEEK_CUR   ? ArchiveFile::Origin::kCurrent
                             : origin == ZLIB_FILEFUNC_SEEK_END ? ArchiveFile::Origin::kEnd
                                                                : ArchiveFile::Origin::kStart;
  // minizip passes offsets from the end as unsigned values of a negative number.
  return AsFile(stream)->Seek(static_cast<std::int64_t>(offset), from) ? 0 : -1;
}

int CloseFile(voidpf opaque, voidpf stream) {
  if (AsOpened(opaque)->file == stream) AsOpened(opaque)->file = nullptr;
  delete AsFile(stream);
  return 0;
}

int TestError(voidpf, voidpf stream) { return AsFile(stream)->HasError() ? 1 : 0; }

}  // namespace

zlib_filefunc64_def ArchiveFileFunctions(OpenedArchiveFile* opened) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenFile;
  functions.zread_file = ReadFile;
  functions.zwrite_file = WriteFile;
  functions.ztell64_file = TellFile;
  functions.zseek64_file = SeekFile;
  functions.zclose_file = CloseFile;
  functions.zerror_file = TestError;
  functions.opaque = opened;
  return functions;
}
