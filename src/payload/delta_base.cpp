#include "payload/delta_base.h"

#include "payload/format.h"

namespace {

int Seek(void* handle, int64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(static_cast<DeltaBase*>(handle)->file, to, nullptr, FILE_BEGIN) ? 0 : -1;
}

uint32_t Read(void* handle, unsigned char* data, uint32_t size) {
  DeltaBase* base = static_cast<DeltaBase*>(handle);
  DWORD got = 0;
  if (!ReadFile(base->file, data, size, &got, nullptr)) got = 0;
  if (base->idle) base->idle();
  return got;
}

}  // namespace

int DeltaBaseOpen(DeltaBase* base, const char* path, void (*idle)()) {
  base->idle = idle;
  base->size = 0;
  // Shared for reading only: nobody may change the base while it is read.
  base->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (base->file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? kDeltaBaseInUse : -1;
  }
  LARGE_INTEGER size;
  if (GetFileType(base->file) != FILE_TYPE_DISK || !GetFileSizeEx(base->file, &size) ||
      size.QuadPart > kPayloadValueMax) {
    DeltaBaseClose(base);
    return -1;
  }
  base->size = static_cast<uint32_t>(size.QuadPart);
  DeltaSourceInit(&base->source, base, Seek, Read, 0, base->size);
  return 0;
}

void DeltaBaseClose(DeltaBase* base) {
  if (base->file != INVALID_HANDLE_VALUE) CloseHandle(base->file);
  base->file = INVALID_HANDLE_VALUE;
}

DeltaReader DeltaBaseReader(DeltaBase* base) { return DeltaSourceReader(&base->source); }
