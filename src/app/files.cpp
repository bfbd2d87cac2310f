#include "app/files.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "app/errors.h"
#include "app/run.h"
#include "platform/paths.h"

namespace listelo {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void FailWrite(const fs::path& file, const std::string& reason) {
  throw IoError("Erreur d'écriture du fichier " + PathMapper::ToText(file) + " : " + reason);
}

std::string ErrnoText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

#ifndef _WIN32
// Writes all of `bytes`, retrying short writes; returns errno on failure, 0 on success.
int WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return 0;
}
#endif

}  // namespace

void WriteFileBytes(const fs::path& file, std::string_view bytes, FileWriteMode mode,
                    FilePrivacy privacy) {
#ifdef _WIN32
  (void)privacy;
  std::ofstream out(
      file, std::ios::binary | (mode == FileWriteMode::kAppend ? std::ios::app : std::ios::trunc));
  if (!out) FailWrite(file, "ouverture impossible");
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) FailWrite(file, "écriture impossible");
#else
  int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | (mode == FileWriteMode::kAppend ? O_APPEND : O_TRUNC);
  mode_t perms = privacy == FilePrivacy::kOwnerOnly ? 0600 : 0666;
  int fd = ::open(file.c_str(), flags, perms);
  if (fd < 0) FailWrite(file, ErrnoText(errno));
  int error = WriteAll(fd, bytes);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) FailWrite(file, ErrnoText(error));
#endif
}

LogFileWriter::~LogFileWriter() { Close(); }

void LogFileWriter::Close() {
#ifndef _WIN32
  if (fd_ >= 0) ::close(fd_);
#endif
  fd_ = -1;
  path_.clear();
}

#ifdef _WIN32
bool LogFileWriter::Holds(const fs::path&) const { return false; }

void LogFileWriter::Open(const fs::path&, FileWriteMode) {}

void LogFileWriter::Append(const fs::path& file, std::string_view bytes) {
  WriteFileBytes(file, bytes, FileWriteMode::kAppend, FilePrivacy::kOwnerOnly);
}

void LogFileWriter::Truncate(const fs::path& file) {
  WriteFileBytes(file, "", FileWriteMode::kTruncate, FilePrivacy::kOwnerOnly);
}
#else
bool LogFileWriter::Holds(const fs::path& file) const {
  struct stat st;
  return fd_ >= 0 && file == path_ && ::fstat(fd_, &st) == 0 && st.st_nlink > 0;
}

void LogFileWriter::Open(const fs::path& file, FileWriteMode mode) {
  Close();
  const int flags =
      O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND | (mode == FileWriteMode::kTruncate ? O_TRUNC : 0);
  fd_ = ::open(file.c_str(), flags, 0600);
  if (fd_ < 0) FailWrite(file, ErrnoText(errno));
  path_ = file;
}

void LogFileWriter::Append(const fs::path& file, std::string_view bytes) {
  if (!Holds(file)) Open(file, FileWriteMode::kAppend);
  if (int error = WriteAll(fd_, bytes); error != 0) {
    Close();
    FailWrite(file, ErrnoText(error));
  }
}

void LogFileWriter::Truncate(const fs::path& file) {
  if (!Holds(file)) {
    Open(file, FileWriteMode::kTruncate);
  } else if (::ftruncate(fd_, 0) != 0) {
    const int error = errno;
    Close();
    FailWrite(file, ErrnoText(error));
  }
}
#endif

void AppendLineToFile(const Run& run, std::string_view file_name, std::string_view line) {
  std::string bytes(line);
  bytes += "\r\n";
  WriteFileBytes(run.HostPath(file_name), bytes, FileWriteMode::kAppend);
}

void SaveStringToFile(const Run& run, std::string_view file_name, std::string_view content) {
  WriteFileBytes(run.HostPath(file_name), content, FileWriteMode::kTruncate);
}

AtomicFileWriter::AtomicFileWriter(const fs::path& file, FilePrivacy privacy)
    : file_(file), privacy_(privacy) {
  std::error_code ec;
  fs::path folder = file.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) FailWrite(file, ec.message());
  }
#ifdef _WIN32
  temp_ = file;
  temp_ += ".tmp";
  try {
    WriteFileBytes(temp_, "", FileWriteMode::kTruncate, privacy);
  } catch (...) {
    fs::remove(temp_, ec);
    throw;
  }
#else
  std::string temp_name = ".";
  temp_name += file.filename().string();
  temp_name += ".XXXXXX";
  std::string pattern = (folder.empty() ? fs::path(".") : folder) / temp_name;
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) FailWrite(file, ErrnoText(errno));
  temp_ = pattern;
  // mkstemp makes the file private; a shared file gets the usual permissions.
  if (privacy == FilePrivacy::kShared) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd_, 0666 & ~mask) != 0) Fail(errno);
  }
#endif
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Discard() {
  if (temp_.empty()) return;
#ifndef _WIN32
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
#endif
  std::error_code ec;
  fs::remove(temp_, ec);
  temp_.clear();
}

#ifdef _WIN32
void AtomicFileWriter::Write(std::string_view bytes) {
  try {
    WriteFileBytes(temp_, bytes, FileWriteMode::kAppend, privacy_);
  } catch (...) {
    Discard();
    throw;
  }
}

void AtomicFileWriter::Commit() {
  std::error_code ec;
  fs::rename(temp_, file_, ec);
  if (ec) {
    Discard();
    FailWrite(file_, "remplacement impossible");
  }
  temp_.clear();
}
#else
void AtomicFileWriter::Fail(int error) {
  Discard();
  FailWrite(file_, ErrnoText(error));
}

void AtomicFileWriter::Write(std::string_view bytes) {
  if (int error = WriteAll(fd_, bytes); error != 0) Fail(error);
}

void AtomicFileWriter::Commit() {
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) Fail(errno);
  if (::rename(temp_.c_str(), file_.c_str()) != 0) Fail(errno);
  temp_.clear();
}
#endif

void ReplaceFileAtomically(const fs::path& file, std::string_view content, FilePrivacy privacy) {
  AtomicFileWriter writer(file, privacy);
  writer.Write(content);
  writer.Commit();
}

void WriteAnsiStringToFile(Run& run, std::string_view content, std::string_view file_name) {
  try {
    ReplaceFileAtomically(run.HostPath(file_name), content);
  } catch (const std::exception& e) {
    // The caller goes on as if the file had been written; the operator sees why it was not.
    run.window().AddLine(e.what());
  }
}

}  // namespace listelo
