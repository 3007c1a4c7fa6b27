#include "outlook/posix/eml_reader.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <gmime/gmime.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "outlook/posix/gobject_ptr.h"
#include "outlook/posix/mime_mail.h"
#include "support/posix/unique_fd.h"

namespace trovex::store {
namespace {

namespace fs = std::filesystem;

// Files up to this size are read whole: one read, where GMime would seek
// and read every 4 KB and read each attachment a second time on decoding.
// Larger ones are parsed from the file, so memory does not grow with them.
constexpr size_t kInMemoryLimit = 8 * 1024 * 1024;

[[noreturn]] void ThrowUnreadable(const fs::path& file, int error) {
  throw outlook::OutlookError(
      fmt::format("Die Datei \"{}\" kann nicht gelesen werden: {}", file.string(), std::strerror(error)));
}

// Whether the first line ends in CRLF; nested messages are written out the
// same way.
bool UsesCrlf(std::string_view start) {
  const size_t newline = start.find('\n');
  return newline != std::string_view::npos && newline > 0 && start[newline - 1] == '\r';
}

struct ByteArrayUnref {
  void operator()(GByteArray* bytes) const noexcept { g_byte_array_unref(bytes); }
};

// The whole file in memory, `size` bytes as fstat saw it; nullptr when it
// has grown past kInMemoryLimit since.
GObjectPtr<GMimeStream> ReadWhole(int fd, size_t size, const fs::path& file) {
  std::unique_ptr<GByteArray, ByteArrayUnref> bytes(g_byte_array_new());
  g_byte_array_set_size(bytes.get(), static_cast<guint>(size + 1));  // +1: sees EOF without a second call
  size_t length = 0;
  for (;;) {
    if (length == bytes->len) {
      if (length > kInMemoryLimit) return nullptr;
      g_byte_array_set_size(bytes.get(), static_cast<guint>(std::min(length * 2, kInMemoryLimit + 1)));
    }
    const ssize_t n = ::read(fd, bytes->data + length, bytes->len - length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowUnreadable(file, errno);
    if (n == 0) break;
    length += static_cast<size_t>(n);
  }
  g_byte_array_set_size(bytes.get(), static_cast<guint>(length));
  // Parts refer to the bytes by offset, so memory holds the mail once.
  return GObjectPtr<GMimeStream>(g_mime_stream_mem_new_with_byte_array(bytes.release()));
}

std::shared_ptr<const StoreMail> ParseMailFile(const fs::path& file) {
  MailParserOptions();  // sets GMime up before the first stream
  // O_NONBLOCK: a FIFO put in place of a mail must not stall the run.
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) ThrowUnreadable(file, errno);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) ThrowUnreadable(file, errno);
  if (!S_ISREG(info.st_mode)) ThrowUnreadable(file, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);

