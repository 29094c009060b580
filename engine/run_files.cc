// Opening, sharing, checking and closing the six files of a run.

#include "engine/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace karvel {

namespace {

const char* const kOutputRoles[3] = {"destination", "doubles", "rest"};
const char* const kOutputTitles[3] = {"Destination", "Doubles", "Rest"};

// What makes two names one file: the same normalised path, or the same
// existing file (device and inode, which also catches hard links).
struct FileIdentity {
  std::string path;  // absolute, normalised, links resolved where they exist
  bool exists = false;
  bool regular = false;  // a regular file (devices may be named twice)
  dev_t device = 0;
  ino_t inode = 0;
};

// The absolute path that `name` leads to, following symbolic links even where
// they point at a file that does not exist yet (opening such a link creates
// its target).
std::filesystem::path resolved_path(const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path path = fs::absolute(name, error).lexically_normal();
  for (int links = 0; links < 40; ++links) {
    fs::path parent = fs::weakly_canonical(path.parent_path(), error);
    if (!error) path = parent / path.filename();
    if (!fs::is_symlink(fs::symlink_status(path, error))) break;
    fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = (target.is_absolute() ? target : path.parent_path() / target).lexically_normal();
  }
  fs::path canonical = fs::weakly_canonical(path, error);
  return error ? path : canonical;
}

FileIdentity identify(const std::string& name) {
  FileIdentity id;
  id.path = resolved_path(name).string();
  struct stat st;
  if (stat(name.c_str(), &st) == 0) {
    id.exists = true;
    id.regular = S_ISREG(st.st_mode);
    id.device = st.st_dev;
    id.inode = st.st_ino;
  }
  return id;
}

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
  return a.path == b.path;
}

// A file that the run would both write and read, or write twice over.
bool conflicting(const FileIdentity& output, const FileIdentity& other) {
  if (output.exists && !output.regular) return false;  // /dev/null and the like
  return same_file(output, other);
}

// Opens an input: regular files only, and without waiting on a FIFO.
int open_input(const std::string& name) {
  int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

Status write_error(const char* role, const OutputFile& file) {
  return Status::Error(
      format_text("Can't write %s file %s: %s", role, file.name().c_str(), strerror(file.error())));
}

// Refuses a file set in which an output would damage an input or another
// output. Empty names are left to the opening, which reports them.
Status check_file_set(const RunFileNames& names) {
  struct Role {
    const char* title;
    const char* role;
    const std::string* name;
  };
  const Role outputs[4] = {{"Log", "log", &names.log},
                           {"Destination", "destination", &names.dst},
                           {"Doubles", "doubles", &names.dbl},
                           {"Rest", "rest", &names.rst}};
  const Role inputs[2] = {{"Source", "source", &names.src}, {"Keywords", "keywords", &names.kwd}};
  FileIdentity output_ids[4];
  for (int o = 0; o < 4; ++o) {
    if (outputs[o].name->empty()) continue;
    output_ids[o] = identify(*outputs[o].name);
    for (const Role& input : inputs) {
      if (input.name->empty()) continue;
      if (conflicting(output_ids[o], identify(*input.name))) {
        return Status::Error(format_text("%s file %s is also the %s file", outputs[o].title,
                                         outputs[o].name->c_str(), input.role));
      }
    }
  }
  if (names.log.empty()) return Status::OK();
  for (int o = 1; o < 4; ++o) {
    if (outputs[o].name->empty()) continue;
    if (conflicting(output_ids[0], output_ids[o])) {
      return Status::Error(
          format_text("Log file %s is also the %s file", names.log.c_str(), outputs[o].role));
    }
  }
  return Status::OK();
}

}  // namespace

RunFiles::~RunFiles() {
  close_inputs_and_outputs();
  close_protocol();
  release();
}

Status RunFiles::open_run_files(const RunFileNames& names) {
  Status status = check_file_set(names);
  if (!status.ok()) return status;
  // Every file that exists is locked before anything is created or written;
  // a file created below is locked as soon as it is there.
  const std::pair<const char*, const std::string*> roles[6] = {
      {"Log", &names.log},     {"Source", &names.src}, {"Destination", &names.dst},
      {"Doubles", &names.dbl}, {"Rest", &names.rst},   {"Keywords", &names.kwd}};
  for (const auto& [title, name] : roles) {
    bool exclusive = name != &names.src && name != &names.kwd;
    if (!name->empty()) status = locks_.lock(title, *name, exclusive);
    if (!status.ok()) return status;
  }

  if (names.log.empty()) return Status::Error("Log file name not set");
  status = open_protocol(names.log);
  if (!status.ok()) return status;
  if (names.src.empty()) return Status::Error("Source file name not set");
  source_.name = names.src;
  source_.fd = open_input(names.src);
  if (source_.fd < 0) {
    return Status::Error(format_text("Can't open source file %s", names.src.c_str()));
  }
  status = locks_.lock("Source", names.src, false);
  if (!status.ok()) return status;
  const std::string* output_names[3] = {&names.dst, &names.dbl, &names.rst};
  for (int which = 0; which < 3; ++which) {
    status = open_output(which, *output_names[which]);
    if (!status.ok()) return status;
  }
  if (names.kwd.empty()) return Status::Error("Keywords file name not set");
  kwd_fd_ = open_input(names.kwd);
  if (kwd_fd_ < 0) {
    return Status::Error(format_text("Can't open keywords file %s", names.kwd.c_str()));
  }
  return locks_.lock("Keywords", names.kwd, false);
}

