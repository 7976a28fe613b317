// The certificate table of a signed Windows executable, as far as the archive
// reader needs it. Signing a package (Authenticode) appends the table at the end
// of the file and points the PE optional header's security data directory
// (index 4, whose VirtualAddress is a file offset) at it. The archive then ends
// where the table begins, and that place is taken from the header alone: the
// table is outside the signed hash, so anyone can change what it holds without
// breaking the signature, and nothing of it is ever read or trusted.
//
// Only a directory as signing tools write it counts: a table that begins after
// the headers at a multiple of 8 bytes, is at least one 8-byte certificate header
// long, and ends exactly at the end of the file. Anything else (a stub that was
// signed on its own, whose table lies inside the package; garbage; offsets past
// the end or overflowing sizes) is no certificate table of this file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace arc {

namespace pe {
// DOS header.
inline constexpr size_t kDosMagic = 0;           // u16 "MZ"
inline constexpr size_t kDosPeOffset = 0x3C;     // u32 e_lfanew: file offset of the PE signature
inline constexpr size_t kDosHeaderSize = 64;
inline constexpr uint16_t kDosMagicValue = 0x5A4D;
// From the PE signature ("PE\0\0"): the COFF file header, then the optional header.
inline constexpr uint32_t kPeSignatureValue = 0x00004550;
inline constexpr size_t kCoffNumberOfSections = 6;     // u16
inline constexpr size_t kCoffSizeOfOptionalHeader = 20; // u16
inline constexpr size_t kOptionalHeader = 24;
inline constexpr size_t kSectionHeaderSize = 40;
// Within the optional header.
inline constexpr size_t kOptMagic = 0;  // u16
inline constexpr uint16_t kMagicPe32 = 0x10B;
inline constexpr uint16_t kMagicPe32Plus = 0x20B;
inline constexpr size_t kOptCheckSum = 64;                // u32, both forms
inline constexpr size_t kOptDirectoryCountPe32 = 92;      // u32 NumberOfRvaAndSizes
inline constexpr size_t kOptDirectoriesPe32 = 96;
inline constexpr size_t kOptDirectoryCountPe32Plus = 108;
inline constexpr size_t kOptDirectoriesPe32Plus = 112;
inline constexpr size_t kDirectoryEntrySize = 8;          // u32 VirtualAddress, u32 Size
inline constexpr uint32_t kSecurityDirectory = 4;
inline constexpr uint32_t kCertificateAlignment = 8;
inline constexpr uint32_t kCertificateHeaderSize = 8;     // WIN_CERTIFICATE without its data
// The headers are looked for in the first bytes of the file only.
inline constexpr size_t kHeaderWindow = 4096;
}  // namespace pe

struct CertificateTable {
  uint64_t start = 0;           // file offset of the table: where the archive must end
  uint64_t size = 0;            // bytes of the table, to the end of the file
  uint64_t directoryOffset = 0; // file offset of the security directory entry (8 bytes)
  uint64_t checksumOffset = 0;  // file offset of the optional header's CheckSum (4 bytes)
};

// Whether `head` (the first `headLength` bytes of a file of `fileSize` bytes)
// is a PE32 or PE32+ header whose security directory names a certificate table
// at the end of the file; *table is filled only then. Reads nothing beyond
// headLength, whatever the header says.
bool FindCertificateTable(const uint8_t* head, size_t headLength, uint64_t fileSize, CertificateTable* table);

// In a copy of the headers (a stub written without the table that followed it):
// zeroes the security directory entry, which would point at a table that is no
// longer there, and sets the CheckSum to `checksum` (0 means "none"). The file
// position is left where it was. False when a seek or write fails.
bool ForgetCertificateTable(plat::File& copy, const CertificateTable& table, uint32_t checksum);

// The PE checksum that the first `length` bytes of `file` have once the security
// directory entry is zeroed: the image checksum of the stub as it was before it
// was signed (16-bit words summed with their carries folded in, the CheckSum
// field counted as 0, plus the length). False when a read fails or falls short.
bool UnsignedChecksum(plat::File& file, uint64_t length, const CertificateTable& table, uint32_t* checksum);

}  // namespace arc
