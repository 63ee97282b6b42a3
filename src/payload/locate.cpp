// Finding the payload: the trailer at the file's end, or, in a signed
// executable, just before the certificate table that signing appends. The
// table's place is in the PE header's security directory; signing pads the
// file with up to seven zero bytes so that the table starts on an 8-byte
// boundary, so the trailer is looked for in front of that padding and taken
// only where the entry headers it points to lead to an end marker right
// before it.
#include "payload/entry.h"

namespace {

uint32_t Get16(const unsigned char* p) { return p[0] | (p[1] << 8); }

uint32_t Get32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadAt(FILE* f, uint64_t offset, void* buffer, size_t size) {
  if (offset > kPayloadValueMax) return false;
  return fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && fread(buffer, 1, size, f) == size;
}

constexpr uint32_t kDosHeaderBytes = 64;
constexpr uint32_t kPeOffsetField = 0x3C;
constexpr uint32_t kCoffHeaderBytes = 20;    // after the "PE\0\0" signature
constexpr uint32_t kOptionalSizeField = 16;  // within the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;  // index among the data directories
constexpr uint32_t kCertificateHeaderBytes = 8;
constexpr uint32_t kSigningPaddingMax = 7;

// The file offset of the certificate table when the PE header names one
// that ends the file exactly; 0 otherwise.
uint32_t CertificateTableAtEnd(FILE* f, uint64_t fileLength) {
  unsigned char dos[kDosHeaderBytes];
  if (fileLength < kDosHeaderBytes || !ReadAt(f, 0, dos, sizeof dos)) return 0;
  if (dos[0] != 'M' || dos[1] != 'Z') return 0;
  uint64_t pe = Get32(dos + kPeOffsetField);
  unsigned char head[4 + kCoffHeaderBytes + 2];
  if (!ReadAt(f, pe, head, sizeof head)) return 0;
  if (head[0] != 'P' || head[1] != 'E' || head[2] != 0 || head[3] != 0) return 0;
  uint32_t optionalSize = Get16(head + 4 + kOptionalSizeField);
  uint32_t magic = Get16(head + 4 + kCoffHeaderBytes);
  // Where the data directory count and the directories sit in the optional header.
  uint32_t countAt = magic == kPe32Magic ? 92 : magic == kPe32PlusMagic ? 108 : 0;
  if (countAt == 0) return 0;
  uint32_t directoryAt = countAt + 4 + kSecurityDirectory * 8;
  if (optionalSize < directoryAt + 8) return 0;
  uint64_t optional = pe + 4 + kCoffHeaderBytes;
  unsigned char count[4];
  unsigned char directory[8];
  if (!ReadAt(f, optional + countAt, count, sizeof count) || Get32(count) <= kSecurityDirectory)
    return 0;
  if (!ReadAt(f, optional + directoryAt, directory, sizeof directory)) return 0;
  uint64_t offset = Get32(directory);
  uint64_t size = Get32(directory + 4);
  if (offset == 0 || size < kCertificateHeaderBytes || offset + size != fileLength) return 0;
  return static_cast<uint32_t>(offset);
}

// Reads the trailer that ends at `end`. 0, or -1 when P lies beyond it.
int TrailerEndingAt(FILE* f, uint64_t end, PayloadLocation* location) {
  if (end < kPayloadTrailerBytes) return -1;
  uint64_t trailer = end - kPayloadTrailerBytes;
  unsigned char bytes[kPayloadTrailerBytes];
  if (trailer > kPayloadValueMax || !ReadAt(f, trailer, bytes, sizeof bytes)) return -1;
  uint32_t first = Get32(bytes);
  if (first > trailer) return -1;
  location->first = first;
  location->length = static_cast<uint32_t>(trailer) - first;
  location->end = static_cast<uint32_t>(end);
  location->certificateBytes = 0;
  return 0;
}

// True when the entry headers from P lead exactly to four zero bytes right
// before the trailer (sizes and names are left to the entry reader).
bool HeadersReachEndMarker(FILE* f, const PayloadLocation& location) {
  uint64_t position = location.first;
  uint64_t trailer = static_cast<uint64_t>(location.first) + location.length;
  for (;;) {
    unsigned char bytes[8];
    if (position + kPayloadEndMarkerBytes > trailer || !ReadAt(f, position, bytes, 4)) return false;
    uint32_t nameLength = Get16(bytes);
    if (nameLength == 0) {
      return position + kPayloadEndMarkerBytes == trailer && Get16(bytes + 2) == 0;
    }
    if (nameLength > kPayloadNameMax) return false;
    position += kPayloadNameLengthBytes + nameLength;
    if (position + 8 > trailer || !ReadAt(f, position, bytes, 8)) return false;
    position += 8;
    uint32_t size = Get32(bytes);
    uint32_t packedSize = Get32(bytes + 4);
    if (size != kPayloadFolderSize) {
      if (packedSize > kPayloadValueMax) return false;
      position += kPayloadTimeStampBytes + packedSize;
    }
  }
}

// The trailer of a signed file: in front of the table, past any zero padding.
int LocateSigned(FILE* f, uint32_t table, PayloadLocation* location) {
  for (uint32_t pad = 0; pad <= kSigningPaddingMax && pad < table; ++pad) {
    if (pad > 0) {
      unsigned char byte;
      if (!ReadAt(f, table - pad, &byte, 1) || byte != 0) break;
    }
    if (TrailerEndingAt(f, table - pad, location) == 0 && HeadersReachEndMarker(f, *location))
      return 0;
  }
  return -1;
}

}  // namespace

int PayloadLocate(FILE* stream, PayloadLocation* location) {
  if (fseek(stream, 0, SEEK_END) != 0) return -1;
  long length = ftell(stream);
  if (length < static_cast<long>(kPayloadTrailerBytes)) return -1;
  uint64_t fileLength = static_cast<uint64_t>(length);
  uint32_t table = CertificateTableAtEnd(stream, fileLength);
  if (table != 0 && LocateSigned(stream, table, location) == 0) {
    location->certificateBytes = static_cast<uint32_t>(fileLength - table);
  } else if (TrailerEndingAt(stream, fileLength, location) != 0) {
    // A table that hides no payload changes nothing: the file is read as if unsigned.
    return -1;
  }
  if (fseek(stream, static_cast<long>(location->first), SEEK_SET) != 0) return -1;
  return 0;
}
