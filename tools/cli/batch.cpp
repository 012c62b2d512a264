#include "batch.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "layout.h"
#include "progress.h"
#include "record_reader.h"
#include "row_answerer.h"
#include "state/state.h"

namespace GantrixCli {

namespace {

// Chunks in flight (read, not yet written) hold at most this much and one chunk more,
// whatever the input and the number of jobs; a chunk's answers take at most 6 bytes per byte
// read (1.1 MiB at most: a chunk's bytes and a record at the limit). Written chunks keep their
// buffers for reuse up to kIdleBudget in all.
constexpr std::size_t kBudget = std::size_t{24} << 20;
constexpr std::size_t kIdleBudget = std::size_t{8} << 20;

// Writes all of data to fd, waiting when a non-blocking one is full; false with errno set when
// a write fails. SIGPIPE may be ignored, so a closed pipe shows here as EPIPE.
bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n >= 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd out{fd, POLLOUT, 0};
      if (poll(&out, 1, -1) < 0 && errno != EINTR) return false;
    } else if (errno != EINTR) {
      return false;
    }
  }
  return true;
}

// Where the answered chunks go, in order: standard output, the progress bar and the tally.
class Output {
 public:
  explicit Output(std::uint64_t progress_total) : progress_(progress_total) {}

  // False when the write failed: it is reported, and the batch stops.
  bool put(std::string_view bytes) {
    if (write_all(STDOUT_FILENO, bytes)) return true;
    std::fprintf(stderr, "gantrix: cannot write the output: %s\n", std::strerror(errno));
    return false;
  }
  bool put(const Chunk& chunk) {
    if (!put(chunk.out)) return false;
    tally_ += chunk.tally;
    bytes_read_ = chunk.bytes_read;
    progress_.update(bytes_read_, tally_.rows());
    return true;
  }
  void finish() { progress_.finish(bytes_read_, tally_.rows()); }
  const Tally& tally() const { return tally_; }

 private:
  Progress progress_;
  Tally tally_;
  std::uint64_t bytes_read_ = 0;
};

// One thread reads, `jobs` threads answer, the calling thread writes. Chunks circulate through
// a ring of 2 * jobs + 2 slots, and the reader waits while the chunks in flight hold the
// budget: memory stays bounded whatever the input and the number of jobs.
class Pipeline {
 public:
  Pipeline(RecordReader& reader, const BatchOptions& options, const Layout& layout,
           const AirportColumns* airports)
      : reader_(reader), options_(options), layout_(layout), airports_(airports),
        slots_(2 * options.jobs + 2),
        answered_(slots_.size()), counted_(slots_.size()) {}

