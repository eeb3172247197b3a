// How fast sentences go through the assembler, fix processing and the
// writers. Run: build/bench/pathmere_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/program.h"
#include "platform/file_system_posix.h"
#include "platform/serial_posix.h"

namespace pathmere {
namespace {

std::string ReadSample() {
  std::ifstream in(PATHMERE_BENCH_LOG, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The bundled sample drive fed byte by byte, as a replay does, into a
// program whose writers write to a temporary folder.
void BM_ReplaySampleDrive(benchmark::State& state) {
  const std::string bytes = ReadSample();
  const auto folder = std::filesystem::temp_directory_path() / "pathmere-bench";
  std::filesystem::create_directories(folder);
  for (auto _ : state) {
    PosixFileSystem files(folder.string());
    MonotonicTickClock clock;
    TickHost host;
    PosixSerialPort port;  // never opened: no port is chosen
    Program program(files, clock, port, host);
    program.SetOutputFolder(L"");
    program.FeedReceiverBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                              static_cast<int32_t>(bytes.size()));
    program.ShutDown();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReplaySampleDrive)->Unit(benchmark::kMillisecond);

// One RMC sentence through checksum, decoding, merge and status text.
void BM_ProcessRmc(benchmark::State& state) {
  struct Discard : FixOutputs {
    void AddTrackPoint(const GpsFix&) override {}
    void SelectRoutePoint(const GpsFix&) override {}
    void SaveWaypoint(const GpsFix&) override {}
    void AddNmeaSentence(const GpsFix&, const char*, int) override {}
  } outputs;
  SharedFlags flags;
  ReplayState capture;
  Settings settings;
  MessageLog log;
  SentenceProcessor processor(flags, capture, settings, log, outputs);
  const char* sentence = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230304,003.1,W*6A";
  for (auto _ : state) processor.ProcessSentence(sentence);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ProcessRmc);

}  // namespace
}  // namespace pathmere
