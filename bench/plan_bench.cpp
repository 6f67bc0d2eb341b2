// How planning a split grows with the number of pieces: the plan (checks,
// output folder, every piece name), the output check (one query per name)
// and the rejoin script, for 1,000 to 1,000,000 pieces of 1 MiB. The input
// is a sparse file of the matching size, so no data is written.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "script/path_rules.h"
#include "script/rejoin_script.h"
#include "split/split_job.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kPieceSize = 1048576;

/// A scratch folder below the system's temporary folder, holding one sparse
/// input of `pieces` MiB; removed with everything in it on destruction.
class SparseInput {
 public:
  explicit SparseInput(int64_t pieces) {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    folder_ = fs::temp_directory_path() / ("filesplit-plan-bench-" + std::to_string(stamp));
    fs::create_directories(folder_);
    const fs::path input = folder_ / "input.bin";
    { std::ofstream create(input); }
    fs::resize_file(input, static_cast<uint64_t>(pieces) * kPieceSize);
    input_ = platform::widePath(input);
    output_ = platform::widePath(folder_ / "out");
  }
  ~SparseInput() { fs::remove_all(folder_); }
  SparseInput(const SparseInput&) = delete;
  SparseInput& operator=(const SparseInput&) = delete;

  const std::wstring& input() const { return input_; }
  const std::wstring& output() const { return output_; }

 private:
  fs::path folder_;
  std::wstring input_;
  std::wstring output_;
};

/// A planned job; the benchmark stops when the plan fails.
bool planned(SplitJob& job, const SparseInput& files, benchmark::State& state) {
  if (job.plan(files.input().c_str(), files.output().c_str(), kPieceSize) == 0) return true;
  state.SkipWithError("the plan failed");
  return false;
}

void BM_Plan(benchmark::State& state) {
  const SparseInput files(state.range(0));
  std::wostringstream console;
  for (auto _ : state) {
    SplitJob job(console);
    if (!planned(job, files, state)) break;
    benchmark::DoNotOptimize(job.pieces.size());
  }
  state.SetComplexityN(state.range(0));
}

/// Times `step(files, job)` on a job planned for state.range(0) pieces.
template <typename Step>
void timeOnPlannedJob(benchmark::State& state, Step step) {
  const SparseInput files(state.range(0));
  std::wostringstream console;
  SplitJob job(console);
  if (!planned(job, files, state)) return;
  for (auto _ : state) step(files, job);
  state.SetComplexityN(state.range(0));
}

void BM_CheckOutputs(benchmark::State& state) {
  timeOnPlannedJob(state, [](const SparseInput&, SplitJob& job) {
    benchmark::DoNotOptimize(job.checkOutputs());
  });
}

void BM_RejoinScript(benchmark::State& state) {
  timeOnPlannedJob(state, [](const SparseInput& files, const SplitJob& job) {
    uint64_t bytes = 0;
    makeRejoinScript(path_rules::fileName(files.input()), job.pieces.size(),
                     [&bytes](const std::string& part) { bytes += part.size(); });
    benchmark::DoNotOptimize(bytes);
  });
}

void pieceCounts(benchmark::internal::Benchmark* benchmark) {
  benchmark->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
  benchmark->Complexity(benchmark::oN);
}

}  // namespace

BENCHMARK(BM_Plan)->Apply(pieceCounts);
BENCHMARK(BM_CheckOutputs)->Apply(pieceCounts);
BENCHMARK(BM_RejoinScript)->Apply(pieceCounts);

int main(int argc, char** argv) {
  platform::initProcess();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
