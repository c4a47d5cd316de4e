// Where a picture goes: standard output ("-") and existing FIFOs or devices are written
// into directly; a plain file (through any symbolic links to it) is written beside
// itself and renamed into place only once complete, so that a failed, abandoned or
// interrupted write never leaves a partial file behind. Used for every picture the
// renderer writes.
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

  // "-" opens standard output, and an existing path that is neither a plain file nor a
  // folder (a FIFO, a device) is opened for writing as it is. Otherwise the path, once
  // its symbolic links are followed, names the file to replace: a temporary file
  // (NAME.XXXXXX) is created beside it with the mode the file has, or for a new file
  // the mode 0666 less the umask; NAME is shortened where the suffix would make the
  // name too long for its folder. Fails with one line in *error ("cannot write PATH:
  // ...") when path names a folder or the file cannot be opened or made.
  bool open(const std::string& path, std::string* error);
  // The stream to write to while open; null otherwise.
  std::FILE* stream() const { return file_; }
  // Flushes the data (to disk for a plain file) and closes the stream; a temporary file
  // is renamed onto the file it replaces.
  bool commit(std::string* error);
  // Closes the stream and removes the temporary file, if any; the path is left as it was.
  void abandon();
  // The error line for a failure while writing.
  std::string failure(const std::string& why) const;

 private:
  bool open_directly(int fd, std::string* error);

  std::string path_;       // as given, for messages
  std::string target_;     // the plain file that the temporary file replaces
  std::string temp_path_;  // empty when written into directly
  std::FILE* file_ = nullptr;
};

// Whether the picture at path is written into as it is, with no temporary file: "-",
// or an existing FIFO or device (symbolic links followed).
bool written_directly(const std::string& path);

// The path that path leads to once its symbolic links are followed (path itself when it
// is no link); the chain is read link by link, so a link to a missing file leads to that
// file's name.
std::string path_after_links(const std::string& path);

// From now on SIGINT, SIGTERM, SIGHUP and SIGQUIT (unless ignored) remove the temporary
// files still open, then end the process by the same signal, as its default action
// would; SIGXFSZ is ignored, so that a write past the file size limit fails with EFBIG.
void clean_up_on_signals();

}  // namespace aerolume
