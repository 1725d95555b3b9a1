// A model file read by its native path. The runtime is loaded by programs of its own and stands
// alone: it reads what it is handed, through nothing but the OS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace granny2 {

// Only a regular file opens: a pipe, a device or a folder is refused at once, never waited on.
class ModelFile {
 public:
  ModelFile() = default;
  ~ModelFile();
  ModelFile(const ModelFile&) = delete;
  ModelFile& operator=(const ModelFile&) = delete;

  // Empty when the file is open; otherwise why it is not.
  std::string Open(const char* nativePath);
  // -1 when unknown.
  std::int64_t Size() const { return size_; }
  // Bytes read, 0 at the end, -1 on a read error.
  std::int64_t Read(void* buffer, std::size_t size);

 private:
  std::intptr_t handle_ = -1;
  std::int64_t size_ = -1;
};

}  // namespace granny2