Status RunFiles::open_protocol(const std::string& name) {
  int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return Status::Error(format_text("Can't open log file %s", name.c_str()));
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  Status status = locks_.lock("Log", name, true);
  if (!status.ok()) {
    close(fd);  // another run's protocol: not a byte of this run goes there
    return status;
  }
  // Created anew, now that it is this run's own.
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
    close(fd);
    return Status::Error(format_text("Can't open log file %s", name.c_str()));
  }
  log_.adopt(fd, name);
  return Status::OK();
}

Status RunFiles::open_output(int which, const std::string& name) {
  if (name.empty()) return Status::Error(format_text("%s file name not set", kOutputTitles[which]));
  FileIdentity id = identify(name);
  for (int earlier = 0; earlier < which; ++earlier) {
    if (same_file(identify(names_[earlier]), id)) {
      stream_[which] = stream_[earlier];
      names_[which] = name;
      return Status::OK();
    }
  }
  // Opened without waiting: a FIFO with no reader fails at once instead of
  // hanging the run. Writes then block as usual.
  int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
  int stream_fd = fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 0);
  struct stat st;
  if (stream_fd < 0 || fstat(fd, &st) != 0) {
    if (fd >= 0) close(fd);
    if (stream_fd >= 0) close(stream_fd);
    return Status::Error(format_text("Can't open %s file %s", kOutputRoles[which], name.c_str()));
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  held_[which] = {fd, S_ISREG(st.st_mode), st.st_size};
  own_[which] = std::make_unique<OutputFile>();
  own_[which]->adopt(stream_fd, name);
  stream_[which] = own_[which].get();
  names_[which] = name;
  // The size that counts is the one under the lock.
  Status status = locks_.lock(kOutputTitles[which], name, true);
  if (status.ok() && fstat(fd, &st) == 0) held_[which].size = st.st_size;
  return status;
}

void RunFiles::close_keywords() {
  if (kwd_fd_ >= 0) close(kwd_fd_);
  kwd_fd_ = -1;
}

Status RunFiles::check_outputs() const {
  if (log_.failed()) return write_error("log", log_);
  for (int which = 0; which < 3; ++which) {
    if (own_[which] && own_[which]->failed()) return write_error(kOutputRoles[which], *own_[which]);
  }
  return Status::OK();
}

Status RunFiles::sync_outputs() {
  // The disk takes the three files at once; each sync then waits for its own.
  for (int which = 0; which < 3; ++which) {
    if (own_[which]) own_[which]->start_writeback();
  }
  for (int which = 0; which < 3; ++which) {
    if (own_[which] && !own_[which]->sync()) return write_error(kOutputRoles[which], *own_[which]);
  }
  return check_outputs();
}

Status RunFiles::restore_outputs(bool* added) {
  *added = false;
  Status first;
  for (int which = 0; which < 3; ++which) {
    if (!own_[which]) continue;
    own_[which]->discard();
    if (own_[which]->bytes_added() == 0) continue;
    *added = true;
    const Held& held = held_[which];
    if (!held.regular || ftruncate(held.fd, held.size) == 0 || !first.ok()) continue;
    first = Status::Error(format_text("Can't restore %s file %s: %s", kOutputRoles[which],
                                      names_[which].c_str(), strerror(errno)));
  }
  return first;
}

void RunFiles::release() {
  locks_.release();
  for (int which = 0; which < 3; ++which) {
    if (held_[which].fd >= 0) close(held_[which].fd);
    held_[which] = Held();
    own_[which].reset();
  }
}

Status RunFiles::close_inputs_and_outputs() {
  source_.map.unmap();
  if (source_.fd >= 0) close(source_.fd);
  source_.fd = -1;
  Status first;
  for (int which = 0; which < 3; ++which) {
    if (!own_[which]) continue;
    own_[which]->close();  // keeps its failure, if any
    if (own_[which]->failed() && first.ok()) {
      first = write_error(kOutputRoles[which], *own_[which]);
    }
  }
  for (OutputFile*& stream : stream_) stream = nullptr;
  close_keywords();
  return first;
}

Status RunFiles::close_protocol() {
  if (!log_.is_open()) return Status::OK();
  if (!log_.close()) return write_error("log", log_);
  return Status::OK();
}

}  // namespace karvel