  // Runs the batch from its first chunk; false when a write failed (the reader and workers
  // are stopped).
  bool run(Chunk& first, Output& output) {
    // A pipe that the writer makes readable to wake the reader; without one (no descriptor
    // left), a stopped batch may wait for its next input.
    int wake[2] = {-1, -1};
    const bool can_wake = pipe2(wake, O_CLOEXEC) == 0;
    if (can_wake) reader_.watch(wake[0]);
    std::swap(slots_[0], first);
    std::thread reader([&] { read(); });
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < options_.jobs; ++i) workers.emplace_back([this] { answer(); });
    const bool written = write(output);
    if (!written && can_wake) {
      // The reader may be waiting for input that is slow to come: wake it.
      [[maybe_unused]] const ssize_t ignored = ::write(wake[1], "", 1);
    }
    reader.join();
    for (auto& worker : workers) worker.join();
    if (can_wake) {
      close(wake[0]);
      close(wake[1]);
    }
    return written;
  }

 private:
  std::size_t slot(std::uint64_t sequence) const { return sequence % slots_.size(); }

  // Counts a filled chunk in flight: its text, and the room its answers may take, reserved
  // now so that answering it allocates nothing more.
  void reserve(std::size_t s) {
    Chunk& chunk = slots_[s];
    const std::size_t out = RowAnswerer::output_bound(chunk, layout_, airports_);
    if (chunk.out.capacity() < out) std::string().swap(chunk.out);  // so reserve takes no more
    chunk.out.reserve(out);
    std::lock_guard lock(mutex_);
    counted_[s] = chunk.bytes();
    in_flight_ += counted_[s];
  }

  void read() {
    reserve(0);
    publish(1, true);
    for (std::uint64_t sequence = 1;; ++sequence) {
      const std::size_t s = slot(sequence);
      {
        std::unique_lock lock(mutex_);
        slot_free_.wait(lock, [&] {
          return stop_ || (sequence < written_ + slots_.size() &&
                           (in_flight_ < kBudget || sequence == written_));
        });
        if (stop_) return;
        idle_ -= counted_[s];
      }
      // The slot is the reader's alone until it is counted as read.
      const bool more = reader_.fill(slots_[s]);
      if (more) reserve(s);
      if (!publish(sequence + (more ? 1 : 0), more)) return;
    }
  }

  bool publish(std::uint64_t read, bool more) {
    std::lock_guard lock(mutex_);
    read_ = read;
    input_done_ = !more;
    work_ready_.notify_all();
    answer_ready_.notify_all();
    return more;
  }

  void answer() {
    RowAnswerer answerer(options_, layout_, airports_);
    for (;;) {
      std::uint64_t sequence;
      {
        std::unique_lock lock(mutex_);
        work_ready_.wait(lock, [&] { return stop_ || taken_ < read_ || input_done_; });
        if (stop_ || taken_ == read_) return;  // stopped, or nothing left to read
        sequence = taken_++;
      }
      answerer.answer(slots_[slot(sequence)]);
      std::lock_guard lock(mutex_);
      answered_[slot(sequence)] = true;
      answer_ready_.notify_all();
    }
  }

  bool write(Output& output) {
    for (std::uint64_t sequence = 0;; ++sequence) {
      const std::size_t s = slot(sequence);
      Chunk& chunk = slots_[s];
      {
        std::unique_lock lock(mutex_);
        answer_ready_.wait(lock,
                           [&] { return answered_[s] || (input_done_ && sequence == read_); });
        if (!answered_[s]) return true;  // every chunk written
      }
      const bool written = output.put(chunk);
      std::lock_guard lock(mutex_);
      if (!written) {
        stop_ = true;
        work_ready_.notify_all();
        slot_free_.notify_all();
        return false;
      }
      in_flight_ -= counted_[s];
      // Its buffers stay for the next chunk in this slot while the idle ones hold little.
      if (idle_ + chunk.bytes() > kIdleBudget) chunk.release();
      counted_[s] = chunk.bytes();
      idle_ += counted_[s];
      answered_[s] = false;
      written_ = sequence + 1;
      slot_free_.notify_all();
    }
  }

  RecordReader& reader_;
  const BatchOptions& options_;
  const Layout& layout_;
  const AirportColumns* airports_;
  std::vector<Chunk> slots_;
  std::mutex mutex_;
  std::condition_variable slot_free_, work_ready_, answer_ready_;
  // Chunks counted from 0: read_ filled, taken_ given to a worker, written_ written.
  std::uint64_t read_ = 0, taken_ = 0, written_ = 0;
  std::vector<bool> answered_;        // per slot: answered, not yet written
  std::vector<std::size_t> counted_;  // per slot: bytes counted in in_flight_ or idle_
  std::size_t in_flight_ = 0, idle_ = 0;
  bool input_done_ = false, stop_ = false;
};

// The same work on the calling thread alone: no thread is started for --jobs 1.
bool run_in_line(RecordReader& reader, const BatchOptions& options, const Layout& layout,
                 const AirportColumns* airports, Chunk& chunk, Output& output) {
  RowAnswerer answerer(options, layout, airports);
  do {
    answerer.answer(chunk);
    if (!output.put(chunk)) return false;  // the chunk keeps its buffers: one chunk's worth
  } while (reader.fill(chunk));
  return true;
}

