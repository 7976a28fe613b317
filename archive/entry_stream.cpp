// The copy and inflate loop shared by extraction and verification (zpipe-style:
// every inflate return code is handled, and every loop ends on any input).
#include "archive/entry_stream.h"

#include <libdeflate.h>

#include <algorithm>
#include <new>

#include "archive/volume_reader.h"

ExtractWork::~ExtractWork() {
  if (streamReady) inflateEnd(&stream);
  libdeflate_free_decompressor(decompressor);
}

bool ExtractWork::PrepareWhole(uint64_t compressedSize, uint64_t uncompressedSize) {
  const size_t limit = arc::WholeBufferLimit();
  if (compressedSize > limit || uncompressedSize > limit || uncompressedSize == 0) return false;
  if (!decompressor) decompressor = libdeflate_alloc_decompressor();
  return decompressor && wholeInput.Reserve(static_cast<size_t>(compressedSize)) &&
         wholeOutput.Reserve(static_cast<size_t>(uncompressedSize));
}

bool ExtractWork::Allocate() {
  try {
    input.assign(kInputSize, 0);
    output.assign(kOutputSize, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool WorkScope::Begin(const char* step) {
  if (archive_.workCache_) {
    work_ = archive_.workCache_;
    archive_.workCache_ = nullptr;
  } else {
    work_ = new (std::nothrow) ExtractWork();
    if (!work_ || !work_->Allocate()) {
      delete work_;
      work_ = nullptr;
      archive_.ReportFailure(ARC_ERROR_MEMORY, step);
      return false;
    }
  }
  work_->verifiedFolder.clear();  // links may have changed since the last operation
  archive_.work_ = work_;
  return true;
}

WorkScope::~WorkScope() {
  if (!work_) return;
  if (archive_.work_ == work_) archive_.work_ = nullptr;
  if (!archive_.workCache_) {
    archive_.workCache_ = work_;
  } else {
    delete work_;
  }
}

void ReleaseExtractWork(ExtractWork* work) { delete work; }

namespace {

uint32_t Crc(uint32_t crc, const uint8_t* data, size_t size) { return arc::Crc32(crc, data, size); }

}  // namespace

// A deflated entry inflated in one call (ExtractWork::PrepareWhole approved its
// sizes). Reads exactly compressedSize bytes; the stream must use every one of
// them and produce at most uncompressedSize bytes, with the failures of the
// streaming path: damaged or cut-short data is a write failure, more output than
// declared (or bytes after the stream's end) a check failure, and less output
// leaves the caller's size check to fail.
ZoResult EntryStream::InflateWhole(CArchive2& archive, const arc::CentralDirectoryEntry& record, VolumeReader& reader,
                                   const char* step, EntrySink& sink, EntryTotals* totals) {
  ExtractWork& work = *archive.work_;
  CZoArchiveProgress* progress = archive.progress_;
  const size_t inSize = static_cast<size_t>(record.compressedSize);
  const size_t outSize = static_cast<size_t>(record.uncompressedSize);
  uint8_t* const in = work.wholeInput.data();
  for (size_t done = 0; done < inSize;) {
    const size_t n = std::min(inSize - done, arc::kBlockSize);
    ZoResult r = reader.Read(in + done, n);
    if (r < 0) return r;
    totals->crcRead = Crc(totals->crcRead, in + done, n);
    done += n;
  }
  uint8_t* const out = work.wholeOutput.data();
  size_t used = 0, produced = 0;
  const libdeflate_result status =
      libdeflate_deflate_decompress_ex(work.decompressor, in, inSize, out, outSize, &used, &produced);
  if (status == LIBDEFLATE_INSUFFICIENT_SPACE || (status == LIBDEFLATE_SUCCESS && used != inSize)) {
    archive.ReportFailure(ARC_ERROR_CRC, step);
    return ARC_E_CHECK;
  }
  if (status != LIBDEFLATE_SUCCESS) {
    archive.ReportFailure(ARC_ERROR_WRITE, step);
    return ARC_E_WRITE;
  }
  // Handed on in the streaming path's pieces, with its progress and cancel polls.
  for (size_t done = 0; done < produced;) {
    const size_t n = std::min(produced - done, ExtractWork::kOutputSize);
    if (!sink.Put(out + done, n)) {
      archive.ReportFailure(ARC_ERROR_WRITE, step);
      return ARC_E_WRITE;
    }
    totals->crcWritten = Crc(totals->crcWritten, out + done, n);
    totals->produced += n;
    done += n;
    if (progress) {
      progress->AddProgress64(n);
      if (progress->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
    }
  }
  return 0;
}

ZoResult EntryStream::Locate(CArchive2& archive, const ArchiveDirectoryEntry& entry, Mode mode,
                             const char* locateStep, const char* step) {
  const arc::CentralDirectoryEntry& record = entry.record;
  const bool copiesStoredBytes = mode == Mode::kStoredBytesOnly || record.compressionType == ARC_COMPRESSION_NONE;
  const uint64_t toRead =
      copiesStoredBytes && mode == Mode::kDecode ? record.uncompressedSize : record.compressedSize;
  if (toRead == 0) return 0;
  uint64_t offset = 0;
  if (!record.DataOffset(&offset)) {
    archive.ReportFailure(ARC_ERROR_READ, step);
    return ARC_E_READ;
  }
  VolumeReader reader(archive, offset, locateStep, step);
  return reader.Locate();
}

ZoResult EntryStream::Run(CArchive2& archive, const ArchiveDirectoryEntry& entry, Mode mode, const char* locateStep,
                          const char* step, EntrySink& sink, EntryTotals* totals) {
  *totals = EntryTotals();
  ExtractWork& work = *archive.work_;
  CZoArchiveProgress* progress = archive.progress_;
  const arc::CentralDirectoryEntry& record = entry.record;

  uint64_t offset = 0;
  if (!record.DataOffset(&offset)) {
    archive.ReportFailure(ARC_ERROR_READ, step);
    return ARC_E_READ;
  }
  VolumeReader reader(archive, offset, locateStep, step);
  uint8_t* in = work.input.data();

  // Stored bytes copied as they are (also the stored-bytes check of a deflated entry).
  if (mode == Mode::kStoredBytesOnly || record.compressionType == ARC_COMPRESSION_NONE) {
    uint64_t remaining = mode == Mode::kStoredBytesOnly ? record.compressedSize : record.uncompressedSize;
    while (remaining > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, arc::kBlockSize));
      ZoResult r = reader.Read(in, n);
      if (r < 0) return r;
      totals->crcRead = Crc(totals->crcRead, in, n);
      remaining -= n;
      if (mode == Mode::kDecode) {
        if (!sink.Put(in, n)) {
          archive.ReportFailure(ARC_ERROR_WRITE, step);
          return ARC_E_WRITE;
        }
        totals->crcWritten = Crc(totals->crcWritten, in, n);
        totals->produced += n;
      }
      if (progress) {
        progress->AddProgress64(n);
        if (progress->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
      }
    }
    return 0;
  }

  // Deflated: one raw stream of compressedSize bytes that must inflate to at most
  // uncompressedSize bytes.
  if (record.compressedSize == 0) return 0;
  if (work.PrepareWhole(record.compressedSize, record.uncompressedSize))
    return InflateWhole(archive, record, reader, step, sink, totals);
  z_stream& z = work.stream;
  if (!work.streamReady) {
    z = z_stream();
    if (inflateInit2(&z, -15) != Z_OK) {
      archive.ReportFailure(ARC_ERROR_MEMORY, step);
      return E_OUTOFMEMORY;
    }
    work.streamReady = true;
  } else if (inflateReset(&z) != Z_OK) {
    archive.ReportFailure(ARC_ERROR_WRITE, step);
    return ARC_E_WRITE;
  }
  z.next_in = in;
  z.avail_in = 0;
  uint64_t remaining = record.compressedSize;
  uint8_t* out = work.output.data();
  for (;;) {
    if (z.avail_in == 0 && remaining > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, arc::kBlockSize));
      ZoResult r = reader.Read(in, n);
      if (r < 0) return r;
      totals->crcRead = Crc(totals->crcRead, in, n);
      remaining -= n;
      z.next_in = in;
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = out;
    z.avail_out = static_cast<uInt>(ExtractWork::kOutputSize);
    const int status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      archive.ReportFailure(ARC_ERROR_WRITE, step);
      return ARC_E_WRITE;
    }
    const size_t have = ExtractWork::kOutputSize - z.avail_out;
    if (have > 0) {
      // Never hand on more than the entry declares: the space check approved that size.
      const uint64_t room = record.uncompressedSize - std::min(totals->produced, record.uncompressedSize);
      const size_t take = static_cast<size_t>(std::min<uint64_t>(have, room));
      if (take > 0) {
        if (!sink.Put(out, take)) {
          archive.ReportFailure(ARC_ERROR_WRITE, step);
          return ARC_E_WRITE;
        }
        totals->crcWritten = Crc(totals->crcWritten, out, take);
        totals->produced += take;
      }
      if (take < have) {
        archive.ReportFailure(ARC_ERROR_CRC, step);
        return ARC_E_CHECK;
      }
      if (progress) {
        progress->AddProgress64(take);
        if (progress->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
      }
    }
    if (status == Z_STREAM_END) {
      // Stored bytes after the stream's end: the entry is not what its sizes say
      // (the whole-buffer path fails it the same way).
      if (z.avail_in != 0 || remaining != 0) {
        archive.ReportFailure(ARC_ERROR_CRC, step);
        return ARC_E_CHECK;
      }
      return 0;
    }
    // No progress possible and no input left: the stream is cut short.
    if (status == Z_BUF_ERROR && have == 0 && z.avail_in == 0 && remaining == 0) {
      archive.ReportFailure(ARC_ERROR_WRITE, step);
      return ARC_E_WRITE;
    }
  }
}
