// Placeholders for the writer members of CArchive2 until the writer files
// (archive_add*.cpp, archive_write*.cpp, archive_delete*.cpp, archive_sfx*.cpp)
// replace this file. Every member answers E_NOTIMPL (or nothing / 0).
#include "archive/archive2.h"

ZoResult CArchive2::AddEntryToArchive(const ZoChar*, uint32_t, uint32_t, uint32_t, const ZoChar*) { return E_NOTIMPL; }
ZoResult CArchive2::GetSizeAddEntry(const ZoChar*, int64_t& size, uint32_t) {
  size = 0;
  return E_NOTIMPL;
}
ZoResult CArchive2::GetCountAddEntry(const ZoChar*, int64_t& count, uint32_t) {
  count = 0;
  return E_NOTIMPL;
}
ZoResult CArchive2::IsSpaceForAddEntry(const ZoChar*, uint32_t) { return E_NOTIMPL; }
ZoResult CArchive2::AddCentralDirectory() { return E_NOTIMPL; }
ZoResult CArchive2::AddEndOfCentralDir(uint64_t) { return E_NOTIMPL; }
void CArchive2::AddVolumeComment(const ZoChar*) {}
ZoResult CArchive2::Annotate(const ZoChar*, const ZoChar*) { return E_NOTIMPL; }
ZoResult CArchive2::DeleteEntryFromArchive(const ZoChar*, uint32_t) { return E_NOTIMPL; }
int CArchive2::IsDeleteRequested() { return 0; }
void CArchive2::AbortDeletionProcess() {}
int CArchive2::GetEntryDeleteStatus(int) { return 0; }
ZoResult CArchive2::SubmitDeleteList() { return E_NOTIMPL; }
ZoResult CArchive2::GetSizeCreateSEA(const ZoChar*, int64_t& size) {
  size = 0;
  return E_NOTIMPL;
}
ZoResult CArchive2::IsSpaceForCreateSEA(const ZoChar*, const ZoChar*) { return E_NOTIMPL; }
ZoResult CArchive2::CreateSEA(const ZoChar*, const ZoChar*, uint32_t) { return E_NOTIMPL; }
ZoResult CArchive2::SplitSEA(const ZoChar*, uint32_t) { return E_NOTIMPL; }
ZoResult CArchive2::SplitArchive(int64_t, uint32_t) { return E_NOTIMPL; }
ZoResult CArchive2::GetSizeMerge(int64_t& size) {
  size = 0;
  return E_NOTIMPL;
}
ZoResult CArchive2::IsSpaceForMerge() { return E_NOTIMPL; }
ZoResult CArchive2::MergeArchive(uint32_t) { return E_NOTIMPL; }
ZoResult CArchive2::CopySEAMultiFiles() { return E_NOTIMPL; }
ZoResult CArchive2::AddFile(const ZoChar*, const ZoChar*, const ZoChar*) { return E_NOTIMPL; }
ZoResult CArchive2::AddDirectoryTree(const ZoChar*, const ZoChar*) { return E_NOTIMPL; }
ZoResult CArchive2::AddWildcard(const ZoChar*, const ZoChar*) { return E_NOTIMPL; }
