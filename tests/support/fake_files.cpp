#include "fake_files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "platform/platform.h"

// Each fake takes the world's lock for its whole call but while held at a gate.
class FakeFiles::Source : public FileIO_IF {
 public:
  Source(FakeFiles& world, std::string bytes) : world_(world), bytes_(std::move(bytes)) {}
  int read(void* buffer, uint32_t count) override {
    std::unique_lock<std::mutex> lock(world_.mutex_);
    const Twist twist = world_.begin(FakeCall::read, lock);
    if (reinterpret_cast<uintptr_t>(buffer) % platform::kMediumAlignment != 0)
      world_.misalignedReads_ += 1;
    int result = -1;
    if (twist.error != 0) {
      errno = twist.error;
    } else {
      const size_t n = std::min<size_t>({count, twist.limit, bytes_.size() - position_});
      std::memcpy(buffer, bytes_.data() + position_, n);
      position_ += n;
      result = static_cast<int>(n);
    }
    world_.end(twist, lock);
    return result;
  }
  int write(const void*, uint32_t) override { return -1; }
  bool eof() override {
    const std::lock_guard<std::mutex> lock(world_.mutex_);
    return position_ >= bytes_.size() || world_.falseEndNext();
  }
  bool close() override { return true; }

 private:
  FakeFiles& world_;
  const std::string bytes_;
  size_t position_ = 0;
};

class FakeFiles::Destination : public FileIO_IF {
 public:
  Destination(FakeFiles& world, size_t index) : world_(world), index_(index) {}
  int read(void*, uint32_t) override { return -1; }
  int write(const void* buffer, uint32_t count) override {
    std::unique_lock<std::mutex> lock(world_.mutex_);
    if (pastCache_) world_.misalignedWrites_ += 1;
    return take(FakeCall::write, buffer, count, lock);
  }
  bool writeToMedium() override {
    std::unique_lock<std::mutex> lock(world_.mutex_);
    const Twist twist = world_.begin(FakeCall::toMedium, lock);
    world_.end(twist, lock);
    pastCache_ = twist.error == 0;
    return pastCache_;
  }
  int writeSectors(const void* buffer, uint32_t count) override {
    std::unique_lock<std::mutex> lock(world_.mutex_);
    if (!pastCache_ || reinterpret_cast<uintptr_t>(buffer) % platform::kMediumAlignment != 0 ||
        count % platform::kMediumAlignment != 0)
      world_.misalignedWrites_ += 1;
    const int result = take(FakeCall::sectors, buffer, count, lock);
    if (result > 0) world_.pastCache_ += static_cast<uint64_t>(result);
    return result;
  }
  // The last bytes: counted as an ordinary write.
  int writeLast(unsigned char* buffer, uint32_t count) override {
    pastCache_ = false;
    return write(buffer, count);
  }
  bool eof() override { return true; }
  bool flush() override { return succeeds(FakeCall::flush); }
  bool close() override { return succeeds(FakeCall::close); }

 private:
  // A call that moves no bytes: whether its twist lets it succeed.
  bool succeeds(FakeCall call) {
    std::unique_lock<std::mutex> lock(world_.mutex_);
    const Twist twist = world_.begin(call, lock);
    world_.end(twist, lock);
    errno = twist.error;
    return twist.error == 0;
  }

  // A write of either kind: appends what its twist lets through.
  int take(FakeCall call, const void* buffer, uint32_t count, std::unique_lock<std::mutex>& lock) {
    const Twist twist = world_.begin(call, lock);
    int result = -1;
    if (twist.error != 0) {
      errno = twist.error;
    } else {
      const uint32_t n = std::min(count, twist.limit);
      world_.written_[index_].append(static_cast<const char*>(buffer), n);
      result = static_cast<int>(n);
    }
    world_.end(twist, lock);
    return result;
  }

  FakeFiles& world_;
  const size_t index_;
  bool pastCache_ = false;  // between writeToMedium and writeLast
};

class FakeFiles::Hash : public HASH_IF {
 public:
  explicit Hash(FakeFiles& world) : world_(world) {}
  bool init() override { return true; }
  bool update(const unsigned char* data, uint32_t length) override {
    std::unique_lock<std::mutex> lock(world_.mutex_);
    const Twist twist = world_.begin(FakeCall::hash, lock);
    if (world_.writtenTotal() > world_.fed_.size()) world_.writtenBeforeHashed_ = true;
    if (twist.error == 0) world_.fed_.append(reinterpret_cast<const char*>(data), length);
    world_.end(twist, lock);
    return twist.error == 0;
  }
  bool finalize() override { return true; }
  bool hexDigest(char* buffer, int size) override {
    if (size < 33) return false;
    std::memset(buffer, '0', 32);
    buffer[32] = '\0';
    return true;
  }
  bool close() override { return true; }

 private:
  FakeFiles& world_;
};

std::unique_ptr<FileIO_IF> FakeFiles::source(std::string bytes) {
  return std::make_unique<Source>(*this, std::move(bytes));
}

std::unique_ptr<FileIO_IF> FakeFiles::destination() {
  const std::lock_guard<std::mutex> lock(mutex_);
  written_.emplace_back();
  return std::make_unique<Destination>(*this, written_.size() - 1);
}

std::unique_ptr<HASH_IF> FakeFiles::hash() { return std::make_unique<Hash>(*this); }

std::string FakeFiles::written(size_t destination) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return written_.at(destination);
}

size_t FakeFiles::destinations() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return written_.size();
}

std::string FakeFiles::fed() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return fed_;
}

unsigned FakeFiles::calls(FakeCall call) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return counts_[static_cast<size_t>(call)];
}

unsigned FakeFiles::misalignedReads() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return misalignedReads_;
}

unsigned FakeFiles::misalignedWrites() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return misalignedWrites_;
}

uint64_t FakeFiles::pastCache() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return pastCache_;
}

bool FakeFiles::gaveUp() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return gaveUp_;
}

bool FakeFiles::writtenBeforeHashed() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return writtenBeforeHashed_;
}

Twist FakeFiles::begin(FakeCall call, std::unique_lock<std::mutex>& lock) {
  const CallId id{call, ++counts_[static_cast<size_t>(call)]};
  began_.insert(id);
  changed_.notify_all();
  for (const Gate& gate : gates_) {
    if (gate.held.call != id.call || gate.held.number != id.number) continue;
    const std::set<CallId>& awaited = gate.untilBegan ? began_ : ended_;
    // Long enough for any machine; a call that never comes is a failure,
    // told before a test's deadline (10 s) ends the program.
    if (!changed_.wait_for(lock, std::chrono::seconds(5),
                           [&] { return awaited.count(gate.until) != 0; }))
      gaveUp_ = true;
  }
  for (const Twist& twist : twists_)
    if (twist.at.call == id.call && twist.at.number == id.number) return twist;
  return Twist{id};
}

void FakeFiles::end(const Twist& call, std::unique_lock<std::mutex>&) {
  ended_.insert(call.at);
  changed_.notify_all();
}

bool FakeFiles::falseEndNext() const {
  const CallId next{FakeCall::read, counts_[static_cast<size_t>(FakeCall::read)] + 1};
  return std::any_of(twists_.begin(), twists_.end(), [&](const Twist& twist) {
    return twist.falseEnd && !(twist.at < next) && !(next < twist.at);
  });
}

uint64_t FakeFiles::writtenTotal() const {
  uint64_t total = 0;
  for (const std::string& bytes : written_) total += bytes.size();
  return total;
}
