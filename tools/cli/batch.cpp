#include "batch.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "answer.h"
#include "line_reader.h"
#include "progress.h"
#include "row_answerer.h"

namespace GantrixCli {

namespace {

// Writes all of data to fd; false with errno set when a write fails. SIGPIPE may be ignored,
// so a closed pipe shows here as EPIPE rather than ending the process.
bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Where the answered chunks go, in order: standard output and the progress bar.
class Output {
 public:
  explicit Output(std::uint64_t progress_total) : progress_(progress_total) {}

  // False when the write failed: it is reported, and the batch stops.
  bool put(const Chunk& chunk) {
    if (!write_all(STDOUT_FILENO, chunk.out)) {
      std::fprintf(stderr, "gantrix: cannot write the output: %s\n", std::strerror(errno));
      return false;
    }
    failed_ |= chunk.failed;
    rows_ += chunk.lines.size();
    bytes_read_ = chunk.bytes_read;
    progress_.update(bytes_read_, rows_);
    return true;
  }
  void finish() { progress_.finish(bytes_read_, rows_); }
  bool failed() const { return failed_; }

 private:
  Progress progress_;
  std::uint64_t rows_ = 0, bytes_read_ = 0;
  bool failed_ = false;
};

// One thread reads, `jobs` threads answer, the calling thread writes. Chunks circulate
// through a ring of 2 * jobs + 2 slots, so the reader runs at most that far ahead of the
// writer, and memory stays bounded whatever the input's length.
class Pipeline {
 public:
  Pipeline(int input, BatchOp op, unsigned jobs)
      : input_(input), op_(op), jobs_(jobs), slots_(2 * jobs + 2), answered_(slots_.size()) {}

  // Runs the batch; false when a write failed (the reader and workers are stopped).
  bool run(Output& output, int& read_error) {
    // A pipe that the writer makes readable to wake the reader; without one (no descriptor
    // left), a stopped batch may wait for its next input.
    int wake[2] = {-1, -1};
    const bool can_wake = pipe2(wake, O_CLOEXEC) == 0;
    std::thread reader([&] { read(wake[0]); });
    std::vector<std::thread> workers;
    if (any_rows()) {
      // The State is built once, by whichever call comes first while the others wait; this
      // call builds it before the workers start.
      const Answer warm_up(gx_country_at(0, 0));
      for (unsigned i = 0; i < jobs_; ++i) workers.emplace_back([this] { answer(); });
    }
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
    read_error = read_error_;
    return written;
  }

 private:
  // Waits for the first chunk: an input without rows needs neither the workers nor the
  // library's State.
  bool any_rows() {
    std::unique_lock lock(mutex_);
    answer_ready_.wait(lock, [&] { return read_ > 0 || input_done_; });
    return read_ > 0;
  }

  std::size_t slot(std::uint64_t sequence) const { return sequence % slots_.size(); }

  void read(int wake_fd) {
    LineReader reader(input_, wake_fd);
    for (std::uint64_t sequence = 0;; ++sequence) {
      {
        std::unique_lock lock(mutex_);
        slot_free_.wait(lock, [&] { return stop_ || sequence < written_ + slots_.size(); });
        if (stop_) return;
      }
      // The slot is the reader's alone until it is counted as read.
      const bool more = reader.fill(slots_[slot(sequence)]);
      std::lock_guard lock(mutex_);
      if (!more) {
        input_done_ = true;
        read_error_ = reader.error();
      } else {
        read_ = sequence + 1;
      }
      work_ready_.notify_all();
      answer_ready_.notify_all();
      if (!more) return;
    }
  }

  void answer() {
    RowAnswerer answerer(op_);
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
      {
        std::unique_lock lock(mutex_);
        answer_ready_.wait(lock,
                           [&] { return answered_[s] || (input_done_ && sequence == read_); });
        if (!answered_[s]) return true;  // every chunk written
      }
      const bool written = output.put(slots_[s]);
      std::lock_guard lock(mutex_);
      if (!written) {
        stop_ = true;
        work_ready_.notify_all();
        slot_free_.notify_all();
        return false;
      }
      answered_[s] = false;
      written_ = sequence + 1;
      slot_free_.notify_all();
    }
  }

  const int input_;
  const BatchOp op_;
  const unsigned jobs_;
  std::vector<Chunk> slots_;
  std::mutex mutex_;
  std::condition_variable slot_free_, work_ready_, answer_ready_;
  // Chunks counted from 0: read_ filled, taken_ given to a worker, written_ written.
  std::uint64_t read_ = 0, taken_ = 0, written_ = 0;
  std::vector<bool> answered_;  // per slot: answered, not yet written
  bool input_done_ = false, stop_ = false;
  int read_error_ = 0;
};

// The same work on the calling thread alone: no thread is started for --jobs 1.
bool run_in_line(int input, BatchOp op, Output& output, int& read_error) {
  LineReader reader(input);
  RowAnswerer answerer(op);
  Chunk chunk;
  bool written = true;
  while (written && reader.fill(chunk)) {
    answerer.answer(chunk);
    written = output.put(chunk);
  }
  read_error = reader.error();
  return written;
}

// Input size for the progress bar, or 0 when none should be shown.
std::uint64_t progress_total(const struct stat& info, const BatchOptions& options) {
  if (options.quiet || options.path == "-" || !isatty(STDERR_FILENO) || isatty(STDOUT_FILENO) ||
      !S_ISREG(info.st_mode))
    return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace

unsigned available_cores() {
  cpu_set_t cpus;
  if (sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0)
    return static_cast<unsigned>(CPU_COUNT(&cpus));
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? cores : 1;
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
  int status = 0;
  if (fstat(input, &info) != 0) {
    std::fprintf(stderr, "gantrix: cannot read %s: %s\n", name, std::strerror(errno));
    status = 2;
  } else if (S_ISDIR(info.st_mode)) {
    std::fprintf(stderr, "gantrix: %s is a directory\n", name);
    status = 2;
  } else {
    Output output(progress_total(info, options));
    int read_error = 0;
    bool written;
    if (options.jobs <= 1) {
      written = run_in_line(input, options.op, output, read_error);
    } else {
      written = Pipeline(input, options.op, options.jobs).run(output, read_error);
    }
    if (!written) {
      status = 1;
    } else {
      output.finish();
      if (read_error != 0) {
        std::fprintf(stderr, "gantrix: error reading %s: %s\n", name, std::strerror(read_error));
        status = 2;
      } else {
        status = output.failed() ? 1 : 0;
      }
    }
  }
  if (!from_stdin) close(input);
  return status;
}

}  // namespace GantrixCli
