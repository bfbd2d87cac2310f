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

// Appends `line` and CR LF to the file (created when missing). Raises IoError.
void AppendLineToFile(const Run& run, std::string_view file_name, std::string_view line);

// Replaces the file's content with exactly `content`. Raises IoError.
void SaveStringToFile(const Run& run, std::string_view file_name, std::string_view content);

// Replaces the file with exactly `content`, creating missing folders. The file is
// replaced in one step (a temporary file beside it, then a rename), so a failed write
// never leaves a shortened file where a whole one stood. It never fails towards its
// caller; a failure becomes one memo line naming the file and the reason.
void WriteAnsiStringToFile(Run& run, std::string_view content, std::string_view file_name);

// The same without a run; raises IoError naming the file and the reason.
void ReplaceFileAtomically(const std::filesystem::path& file, std::string_view content);

}  // namespace listelo
