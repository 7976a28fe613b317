// VolumeReader: the stored bytes of one entry as one stream, located from the
// central entry alone and followed across the volumes of a set.
//
// Data region: in a single file the stored bytes must lie before the central
// directory (base + centralOffset); in a set the main file holds the stream up to
// centralOffset and volumes 2..N hold the rest, each from its offset 0. A read that
// would run past the region (or past the last volume) fails with ARC_E_READ, so no
// read ever waits for bytes that cannot come. Volumes are opened only when bytes
// are needed from them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/archive2.h"
#include "platform/file.h"

class VolumeReader {
 public:
  // `streamOffset` is localOffset + 64 + 2 x (name + comment). `locateStep` names
  // the failure to find the volume the bytes start in (detail: its number);
  // `readStep` names read failures and a next volume that cannot be opened.
  VolumeReader(CArchive2& archive, uint64_t streamOffset, const char* locateStep, const char* readStep)
      : archive_(archive), streamOffset_(streamOffset), locateStep_(locateStep), readStep_(readStep) {}

  // Reads exactly `size` bytes, or fails (the failure is reported once):
  // ARC_E_READ (past the region, a failed or short read) or ARC_E_VOLUME_NOT_FOUND.
  ZoResult Read(uint8_t* buffer, size_t size);
  // Finds the file and offset of the stream's first byte (Read does it on first
  // use). A volume that cannot be opened, or a start beyond the last volume, is
  // ARC_E_VOLUME_NOT_FOUND reported under `locateStep` with the volume's number.
  ZoResult Locate();

 private:
  // Size of volume k (k >= 2), opening it to learn it unless known.
  bool VolumeSize(uint32_t k, uint64_t* size);
  bool OpenVolume(uint32_t k);
  // Opens volume k (k >= 2) for reading into *file and learns its size; false when
  // its path is too long or it does not open or answer.
  bool OpenVolumeFile(uint32_t k, plat::File* file, uint64_t* size) const;
  uint32_t VolumeCount() const;

  CArchive2& archive_;
  uint64_t streamOffset_;
  const char* locateStep_;
  const char* readStep_;
  bool located_ = false;
  uint32_t volume_ = 1;      // current volume: 1 is the main file
  plat::File volumeFile_;    // open while volume_ >= 2
  uint64_t position_ = 0;    // file offset of the next byte in the current file
  uint64_t left_ = 0;        // bytes of the stream left in the current file
};
