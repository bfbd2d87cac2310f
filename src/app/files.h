// The ways in which the run writes text files. Text is written as it is held
// (Windows-1252 bytes), with no byte-order mark.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace listelo {

class Run;

enum class FileWriteMode { kTruncate, kAppend };
enum class FilePrivacy { kShared, kOwnerOnly };  // kOwnerOnly: 0600 on POSIX hosts

// Writes `bytes` to a host file, creating it when missing. Raises IoError naming the
// file and the reason when it cannot be opened or written.
void WriteFileBytes(const std::filesystem::path& file, std::string_view bytes, FileWriteMode mode,
                    FilePrivacy privacy = FilePrivacy::kShared);

// The run log's file. Every line reaches the file with one write at the moment it is
// logged, so that the file reads at any time as if it had been opened and closed
// around each line. On POSIX hosts it stays open between lines rather than being
// looked up, opened and closed hundreds of thousands of times on a big stock; it is
// opened again when it was deleted meanwhile (a missing folder then fails as it would
// have). Raises IoError naming the file and the reason.
class LogFileWriter {
 public:
  LogFileWriter() = default;
  ~LogFileWriter();
  LogFileWriter(const LogFileWriter&) = delete;
  LogFileWriter& operator=(const LogFileWriter&) = delete;

  void Append(const std::filesystem::path& file, std::string_view bytes);
  // Creates the file, or empties it.
  void Truncate(const std::filesystem::path& file);

 private:
  // Whether the open file is still `file`, and still has a name.
  bool Holds(const std::filesystem::path& file) const;
  void Open(const std::filesystem::path& file, FileWriteMode mode);
  void Close();

  std::filesystem::path path_;
  int fd_ = -1;
};

// Appends `line` and CR LF to the file (created when missing). Raises IoError.
void AppendLineToFile(const Run& run, std::string_view file_name, std::string_view line);

// Replaces the file's content with exactly `content`. Raises IoError.
void SaveStringToFile(const Run& run, std::string_view file_name, std::string_view content);

// Replaces the file with exactly `content`, creating missing folders. The file is
// replaced in one step (a temporary file beside it, then a rename), so a failed write
// never leaves a shortened file where a whole one stood. It never fails towards its
// caller; a failure becomes one memo line naming the file and the reason.
void WriteAnsiStringToFile(Run& run, std::string_view content, std::string_view file_name);

// The same without a run; raises IoError naming the file and the reason. With
// kOwnerOnly the file is never readable by others, not even while it is written.
void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content,
                           FilePrivacy privacy = FilePrivacy::kShared);

// The same for content written in pieces, so that a file of tens of megabytes never has
// to be held whole: the pieces go to a temporary file beside `file`, which takes its
// place at Commit. Missing folders are created first. A failure raises IoError naming the
// file and the reason and removes the temporary file, as does a writer let go without
// Commit: the old file then stays as it was.
class AtomicFileWriter {
 public:
  AtomicFileWriter(const std::filesystem::path& file, FilePrivacy privacy = FilePrivacy::kShared);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(std::string_view bytes);
  void Commit();

 private:
  void Discard();
#ifndef _WIN32
  [[noreturn]] void Fail(int error);
  int fd_ = -1;
#endif
  std::filesystem::path file_;
  std::filesystem::path temp_;            // empty once committed or discarded
  [[maybe_unused]] FilePrivacy privacy_;  // the temporary file is reopened per piece on Windows
};

}  // namespace listelo
