// Locating a signed executable's certificate table from its PE header (see
// pe_certificate.h). Every field is bounds-checked against the bytes read.
#include "archive/pe_certificate.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "archive/archive_format.h"

namespace arc {

namespace {

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool FindCertificateTable(const uint8_t* head, size_t headLength, uint64_t fileSize, CertificateTable* table) {
  if (!head || headLength < pe::kDosHeaderSize || headLength > fileSize) return false;
  if (GetU16(head + pe::kDosMagic) != pe::kDosMagicValue) return false;
  const uint64_t peOffset = GetU32(head + pe::kDosPeOffset);
  if (peOffset < pe::kDosHeaderSize || peOffset + pe::kOptionalHeader > headLength) return false;
  const uint8_t* peHeader = head + peOffset;
  if (GetU32(peHeader) != pe::kPeSignatureValue) return false;
  const uint64_t optionalSize = GetU16(peHeader + pe::kCoffSizeOfOptionalHeader);
  const uint64_t sections = GetU16(peHeader + pe::kCoffNumberOfSections);
  const uint64_t optional = peOffset + pe::kOptionalHeader;
  if (optional + 2 > headLength) return false;

  size_t countField = 0;
  size_t directories = 0;
  switch (GetU16(head + optional + pe::kOptMagic)) {
    case pe::kMagicPe32:
      countField = pe::kOptDirectoryCountPe32;
      directories = pe::kOptDirectoriesPe32;
      break;
    case pe::kMagicPe32Plus:
      countField = pe::kOptDirectoryCountPe32Plus;
      directories = pe::kOptDirectoriesPe32Plus;
      break;
    default:
      return false;
  }
  // The security entry must be one the header declares and one the bytes hold.
  const uint64_t entry = directories + pe::kSecurityDirectory * pe::kDirectoryEntrySize;
  if (entry + pe::kDirectoryEntrySize > optionalSize) return false;
  if (optional + entry + pe::kDirectoryEntrySize > headLength) return false;
  if (GetU32(head + optional + countField) <= pe::kSecurityDirectory) return false;

  const uint64_t start = GetU32(head + optional + entry);
  const uint64_t size = GetU32(head + optional + entry + 4);
  // Both are u32, so neither the sum nor the header end can overflow 64 bits.
  const uint64_t headersEnd = optional + optionalSize + sections * pe::kSectionHeaderSize;
  if (start == 0 || size < pe::kCertificateHeaderSize) return false;
  if (start % pe::kCertificateAlignment != 0 || size % pe::kCertificateAlignment != 0) return false;
  if (start < headersEnd || start + size != fileSize) return false;

  table->start = start;
  table->size = size;
  table->directoryOffset = optional + entry;
  table->checksumOffset = optional + pe::kOptCheckSum;
  return true;
}

bool ForgetCertificateTable(plat::File& copy, const CertificateTable& table, uint32_t checksum) {
  static const uint8_t kZeros[pe::kDirectoryEntrySize] = {};
  uint8_t sum[4];
  PutU32(sum, checksum);
  // The writers go on from where the copy left the file position.
  uint64_t position = 0;
  return copy.Tell(&position) && position <= static_cast<uint64_t>(INT64_MAX) &&
         copy.Seek(static_cast<int64_t>(table.directoryOffset), plat::SeekOrigin::Begin) &&
         copy.Write(kZeros, pe::kDirectoryEntrySize) &&
         copy.Seek(static_cast<int64_t>(table.checksumOffset), plat::SeekOrigin::Begin) && copy.Write(sum, 4) &&
         copy.Seek(static_cast<int64_t>(position), plat::SeekOrigin::Begin);
}

bool UnsignedChecksum(plat::File& file, uint64_t length, const CertificateTable& table, uint32_t* checksum) {
  std::vector<uint8_t> block;
  try {
    block.resize(kBlockSize);  // even, so that every block starts on a word
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The bytes counted as 0: the CheckSum field and the security directory entry.
  const uint64_t zeroed[2][2] = {{table.checksumOffset, 4}, {table.directoryOffset, pe::kDirectoryEntrySize}};
  uint64_t sum = 0;
  for (uint64_t at = 0; at < length;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlockSize, length - at));
    size_t got = 0;
    if (!file.ReadAt(at, block.data(), want, &got) || got != want) return false;
    for (const auto& range : zeroed) {
      for (uint64_t i = range[0]; i < range[0] + range[1]; ++i)
        if (i >= at && i < at + want) block[static_cast<size_t>(i - at)] = 0;
    }
    if (want % 2 != 0) block[want] = 0;  // the last odd byte is the low half of a word
    for (size_t i = 0; i < want; i += 2) {
      sum += static_cast<uint64_t>(block[i]) | (static_cast<uint64_t>(block[i + 1]) << 8);
      sum = (sum & 0xFFFF) + (sum >> 16);
    }
    at += want;
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  *checksum = static_cast<uint32_t>(sum + length);
  return true;
}

}  // namespace arc
