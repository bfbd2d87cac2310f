// A C stream (for the libraries that read and write through one), closed when its owner
// goes.
#pragma once

#include <cstdio>
#include <memory>

namespace listelo {

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileClose>;

}  // namespace listelo
