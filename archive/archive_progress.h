// CZoArchiveProgress: the host's side of an archive operation. The engine announces
// totals (BeginItem), reports bytes (AddProgress), status and error events, asks
// the replace questions through ReportStatus, and polls for the host's answer or
// command after every block (PollStatus).
//
// Threads: the engine's thread calls every virtual operation and PollStatus; any
// other thread may store ARC_STATUS_PAUSED into `status` directly or call
// SetStatus. The semaphore is private to the object (never shared by name), so
// one host can never wake or stall another.
#pragma once
#include <atomic>
#include <cstdint>

#include "platform/results.h"
#include "platform/thread.h"
#include "platform/types.h"

// Error events (ReportError); itemName holds "step" or "step|detail" at that moment.
inline constexpr int32_t ARC_ERROR_INVALID_ARG = ZO_RESULT(0xAAAAAAA0);     // destination not a folder, bad name
inline constexpr int32_t ARC_ERROR_MODE = ZO_RESULT(0xAAAAAAA1);            // not allowed in this mode
inline constexpr int32_t ARC_ERROR_CREATE = ZO_RESULT(0xAAAAAAA2);          // output file cannot be created
inline constexpr int32_t ARC_ERROR_MEMORY = ZO_RESULT(0xAAAAAAA3);          // out of memory
inline constexpr int32_t ARC_ERROR_OPEN_INPUT = ZO_RESULT(0xAAAAAAA4);      // input file or next volume
inline constexpr int32_t ARC_ERROR_SIGNATURE = ZO_RESULT(0xAAAAAAA5);       // bad signature / damaged directory
inline constexpr int32_t ARC_ERROR_BLOCK_MISMATCH = ZO_RESULT(0xAAAAAAA6);  // copy moved different counts
inline constexpr int32_t ARC_ERROR_BUFFER = ZO_RESULT(0xAAAAAAA7);          // buffer too small, pattern too short
inline constexpr int32_t ARC_ERROR_DISK_SPACE = ZO_RESULT(0xAAAAAAA8);      // detail: drive root, when present
inline constexpr int32_t ARC_ERROR_WRITE = ZO_RESULT(0xAAAAAAA9);           // also compressor/inflater errors
inline constexpr int32_t ARC_ERROR_READ = ZO_RESULT(0xAAAAAAAA);
inline constexpr int32_t ARC_ERROR_FILE_TIME = ZO_RESULT(0xAAAAAAAB);
inline constexpr int32_t ARC_ERROR_NO_MATCH = ZO_RESULT(0xAAAAAAAC);
inline constexpr int32_t ARC_ERROR_VOLUME_MISSING = ZO_RESULT(0xAAAAAAAD);  // detail: volume path or number
inline constexpr int32_t ARC_ERROR_FILE_MISSING = ZO_RESULT(0xAAAAAAAE);
inline constexpr int32_t ARC_ERROR_CRC = ZO_RESULT(0xAAAAAAAF);
inline constexpr int32_t ARC_ERROR_NOT_OPEN = ZO_RESULT(0xAAAAAAB0);

// Status events (ReportStatus).
inline constexpr int32_t ARC_EVENT_FILE_END = 0;                    // per-file phase ended
inline constexpr int32_t ARC_EVENT_EXTRACT_START = 0x0AAAAAA0;      // itemName: entry name
inline constexpr int32_t ARC_EVENT_ADD_START = 0x0AAAAAA1;          // itemName: entry name
inline constexpr int32_t ARC_EVENT_SKIPPED_NAME = 0x0AAAAAA2;       // left out: a name no reader could use
                                                                    // (ARC_ADD_SKIP_BAD_NAMES); itemName: its path