  char start[1024];
  ssize_t startLength = 0;
  GObjectPtr<GMimeStream> stream;
  if (static_cast<std::uintmax_t>(info.st_size) <= kInMemoryLimit)
    stream = ReadWhole(fd.Get(), static_cast<size_t>(info.st_size), file);
  if (stream) {
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    startLength = std::min<ssize_t>(bytes->len, sizeof start);
    std::memcpy(start, bytes->data, static_cast<size_t>(startLength));
  } else {
    do startLength = ::pread(fd.Get(), start, sizeof start, 0);
    while (startLength < 0 && errno == EINTR);
    if (startLength < 0 || ::lseek(fd.Get(), 0, SEEK_SET) != 0) ThrowUnreadable(file, errno);
    // Seekable: the parser notes where each part lies instead of copying it,
    // and the parts decode from the file.
    stream.reset(g_mime_stream_fs_new(fd.Release()));
  }
  return ParseMail(stream.get(), UsesCrlf(std::string_view(start, static_cast<size_t>(startLength))),
                   info.st_mtim.tv_sec);
}

// Parses the mails the export will ask for next on threads of their own,
// while the export decodes and saves the current mail's attachments.
// Which mails come next is a guess from the store's order; a wrong guess
// costs only the work done ahead.
class EmlFileReader final : public MailFileReader {
 public:
  EmlFileReader(std::vector<fs::path> order, unsigned threads)
      : order_(std::move(order)), reach_(kAheadPerThread * threads) {
    for (size_t i = 0; i < order_.size(); ++i) position_.emplace(order_[i].native(), i);
    if (order_.size() > 1)
      for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkAhead(); });
  }

  ~EmlFileReader() override {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  std::shared_ptr<const StoreMail> Read(const fs::path& file) override {
    std::unique_lock lock(mutex_);
    for (auto it = recent_.begin(); it != recent_.end(); ++it) {
      if (it->first == file) {
        std::rotate(recent_.begin(), it, it + 1);
        return recent_.front().second;
      }
    }
    if (const auto at = position_.find(file.native()); at != position_.end()) {
      const size_t index = at->second;
      MoveWindow(index);
      done_.wait(lock, [&] { return !Busy(index); });
      if (const auto ready = ahead_.find(index); ready != ahead_.end()) {
        Parsed parsed = std::move(ready->second);
        ahead_.erase(ready);
        // A failure is not remembered: asked again, the file is read again.
        if (parsed.error) std::rethrow_exception(parsed.error);
        Remember(file, parsed.mail);
        return parsed.mail;
      }
    }
    lock.unlock();
    auto mail = ParseMailFile(file);
    lock.lock();
    Remember(file, mail);
    return mail;
  }

 private:
  struct Parsed {
    std::shared_ptr<const StoreMail> mail;
    std::exception_ptr error;
  };

  bool Busy(size_t index) const { return std::find(busy_.begin(), busy_.end(), index) != busy_.end(); }
  bool WithinReach(size_t index) const { return index >= first_ && index <= first_ + reach_; }

  // Work ahead of `index`: keep what lies within reach, forget the rest.
  // The threads are woken once half the reach is free, not for every mail:
  // each wake costs two system calls and a switch on both sides.
  void MoveWindow(size_t index) {
    first_ = index;
    std::erase_if(ahead_, [&](auto& entry) {
      if (WithinReach(entry.first)) return false;
      Retire(std::move(entry.second.mail));
      return true;
    });
    if (next_ <= index || next_ > index + reach_ + 1) next_ = index + 1;
    const size_t free = first_ + reach_ + 1 - next_;
    if (free * 2 >= reach_) wake_.notify_all();
  }

  // Moves next_ past the mails parsed or under way; true when one within
  // reach is left.
  bool NextWithinReach() {
    while (next_ < order_.size() && (ahead_.contains(next_) || Busy(next_))) ++next_;
    return next_ < order_.size() && WithinReach(next_);
  }

  void WorkAhead() {
    // Signals such as Ctrl-C are the export's to handle, not these threads'.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || NextWithinReach(); });
      if (stop_) return;
      const size_t index = next_++;
      busy_.push_back(index);
      const fs::path file = order_[index];
      std::vector<std::shared_ptr<const StoreMail>> retired = std::exchange(retired_, {});
      lock.unlock();
      retired.clear();
      Parsed parsed;
      try {
        parsed.mail = ParseMailFile(file);
      } catch (...) {
        parsed.error = std::current_exception();
      }
      lock.lock();
      std::erase(busy_, index);
      if (WithinReach(index)) ahead_[index] = std::move(parsed);
      done_.notify_all();
    }
  }

  void Remember(const fs::path& file, std::shared_ptr<const StoreMail> mail) {
    if (recent_.size() == kRecent) {
      Retire(std::move(recent_.back().second));
      recent_.pop_back();
    }
    recent_.insert(recent_.begin(), {file, std::move(mail)});
  }

  // Freeing a parsed mail (its GMime objects and bytes) is work the threads
  // that parse can take from the export's own. They free only when they
  // take work, which mails asked for outside the order never give them:
  // beyond what reading ahead holds anyway, the caller frees.
  void Retire(std::shared_ptr<const StoreMail> mail) {
    if (mail && !workers_.empty() && retired_.size() < reach_ + kRecent) retired_.push_back(std::move(mail));
  }

  // The export fetches a mail several times in a row (count, report line,
  // attachments) but never returns to it later; a handful covers that while
  // memory stays bounded by the few largest mails.
  static constexpr size_t kRecent = 4;
  // Mails parsed ahead per thread; they hold their files' bytes (up to
  // kInMemoryLimit each), not decoded ones.
  static constexpr size_t kAheadPerThread = 6;

  const std::vector<fs::path> order_;
  std::unordered_map<std::string, size_t> position_;
  const size_t reach_;  // how far after the last mail asked for the threads parse

  std::mutex mutex_;
  std::condition_variable wake_;  // the threads: more to do, or stop
  std::condition_variable done_;  // readers: a thread finished a mail
  // Most recent first; a file that holds no mail is remembered as nullptr.
  std::vector<std::pair<fs::path, std::shared_ptr<const StoreMail>>> recent_;
  std::map<size_t, Parsed> ahead_;
  std::vector<size_t> busy_;                               // under way on a thread
  std::vector<std::shared_ptr<const StoreMail>> retired_;  // done with, for a thread to free
  size_t first_ = 0;                                       // the last index asked for
  size_t next_ = 1;                                        // where the threads look for work
  bool stop_ = false;
  std::vector<std::thread> workers_;  // last: they start once everything above is set up
};

}  // namespace

unsigned DefaultParseThreads() {
  // Beyond a few, the one thread that decodes and writes is the limit.
  constexpr unsigned kMost = 4;
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(cores > 1 ? cores - 1 : 1u, 1u, kMost);
}

std::shared_ptr<MailFileReader> MakeEmlFileReader(std::vector<fs::path> order, unsigned threads) {
  return std::make_shared<EmlFileReader>(std::move(order), threads ? threads : DefaultParseThreads());
}

}  // namespace trovex::store
