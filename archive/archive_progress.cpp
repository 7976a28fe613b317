// CZoArchiveProgress base behaviour and the pause/answer/cancel handshake.
#include "archive/archive_progress.h"

#include <algorithm>

#include "platform/text.h"

CZoArchiveProgress::CZoArchiveProgress() = default;

CZoArchiveProgress::CZoArchiveProgress(intptr_t ownerValue) : owner(ownerValue) {}

CZoArchiveProgress::~CZoArchiveProgress() = default;

int32_t CZoArchiveProgress::BeginItem(const ZoChar* text, uint32_t totalLow, int32_t totalHigh) {
  SetItemName(text);
  total = (static_cast<uint64_t>(static_cast<uint32_t>(totalHigh)) << 32) | totalLow;
  done = std::min(done, total);
  ReportStatus(ARC_EVENT_BEGIN_ITEM);
  return 0;
}

int32_t CZoArchiveProgress::ReportError(int32_t) { return 0; }

int32_t CZoArchiveProgress::ReportStatus(int32_t) { return 0; }

int32_t CZoArchiveProgress::AddProgress(uint32_t countLow, int32_t countHigh) {
  done += (static_cast<uint64_t>(static_cast<uint32_t>(countHigh)) << 32) | countLow;
  return 0;
}

void CZoArchiveProgress::SetItemName(const ZoChar* text) {
  if (!text) {
    itemName[0] = 0;
    return;
  }
  plat::CopyTruncated(itemName, 260, text);
}

int32_t CZoArchiveProgress::PollStatus() {
  // The loop re-reads status after every wake: a release left over from an earlier
  // SetStatus (the semaphore keeps at most one) must not end a later pause early.
  // The compare-exchange takes exactly the value it saw, so a pause stored between
  // the read and the reset is never handed to the engine as an answer.
  for (;;) {
    int32_t value = status.load();
    if (value == ARC_STATUS_PAUSED) {
      semaphore_.Wait();
      continue;
    }
    if (status.compare_exchange_weak(value, 0)) return value;
  }
}

void CZoArchiveProgress::SetStatus(int32_t value) {
  status.store(value);
  semaphore_.Release();
}
