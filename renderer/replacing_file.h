// A file written beside its final path and renamed onto it only once complete, so a
// failed or abandoned write never leaves a partial file behind. Used for every picture
// the renderer writes.
#pragma once

#include <cstdio>
#include <string>

namespace aerolume {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() { abandon(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file (path.XXXXXX, mode 0644) beside path. Fails with one line
  // in *error ("cannot write PATH: ...") when path names a folder or no file can be made
  // in its folder.
  bool open(const std::string& path, std::string* error);
  // The stream to write to while open; null otherwise.
  std::FILE* stream() const { return file_; }
  // Flushes the data to disk, closes the file and renames it onto the path.
  bool commit(std::string* error);
  // Closes and removes the temporary file, if any; the path is left as it was.
  void abandon();
  // The error line for a failure of the caller's own while writing.
  std::string failure(const std::string& why) const { return "cannot write " + path_ + ": " + why; }

 private:
  std::string path_;
  std::string temp_path_;
  std::FILE* file_ = nullptr;
};

}  // namespace aerolume
