// Runs of a zip extracted each on its own libarchive handle, several threads at once.
#include "stub/core/chunked_extraction.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

#include "stub/core/decoder_limits.h"
#include "stub/core/entry_extraction.h"

namespace kzsfx {

namespace {

// What the threads share, under the workers' lock (no lock with one thread).
struct Shared {
  Shared(Workers* w, Observer& o, std::uint64_t t) : workers(w), observer(o), total(t) {}

  Workers* workers;
  Observer& observer;
  const std::uint64_t total;
  std::uint64_t done = 0;
  std::optional<OverwriteAnswer> forAll;  // "all" answered once holds for every run
  bool stop = false;                      // a fatal fault or a cancel: start nothing more
  bool userCancelled = false;
  // Cancelled in answer to a question about an entry of this run: earlier runs still finish,
  // so everything one thread would have written before that entry is written; later runs
  // stop where they are, as at the Cancel button.
  std::optional<std::size_t> cancelledAtRun;

  void lock() {
    if (workers) workers->lock();
  }
  void unlock() {
    if (workers) workers->unlock();
  }
};

class Guard {
 public:
  explicit Guard(Shared& shared) : shared_(shared) { shared_.lock(); }
  ~Guard() { shared_.unlock(); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  Shared& shared_;
};

class SharedBudget final : public DataBudget {
 public:
  SharedBudget(Shared& shared, std::uint64_t total) : shared_(shared), left_(total) {}
  bool Take(std::uint64_t bytes) override {
    Guard guard(shared_);
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }

 private:
  Shared& shared_;
  std::uint64_t left_;
};

// One run's view of the observer: progress counted over the whole archive, questions asked
// one at a time, and a stop seen by every run.
class RunObserver final : public Observer {
 public:
  RunObserver(Shared& shared, std::size_t run) : shared_(shared), run_(run) {}

  void Progress(std::uint64_t done, std::uint64_t, const std::string& current) override {
    Guard guard(shared_);
    shared_.done += done - reported_;
    reported_ = done;
    shared_.observer.Progress(shared_.done, shared_.total, current);
  }
  OverwriteAnswer AskOverwrite(const std::string& path) override {
    Guard guard(shared_);
    if (shared_.forAll) return *shared_.forAll;
    const OverwriteAnswer answer = shared_.observer.AskOverwrite(path);
    if (answer == OverwriteAnswer::kOverwriteAll || answer == OverwriteAnswer::kSkipAll)
      shared_.forAll = answer;
    NoteCancelAtQuestion();
    return answer;
  }
  PasswordForms AskPassword(const std::string& path, bool retry) override {
    Guard guard(shared_);
    PasswordForms forms = shared_.observer.AskPassword(path, retry);
    NoteCancelAtQuestion();
    return forms;
  }
  bool Cancelled() override {
    Guard guard(shared_);
    if (shared_.stop) return true;
    if (shared_.cancelledAtRun) return run_ >= *shared_.cancelledAtRun;
    if (shared_.observer.Cancelled()) shared_.stop = shared_.userCancelled = true;
    return shared_.stop;
  }
  void EntryProblem(const EntryReport& report) override {
    Guard guard(shared_);
    shared_.observer.EntryProblem(report);
  }
  void EntryFinished(const EntryOutcome& outcome) override {
    Guard guard(shared_);
    shared_.observer.EntryFinished(outcome);
  }

 private:
  // Under the lock, right after a question.
  void NoteCancelAtQuestion() {
    if (shared_.stop || !shared_.observer.Cancelled()) return;
    shared_.userCancelled = true;
    if (!shared_.cancelledAtRun || run_ < *shared_.cancelledAtRun) shared_.cancelledAtRun = run_;
  }

  Shared& shared_;
  const std::size_t run_;
  std::uint64_t reported_ = 0;
};

// The exe's reads one thread at a time: a byte source need not be thread-safe. Destinations
// are (destination.h), so files are opened, written and committed in parallel.
class SharedSource final : public ByteSource {
 public:
  SharedSource(ByteSource& source, Shared& shared) : source_(source), shared_(shared) {}
  std::uint64_t size() const override { return source_.size(); }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                    std::size_t count) override {
    Guard guard(shared_);
    return source_.ReadAt(offset, buffer, count);
  }

 private:
  ByteSource& source_;
  Shared& shared_;
};

template <typename T>
void Append(std::vector<T>& to, std::vector<T>& from) {
  std::move(from.begin(), from.end(), std::back_inserter(to));
}

}  // namespace

ExtractResult ExtractChunks(ByteSource& exe, std::uint64_t archiveOffset, const ZipPlan& plan,
                            Destination* destination, const Options& options, Observer& observer,
                            std::uint64_t declaredTotal) {
  // Testing lists entries as it goes: in archive order, on one thread.
  Workers* workers =
      options.workers && options.workers->Count() > 1 && plan.chunks.size() > 1 && !options.testOnly
          ? options.workers
          : nullptr;
  // Runs on several threads write each file on their own thread; a single run may use the
  // threads to write its large files behind the decoding (write_behind.h).
  Options runOptions = options;
  if (workers) runOptions.workers = nullptr;
  Shared shared(workers, observer, declaredTotal);
  SharedSource source(exe, shared);
  SharedBudget budget(shared, declaredTotal);

  std::vector<std::size_t> order(plan.chunks.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (workers) {
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return plan.chunks[a].compressed > plan.chunks[b].compressed;
    });
  }
  std::vector<ExtractResult> results(plan.chunks.size());
  std::size_t next = 0;
  auto job = [&](unsigned thread) {
    // Each run has a decoder of its own: only so many fit the address space together.
    if (thread >= kMaxParallelDecoders) return;
    for (;;) {
      std::size_t index;
      {
        Guard guard(shared);
        if (shared.stop || next == order.size()) return;
        index = order[next++];
        if (shared.cancelledAtRun && index >= *shared.cancelledAtRun) continue;
      }
      const ZipChunk& chunk = plan.chunks[index];
      ExtractResult& result = results[index];
      ChunkSource run(source, archiveOffset, plan, chunk);
      if (run.Ok()) {
        RunObserver runObserver(shared, index);
        result =
            ExtractEntries(run, 0, destination, runOptions, runObserver, chunk.declared, &budget);
      } else {
        result.fatal = Fatal::kReadError;
      }
      if (result.fatal != Fatal::kNone) {
        Guard guard(shared);
        shared.stop = true;
      }
    }
  };
  if (workers)
    workers->Run(job);
  else
    job(0);

  ExtractResult merged;
  for (ExtractResult& result : results) {
    merged.files += result.files;
    merged.folders += result.folders;
    merged.bytes += result.bytes;
    Append(merged.skipped, result.skipped);
    Append(merged.refused, result.refused);
    Append(merged.failed, result.failed);
    Append(merged.warnings, result.warnings);
    if (merged.fatal == Fatal::kNone && result.fatal != Fatal::kNone) {
      merged.fatal = result.fatal;
      merged.fatalDetail = std::move(result.fatalDetail);
    }
  }
  // A run stopped because another failed was not cancelled by anyone.
  merged.cancelled = shared.userCancelled;
  return merged;
}

}  // namespace kzsfx