// Input size for the progress bar, or 0 when none should be shown.
std::uint64_t progress_total(const struct stat& info, const BatchOptions& options) {
  if (options.quiet || options.path == "-" || !isatty(STDERR_FILENO) || isatty(STDOUT_FILENO) ||
      !S_ISREG(info.st_mode))
    return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

// The header, or nothing: CSV output starts with the input's header extended with the answer
// columns, under the input's byte order mark.
std::string header_out(const BatchOptions& options, const Layout& layout, const Chunk& first,
                       bool bom) {
  std::string out;
  if (options.format == Format::json) return out;
  if (bom) out = "\xEF\xBB\xBF";
  if (!layout.header) return out;
  const ChunkRow& row = first.rows[0];
  out += first.row_text(row);
  for (const auto name : answer_columns(options)) (out += layout.delimiter) += name;
  return out += line_end_text(row.end);
}

void summarize(const Tally& t) {
  std::fprintf(stderr,
               "gantrix: %" PRIu64 " rows: %" PRIu64 " answered, %" PRIu64
               " without an answer, %" PRIu64 " malformed",
               t.rows(), t.answered, t.unanswered, t.malformed);
  if (t.failed > 0) std::fprintf(stderr, ", %" PRIu64 " failed in the library", t.failed);
  std::fputc('\n', stderr);
}

int batch(int input, const char* name, const struct stat& info, const BatchOptions& options) {
  RecordReader reader(input, input_delimiter(options));
  Chunk chunk;
  Layout layout;
  Output output(progress_total(info, options));
  if (reader.fill(chunk, 1)) {
    const ChunkRow& first = chunk.rows[0];
    const std::string_view text = chunk.row_text(first);
    try {
      layout = decide_layout(options, first.too_long ? nullptr : &text);
    } catch (const UsageError& e) {
      std::fprintf(stderr, "gantrix: %s\n", e.what());
      return 2;
    }
    if (!output.put(header_out(options, layout, chunk, reader.byte_order_mark()))) return 1;
    if (layout.header) chunk.rows.clear();
    if (chunk.rows.empty()) reader.fill(chunk);
  }
  bool written = true;
  if (!chunk.rows.empty()) {
    std::optional<AirportColumns> airports;
    try {  // the library's data, loaded once, here, rather than failing every row
      (void)Gantrix::state();
      if (options.format != Format::json && options.op == BatchOp::find)
        airports.emplace(options, layout.delimiter);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "gantrix: cannot load the library's data: %s\n", e.what());
      return 1;
    }
    const AirportColumns* columns = airports ? &*airports : nullptr;
    written = options.jobs <= 1 ? run_in_line(reader, options, layout, columns, chunk, output)
                                : Pipeline(reader, options, layout, columns).run(chunk, output);
  }
  if (!written) return 1;
  output.finish();
  if (!options.quiet) summarize(output.tally());
  if (reader.error() != 0) {
    std::fprintf(stderr, "gantrix: error reading %s: %s\n", name, std::strerror(reader.error()));
    return 2;
  }
  const Tally& t = output.tally();
  return t.malformed + t.failed > 0 ? 1 : 0;
}

}  // namespace

unsigned default_jobs() {
  cpu_set_t cpus;
  unsigned cores = 0;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0) cores = static_cast<unsigned>(CPU_COUNT(&cpus));
  if (cores == 0) cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1u, kDefaultJobsCap);
}

int run_batch(const BatchOptions& options) {
  const bool from_stdin = options.path == "-";
  const char* name = from_stdin ? "standard input" : options.path.c_str();
  const int input = from_stdin ? STDIN_FILENO : open(options.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (input < 0) {
    std::fprintf(stderr, "gantrix: cannot open %s: %s\n", name, std::strerror(errno));
    return 2;
  }
  struct stat info {};
  int status;
  if (fstat(input, &info) != 0) {
    std::fprintf(stderr, "gantrix: cannot read %s: %s\n", name, std::strerror(errno));
    status = 2;
  } else if (S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "gantrix: %s is a directory\n", name);
    status = 2;
  } else {
    status = batch(input, name, info, options);
  }
  if (!from_stdin) close(input);
  return status;
}

}  // namespace GantrixCli