inline constexpr int32_t ARC_EVENT_ENTRY_DROPPED = 0x0AAAAAA3;      // itemName: entry name
inline constexpr int32_t ARC_EVENT_ASK_REPLACE = 0x0AAAAAA4;        // question; itemName: target path
inline constexpr int32_t ARC_EVENT_SKIPPED = 0x0AAAAAA5;            // itemName: target path
inline constexpr int32_t ARC_EVENT_REPLACED = 0x0AAAAAA6;           // itemName: target path
inline constexpr int32_t ARC_EVENT_COPY_PHASE = 0x0AAAAAA7;         // itemName: phase label
inline constexpr int32_t ARC_EVENT_VERIFY_START = 0x0AAAAAA8;       // itemName: entry name
inline constexpr int32_t ARC_EVENT_ASK_REPLACE_READONLY = 0x0AAAAAA9;
inline constexpr int32_t ARC_EVENT_SKIPPED_SPECIAL = 0x0AAAAAAA;    // left out, never opened: neither a regular
                                                                    // file nor a folder (FIFO, socket, device,
                                                                    // broken link); itemName: its path
inline constexpr int32_t ARC_EVENT_SKIPPED_FOLDER_LINK = 0x0AAAAAAB; // left out, not followed: a link to a folder
                                                                    // or a junction; itemName: its path
inline constexpr int32_t ARC_EVENT_BEGIN_ITEM = 0x0AAAAAAE;         // sent by BeginItem itself
inline constexpr int32_t ARC_EVENT_DONE = 0x0AAAAAAF;               // a public operation finished

// Answers the host leaves in `status` after a replace question.
inline constexpr int32_t ARC_ANSWER_REPLACE = 1;
inline constexpr int32_t ARC_ANSWER_SKIP = 2;
inline constexpr int32_t ARC_ANSWER_REPLACE_ALL = 3;
inline constexpr int32_t ARC_ANSWER_SKIP_ALL = 4;

class CZoArchiveProgress {
 public:
  CZoArchiveProgress();
  explicit CZoArchiveProgress(intptr_t owner);
  virtual ~CZoArchiveProgress();
  CZoArchiveProgress(const CZoArchiveProgress&) = delete;
  CZoArchiveProgress& operator=(const CZoArchiveProgress&) = delete;

  // SetItemName(text); total := the 64-bit value; done := min(done, total);
  // then ReportStatus(ARC_EVENT_BEGIN_ITEM). Result ignored by the engine.
  virtual int32_t BeginItem(const ZoChar* text, uint32_t totalLow, int32_t totalHigh);
  virtual int32_t ReportError(int32_t code);
  virtual int32_t ReportStatus(int32_t code);
  // done += count. A negative result aborts the file being added (writers only).
  virtual int32_t AddProgress(uint32_t countLow, int32_t countHigh);

  // Copies at most 259 units and terminates; null gives an empty name.
  void SetItemName(const ZoChar* text);
  // Waits while status is ARC_STATUS_PAUSED, then takes status and resets it to 0.
  int32_t PollStatus();
  // status := value, then wakes a PollStatus waiting on a pause. Any thread.
  void SetStatus(int32_t value);

  // Helpers for the engine's 64-bit counts.
  int32_t BeginItem64(const ZoChar* text, uint64_t total) {
    return BeginItem(text, static_cast<uint32_t>(total), static_cast<int32_t>(total >> 32));
  }
  int32_t AddProgress64(uint64_t count) {
    return AddProgress(static_cast<uint32_t>(count), static_cast<int32_t>(count >> 32));
  }

  // The host's answer or command; 0 = nothing pending. A host pauses the engine by
  // storing ARC_STATUS_PAUSED here directly and resumes it through SetStatus.
  std::atomic<int32_t> status{0};
  intptr_t owner = 0;        // the constructor's argument (the installer's dialog)
  uint64_t total = 0;        // byte total of the current operation
  uint64_t reserved = 0;     // not used by the engine
  uint64_t done = 0;         // bytes processed so far
  uint8_t spare[32] = {};    // not used by the engine
  ZoChar itemName[260] = {}; // current item: at most 259 units and a terminator

 private:
  plat::Semaphore semaphore_{0, 1};
};
