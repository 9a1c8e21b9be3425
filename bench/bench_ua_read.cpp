// Throughput of the report writer: 250,000 reports into one upper-air file
// in each output form. The reports are the stations decoded from the real
// bulletins of the shared data folder, written over and over. The output
// goes to a file in /tmp (argument 0), removed when the benchmarks end and
// never part of the repository, or, for the stream forms, to /dev/null
// (argument 1: the writer alone, without the file system's share).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../tests/test_util.h"
#include "vok.h"
#include "vokupa.h"

namespace {

namespace fs = std::filesystem;

constexpr long REPORTS_PER_FILE = 250000;

std::vector<UPA_report> reports;
const std::string out_file = (fs::temp_directory_path() / "sondex_bench_upa.out").string();

// Every station of the bulletins with data, sorted as a run sorts it.
bool decode_corpus()
{
    testutil::set_feed_window();
    std::map<std::string, UPA_report> stations;
    for (const auto& n : testutil::bulletin_files()) {
        testutil::for_each_raw_part(n, [&](const char* data, const char* id, int kind) {
            const std::size_t known = stations.size();
            UPA_report& rep = testutil::station_report(stations, id);
            if (stations.size() != known) {  // a station seen for the first time
                rep.type = 0;
                std::snprintf(rep.id, sizeof rep.id, "%s", id);
            }
            UPA_decode_part(data, kind, &rep);
        });
    }
    for (auto& [id, rep] : stations) {
        if (!rep.numman && !rep.numsig && !rep.numwnd) continue;
        UPA_sort_report(&rep);
        reports.push_back(rep);
    }
    return !reports.empty();
}

void write_file(benchmark::State& state, int type)
{
    const bool to_null = state.range(0) != 0;
    const std::string target = to_null ? "/dev/null" : out_file;
    if (reports.empty()) {
        state.SkipWithError("no bulletin folder to decode the reports from");
        return;
    }
    UPA_info info{};
    std::snprintf(info.datim, sizeof info.datim, "0000Z  6 FEB 26");
    std::snprintf(info.file, sizeof info.file, "26020600");
    DATE_decode_label(info.datim, &info.date);
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        int t = type;
        const int fd = UPA_open(target.c_str(), 1, &t);
        if (fd < 0 || UPA_putinfo(fd, &info) != 0) {
            state.SkipWithError("cannot create the output file");
            return;
        }
        int counter = 0;
        for (long k = 0; k < REPORTS_PER_FILE; ++k) {
            UPA_write(fd, &reports[static_cast<std::size_t>(k) % reports.size()], 1, &counter);
            if (type == UPA_FILE_CDF) ++counter;
        }
        if (UPA_close(fd) != 0) {
            state.SkipWithError("the output file could not be written");
            return;
        }
        if (!to_null) bytes += fs::file_size(out_file);
    }
    const double n = static_cast<double>(state.iterations()) * REPORTS_PER_FILE;
    state.counters["reports/s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
}

void BM_write_text(benchmark::State& state)
{
    write_file(state, UPA_FILE_VOKUPAX);
}
BENCHMARK(BM_write_text)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0)->Arg(1);

void BM_write_xml(benchmark::State& state)
{
    write_file(state, UPA_FILE_XML);
}
BENCHMARK(BM_write_xml)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0)->Arg(1);

void BM_write_fixed(benchmark::State& state)
{
    write_file(state, UPA_FILE_FIXED);
}
BENCHMARK(BM_write_fixed)->Unit(benchmark::kMillisecond)->Iterations(3)->Arg(0)->Arg(1);

// About 4.3 kB a record: a file of a little over 1 GB.
void BM_write_netcdf(benchmark::State& state)
{
    write_file(state, UPA_FILE_CDF);
}
BENCHMARK(BM_write_netcdf)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!decode_corpus()) std::fprintf(stderr, "bench_ua_read: no reports could be decoded\n");
    else std::fprintf(stderr, "bench_ua_read: %zu station reports, written in turn\n", reports.size());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(out_file.c_str());  // only the file in /tmp, never /dev/null
    return 0;
}
