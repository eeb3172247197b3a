#include "output/gpx_day_file.h"

#include <cstring>
#include <cwchar>

#include "output/gpx_lines.h"
#include "output/gpx_mend.h"

namespace pathmere {
namespace {

constexpr DayFileKind kGpxFile{"gpx", HeaderRule::kNone, nullptr};

constexpr char kCreateDirectoryError[] = "(%u) CreateDirectory Error: %u \r\n";
constexpr char kFileOpenError[] = "(%u) File Open Error: %u \r\n";
constexpr char kFileWriteError[] = "(%u) File Write Error: %u \r\n";
constexpr char kFileReadError[] = "(%u) GPX File Read Error: %u \r\n";
constexpr char kRenameError[] = "(%u) GPX File Rename Error: %u \r\n";
constexpr char kMended[] = "(%u) GPX file mended after a cut write: %u bytes removed \r\n";
constexpr int kMostAsideNames = 1000;

}  // namespace

GpxDayFile::GpxDayFile(FileSystem& files, MessageLog& log)
    : files_(files), log_(log), names_(files, log, kGpxFile) {}

std::wstring GpxDayFile::TemporaryName() const { return std::wstring(names_.fileName()) + L".tmp"; }

void GpxDayFile::PostText(const wchar_t* text) {
  // A text too long for the buffer is cut, still ended.
  if (std::swprintf(message_, kMessageCapacity, L"(%u) %ls \r\n", log_.NextMessageNumber(), text) < 0) {
    message_[kMessageCapacity - 1] = L'\0';
  }
  log_.AppendText(kMessageLog, std::wstring_view(message_));
}

int GpxDayFile::FailWrite(const char* format, int code) {
  names_.SetLastError(files_.LastError());
  names_.PostFailure(format, code);
  return code;
}

bool GpxDayFile::ReadAll(std::string* text) {
  text->clear();
  const FileHandle file = files_.OpenExistingForRead(names_.fileName());
  if (file == kInvalidFile) return false;
  const int64_t size = files_.FileSize(file);
  if (size > 0) text->reserve(static_cast<size_t>(size));
  char block[16384];
  uint32_t count = 0;
  bool ok = true;
  while ((ok = files_.Read(file, block, sizeof block, &count)) && count > 0) text->append(block, count);
  files_.Close(file);
  return ok;
}

void GpxDayFile::Open() {
  names_.FormatFileName();
  exists_ = false;
  blocked_ = false;
  segmentOpen_ = false;
  bodyEnd_ = 0;
  waypointsEnd_ = 0;
  // A temporary file is what a cut waypoint or first write left; the day's
  // file itself is still the one before it.
  const std::wstring temporary = TemporaryName();
  if (files_.LookUp(temporary) == FileSystem::PathKind::kFile) files_.Remove(temporary);
  if (files_.LookUp(names_.fileName()) != FileSystem::PathKind::kFile) return;

  std::string text;
  if (!ReadAll(&text)) {
    // Neither mended nor written over: the next start tries again.
    names_.PostError(kFileReadError, files_.LastError());
    PutAside();
    return;
  }
  const GpxShape shape = InspectGpx(text);
  if (!shape.own) {
    PutAside();
    return;
  }
  if (!shape.intact) {
    const FileHandle file = files_.OpenOrCreate(names_.fileName());
    const std::string_view closing = GpxMendingTail(shape);
    uint32_t written = 0;
    const bool mended = file != kInvalidFile && files_.Truncate(file, static_cast<int64_t>(shape.keep)) &&
                        files_.SeekToEnd(file) &&
                        files_.Write(file, closing.data(), static_cast<uint32_t>(closing.size()), &written);
    if (mended && syncToDisk_) files_.SyncData(file);
    if (file != kInvalidFile) files_.Close(file);
    if (!mended) {
      FailWrite(kFileWriteError, kDataWriteFailed);
      PutAside();
      return;
    }
    log_.PostNumbered(message_, kMessageCapacity, kMended, static_cast<uint32_t>(text.size() - shape.keep));
  }
  exists_ = true;
  segmentOpen_ = shape.segmentOpen;
  bodyEnd_ = static_cast<int64_t>(shape.bodyEnd);
  waypointsEnd_ = static_cast<int64_t>(shape.waypointsEnd);
}

void GpxDayFile::PutAside() {
  // The first free "<name>.broken-N"; the file stays as it is, only named
  // aside, and the day starts a new one.
  const std::wstring name(names_.fileName());
  for (int n = 1; n <= kMostAsideNames; ++n) {
    const std::wstring aside = name + L".broken-" + std::to_wstring(n);
    if (files_.LookUp(aside) != FileSystem::PathKind::kMissing) continue;
    if (!files_.Rename(name, aside)) break;
    const size_t cut = aside.rfind(L'\\');
    const std::wstring text = L"GPX file was not Pathmere's or could not be mended; kept as " +
                              aside.substr(cut == std::wstring::npos ? 0 : cut + 1);
    PostText(text.c_str());
    return;
  }
  names_.PostError(kRenameError, files_.LastError());
  // Unmoved, it must not be written over: this run leaves the day's GPX alone.
  blocked_ = true;
}

int GpxDayFile::ReplaceWhole(std::string_view content) {
  const std::wstring_view folder(names_.folder());
  bool madeFolder = false;
  if (files_.LookUp(folder) != FileSystem::PathKind::kDirectory) {
    if (!files_.CreateDirectory(folder)) return FailWrite(kCreateDirectoryError, kCreateDirectoryFailed);
    madeFolder = true;
  }
  names_.FormatFileName();
  const std::wstring temporary = TemporaryName();
  const FileHandle file = files_.OpenOrCreate(temporary);
  if (file == kInvalidFile) return FailWrite(kFileOpenError, kOpenFailed);
  uint32_t written = 0;
  const bool ok = files_.Truncate(file, 0) &&
                  files_.Write(file, content.data(), static_cast<uint32_t>(content.size()), &written) &&
                  (!syncToDisk_ || files_.SyncData(file));
  if (!ok) {
    const int code = FailWrite(kFileWriteError, kDataWriteFailed);
    files_.Close(file);
    files_.Remove(temporary);
    return code;
  }
  files_.Close(file);
  if (!files_.Rename(temporary, names_.fileName())) {
    const int code = FailWrite(kRenameError, kDataWriteFailed);
    files_.Remove(temporary);
    return code;
  }
  if (syncToDisk_) {
    files_.SyncFolder(folder);
    const size_t cut = folder.rfind(L'\\');
    if (madeFolder && cut != std::wstring_view::npos) files_.SyncFolder(folder.substr(0, cut));
  }
  names_.NoteWriteWorked();
  return kWriteOk;
}

int GpxDayFile::Append(char* area, size_t length, bool segmentOpenAfter, std::string_view head,
                       std::string_view trackStart) {
  if (blocked_) return kOpenFailed;
  const std::string_view closing = GpxClosingTags(segmentOpenAfter);
  if (!exists_) {
    std::string content;
    content.reserve(head.size() + trackStart.size() + length + closing.size());
    content.append(head).append(trackStart).append(area, length).append(closing);
    const int code = ReplaceWhole(content);
    if (code != kWriteOk) return code;
    exists_ = true;
    segmentOpen_ = segmentOpenAfter;
    waypointsEnd_ = static_cast<int64_t>(head.size());
    bodyEnd_ = static_cast<int64_t>(content.size() - closing.size());
    return kWriteOk;
  }
  names_.FormatFileName();
  const FileHandle file = files_.OpenOrCreate(names_.fileName());
  if (file == kInvalidFile) return FailWrite(kFileOpenError, kOpenFailed);
  const std::string_view oldClosing = GpxClosingTags(segmentOpen_);
  if (files_.FileSize(file) != bodyEnd_ + static_cast<int64_t>(oldClosing.size())) {
    // Changed by someone else since it was read (or removed): read it again
    // and write at the next flush.
    files_.Close(file);
    Open();
    return kDataWriteFailed;
  }
  std::memcpy(area + length, closing.data(), closing.size());
  const auto total = static_cast<uint32_t>(length + closing.size());
  uint32_t written = 0;
  if (!files_.SeekTo(file, bodyEnd_) || !files_.Write(file, area, total, &written)) {
    const int code = FailWrite(kFileWriteError, kDataWriteFailed);
    // Back to the document before the write.
    uint32_t restored = 0;
    if (files_.Truncate(file, bodyEnd_) && files_.SeekToEnd(file)) {
      files_.Write(file, oldClosing.data(), static_cast<uint32_t>(oldClosing.size()), &restored);
    }
    files_.Close(file);
    area[length] = '\0';
    return code;
  }
  area[length] = '\0';
  if (syncToDisk_) files_.SyncData(file);
  files_.Close(file);
  names_.NoteWriteWorked();
  bodyEnd_ += static_cast<int64_t>(length);
  segmentOpen_ = segmentOpenAfter;
  return kWriteOk;
}

int GpxDayFile::InsertWaypoint(std::string_view line, std::string_view head, std::string_view trackStart) {
  if (blocked_) return kOpenFailed;
  std::string content;
  if (!exists_) {
    content.append(head).append(line).append(trackStart).append(GpxClosingTags(false));
    const int code = ReplaceWhole(content);
    if (code != kWriteOk) return code;
    exists_ = true;
    segmentOpen_ = false;
    waypointsEnd_ = static_cast<int64_t>(head.size() + line.size());
    bodyEnd_ = static_cast<int64_t>(content.size() - kGpxDocumentEnd.size());
    return kWriteOk;
  }
  names_.FormatFileName();
  std::string text;
  if (!ReadAll(&text) || text.size() != static_cast<size_t>(bodyEnd_) + GpxClosingTags(segmentOpen_).size()) {
    // Not as this run left it: mend or put aside first.
    Open();
    if (blocked_) return kOpenFailed;
    if (!exists_) return InsertWaypoint(line, head, trackStart);
    if (!ReadAll(&text)) return FailWrite(kFileReadError, kOpenFailed);
  }
  const auto at = static_cast<size_t>(waypointsEnd_);
  content.reserve(text.size() + line.size());
  content.append(text, 0, at).append(line).append(text, at, std::string::npos);
  const int code = ReplaceWhole(content);
  if (code != kWriteOk) return code;
  waypointsEnd_ += static_cast<int64_t>(line.size());
  bodyEnd_ += static_cast<int64_t>(line.size());
  return kWriteOk;
}

}  // namespace pathmere
