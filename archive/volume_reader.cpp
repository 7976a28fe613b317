// The stored-bytes stream of one entry across the files of a set (see volume_reader.h).
#include "archive/volume_reader.h"

#include <algorithm>
#include <new>
#include <string>

uint32_t VolumeReader::VolumeCount() const { return std::max<uint32_t>(archive_.volumeCount_, 1); }

bool VolumeReader::OpenVolumeFile(uint32_t k, plat::File* file, uint64_t* size) const {
  std::u16string path;
  try {
    if (!archive_.MakeVolumePath(k, &path)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  *file = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  return *file && file->Size(size);
}

bool VolumeReader::VolumeSize(uint32_t k, uint64_t* size) {
  std::vector<uint64_t>& known = archive_.volumeSizes_;
  if (k - 2 < known.size()) {
    *size = known[k - 2];
    return true;
  }
  plat::File f;
  if (!OpenVolumeFile(k, &f, size)) return false;
  // Volumes are always learnt in order (a walk from volume 2), so the cache stays dense.
  if (k - 2 == known.size()) {
    try {
      known.push_back(*size);
    } catch (const std::bad_alloc&) {
    }
  }
  return true;
}

bool VolumeReader::OpenVolume(uint32_t k) {
  plat::File f;
  uint64_t size = 0;
  if (!OpenVolumeFile(k, &f, &size)) return false;
  volumeFile_ = std::move(f);
  volume_ = k;
  position_ = 0;
  left_ = size;
  return true;
}

ZoResult VolumeReader::Locate() {
  located_ = true;
  const uint64_t w = archive_.end_.centralOffset;
  uint64_t s = streamOffset_;
  if (VolumeCount() < 2 || s < w) {
    volume_ = 1;
    left_ = s < w ? w - s : 0;
    position_ = archive_.base_ + std::min(s, w);
    return 0;
  }
  s -= w;
  for (uint32_t k = 2;; ++k) {
    if (k > VolumeCount()) {
      // The stream ends before the entry's bytes begin: the volume that would hold
      // them is not part of the set.
      archive_.ReportFailure(ARC_ERROR_VOLUME_MISSING, locateStep_, static_cast<uint64_t>(k));
      return ARC_E_VOLUME_NOT_FOUND;
    }
    uint64_t size = 0;
    if (!VolumeSize(k, &size)) {
      archive_.ReportFailure(ARC_ERROR_VOLUME_MISSING, locateStep_, static_cast<uint64_t>(k));
      return ARC_E_VOLUME_NOT_FOUND;
    }
    if (s < size) {
      if (!OpenVolume(k)) {
        archive_.ReportFailure(ARC_ERROR_VOLUME_MISSING, locateStep_, static_cast<uint64_t>(k));
        return ARC_E_VOLUME_NOT_FOUND;
      }
      position_ = s;
      left_ = size - s;
      return 0;
    }
    s -= size;
  }
}

ZoResult VolumeReader::Read(uint8_t* buffer, size_t size) {
  if (size == 0) return 0;
  if (!located_) {
    ZoResult r = Locate();
    if (r < 0) return r;
  }
  size_t filled = 0;
  while (filled < size) {
    if (left_ == 0) {
      // The current file's part of the stream is used up: go on in the next volume.
      if (volume_ >= VolumeCount()) {
        archive_.ReportFailure(ARC_ERROR_READ, readStep_);
        return ARC_E_READ;
      }
      if (!OpenVolume(volume_ + 1)) {
        archive_.ReportFailure(ARC_ERROR_OPEN_INPUT, readStep_);
        return ARC_E_VOLUME_NOT_FOUND;
      }
      continue;
    }
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left_, size - filled));
    plat::File& source = volume_ == 1 ? archive_.file_ : volumeFile_;
    size_t got = 0;
    if (!source.ReadAt(position_, buffer + filled, want, &got) || got != want) {
      archive_.ReportFailure(ARC_ERROR_READ, readStep_);
      return ARC_E_READ;
    }
    filled += got;
    position_ += got;
    left_ -= got;
  }
  return 0;
}
