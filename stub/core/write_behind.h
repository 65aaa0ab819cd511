// Writing one large file on a second thread while its next blocks decode.
#pragma once

#include <array>
#include <cstddef>
#include <memory>

#include "stub/core/destination.h"
#include "stub/core/workers.h"

namespace kzsfx {

// Writes to an output file copied into a small ring of blocks and written to the real one in
// order by another thread, so that the system's copy of one block overlaps the decoding of the
// next. Used inside Workers::run: the decoding thread calls write() and then finish(), one
// other thread calls WriteOut(), and once run() has returned everything is written and
// failure() tells how that went. The decoding thread waits only while the other one writes:
// when the ring is full and nobody is writing, it writes the oldest block itself. So every
// byte is still written, in order, when the platform runs the two jobs one after the other
// (a thread that could not be started).
class WriteBehind {
 public:
  static constexpr std::size_t kBlockSize = 256 * 1024;

  WriteBehind(Workers& workers, OutputFile& out);

  // Copies the data into the ring; the first failure of a write so far, if any.
  Status Write(const void* data, std::size_t size);
  // No more data: the last block, however short, is ready to write.
  void Finish();
  // The writing thread's job: returns once finish() has been called and all is written.
  void WriteOut();
  // The first failure of any write; read once Workers::run has returned.
  const Status& Failure() const { return failure_; }

 private:
  static constexpr std::size_t kSlots = 4;
  struct Block {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
  };

  // With the lock held and the oldest block ready and nobody writing: writes it, the lock
  // released meanwhile.
  void WriteOldest();
  // With the lock held: the block being filled becomes ready.
  void Publish();

  Workers& workers_;
  OutputFile& out_;
  std::array<Block, kSlots> blocks_;
  // Under the workers' lock:
  std::size_t oldest_ = 0;  // the next block to write
  std::size_t ready_ = 0;   // blocks filled and not yet written, from oldest_ on
  bool writing_ = false;    // a thread is writing blocks_[oldest_]
  bool finished_ = false;
  Status failure_;
  // The decoding thread's own: the block it fills, (oldest_ + ready_) % slots, when it has one.
  Block* filling_ = nullptr;
};

}  // namespace kzsfx
