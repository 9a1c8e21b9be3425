// Throughput of the bulletin reader, alone, with every part offered to the
// set of soundings as a conversion offers it, and with the decoders, over a
// large raw file made by repeating the real bulletins of the shared data
// folder. The file is written to /tmp when the benchmarks start and removed
// when they end; it is never part of the repository. SONDEX_BENCH_FILE names
// a file to read instead (kept).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "../tests/test_util.h"
#include "ua_dec_reader.h"
#include "ua_dec_run.h"
#include "ua_sounding.h"
#include "vok.h"
#include "vokupa.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t BENCH_MIN_BYTES = 100u * 1024u * 1024u;

std::string big_file;  // path of the file read, empty when there is none
std::uintmax_t big_size = 0;
bool big_file_made = false;  // generated here, removed at the end

// Concatenates every bulletin file of the corpus over and over until the
// file reaches BENCH_MIN_BYTES.
bool make_big_file()
{
    std::string corpus;
    for (const auto& n : testutil::bulletin_files()) {
        std::ifstream in(n, std::ios::binary);
        corpus.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        // Files without a final newline must not glue onto the next one.
        if (!corpus.empty() && corpus.back() != '\n') corpus += '\n';
    }
    if (corpus.empty()) return false;
    // A name of its own, so that runs side by side never share a file.
    std::string path = (fs::temp_directory_path() / "sondex_bench_XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0) return false;
    close(fd);
    big_file = path;  // removed at the end even when writing fails
    big_file_made = true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::uintmax_t written = 0;
    while (written < BENCH_MIN_BYTES && out) {
        out.write(corpus.data(), static_cast<std::streamsize>(corpus.size()));
        written += corpus.size();
    }
    out.close();
    if (!out) return false;
    big_size = written;
    return true;
}

// A report record per station, as the station table would hold them, in
// an open-addressed table keyed by the identifier as the reader gives it:
// a look-up hashes the few characters of the identifier and compares them
// in place, so that the harness itself costs little beside the decoders.
class Stations {
public:
    UPA_report* get(const char* id)
    {
        if (4 * (count_ + 1) > 3 * slots_.size()) grow();
        Slot& s = find(id);
        if (!s.rep) {
            std::snprintf(s.id, sizeof s.id, "%s", id);
            s.rep = std::make_unique<UPA_report>();
            UPA_initialize(s.rep.get());
            ++count_;
        }
        return s.rep.get();
    }
    std::size_t size() const { return count_; }

private:
    struct Slot {
        char id[UPA_RAW_ID_LEN] = "";
        std::unique_ptr<UPA_report> rep;
    };
    std::vector<Slot> slots_ = std::vector<Slot>(1024);
    std::size_t count_ = 0;

    Slot& find(const char* id)
    {
        std::uint32_t h = 2166136261u;  // FNV-1a
        for (const char* c = id; *c; ++c) h = (h ^ static_cast<unsigned char>(*c)) * 16777619u;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask)
            if (!slots_[i].rep || std::strcmp(slots_[i].id, id) == 0) return slots_[i];
    }
    void grow()
    {
        std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slots_.size() * 2));
        for (Slot& s : old) {
            if (!s.rep) continue;
            Slot& to = find(s.id);
            std::memcpy(to.id, s.id, sizeof to.id);
            to.rep = std::move(s.rep);
        }
    }
};

// One pass of the core reader over the big file; the count of parts read.
long read_parts_once()
{
    FILE* fp = std::fopen(big_file.c_str(), "r");
    if (!fp) return -1;
    ua::BulletinReader reader(fp);
    ua::PartView part;
    long parts = 0;
    while (reader.next(part)) {
        ++parts;
        benchmark::DoNotOptimize(part.text.data());
    }
    std::fclose(fp);
    return parts;
}

// One pass of the core reader over the big file, every part offered to a
// set of soundings for the decode window, as the conversion does before it
// decodes the kept copies; the count of parts read.
long admit_parts_once(const ua::DecodeWindow& window)
{
    FILE* fp = std::fopen(big_file.c_str(), "r");
    if (!fp) return -1;
    ua::BulletinReader reader(fp);
    ua::SoundingSet set(window);
    ua::PartView part;
    long parts = 0;
    while (reader.next(part)) {
        ++parts;
        benchmark::DoNotOptimize(set.add(part, big_file));
    }
    std::fclose(fp);
    return parts;
}

// One pass of the suite's reader calls over the big file, every report to
// the decoder of its kind; the count of reports read.
long read_and_decode_once(Stations& stations)
{
    FILE* fp = std::fopen(big_file.c_str(), "r");
    if (!fp) return -1;
    // The stream buffer the conversion gives its input files.
    std::vector<char> buffer(UPA_INPUT_BUFFER);
    std::setvbuf(fp, buffer.data(), _IOFBF, buffer.size());
    UPA_read_raw_reset();
    long reports = 0;
    testutil::for_each_raw_part(fp, [&](const char* data, const char* id, int kind) {
        ++reports;
        UPA_decode_part(data, kind, stations.get(id));
    });
    std::fclose(fp);
    return reports;
}

enum class Pass { reader, admission, decoders };

void run(benchmark::State& state, Pass pass)
{
    if (big_size == 0) {
        state.SkipWithError("no bulletin folder to build the benchmark file from");
        return;
    }
    // The decode time of the bulletins with a window that lets every part
    // through, so that the parts are decoded, not just rejected.
    testutil::set_feed_window();

    const ua::DecodeWindow window = ua::current_window();

    Stations stations;
    long reports = 0;
    for (auto _ : state) {
        const long n = pass == Pass::decoders    ? read_and_decode_once(stations)
                       : pass == Pass::admission ? admit_parts_once(window)
                                                 : read_parts_once();
        if (n < 0) {
            state.SkipWithError("cannot open the benchmark file");
            return;
        }
        reports += n;
    }
    const double iters = static_cast<double>(state.iterations());
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(big_size) * iters / 1e6, benchmark::Counter::kIsRate);
    state.counters["reports/s"] =
        benchmark::Counter(static_cast<double>(reports), benchmark::Counter::kIsRate);
    state.counters["reports"] = static_cast<double>(reports) / iters;
    if (pass == Pass::decoders) state.counters["stations"] = static_cast<double>(stations.size());
}

// The core reader alone: the file cut into parts.
void BM_reader(benchmark::State& state)
{
    run(state, Pass::reader);
}
BENCHMARK(BM_reader)->Unit(benchmark::kMillisecond)->Iterations(5);

// The reader and the set of soundings: what the conversion spends per part
// before any part is decoded.
void BM_reader_and_set(benchmark::State& state)
{
    run(state, Pass::admission);
}
BENCHMARK(BM_reader_and_set)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_read_and_decode(benchmark::State& state)
{
    run(state, Pass::decoders);
}
BENCHMARK(BM_read_and_decode)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::error_code ec;
    if (const char* given = std::getenv("SONDEX_BENCH_FILE")) {
        big_file = given;
        big_size = fs::file_size(big_file, ec);
        if (ec) big_size = 0;
    } else if (!make_big_file()) {
        std::fprintf(stderr, "bench_ua_dec: no benchmark file could be made\n");
    }
    if (big_size == 0) std::fprintf(stderr, "bench_ua_dec: no benchmark file\n");
    else std::fprintf(stderr, "bench_ua_dec: %s, %.1f MB\n", big_file.c_str(), big_size / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (big_file_made) std::remove(big_file.c_str());
    return 0;
}
