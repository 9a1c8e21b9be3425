// Loading the shipped station table with one report slot per station, as the
// conversion does at the start of every run, and finding stations in it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "vok.h"
#include "vokcty.h"
#include "vokupa.h"

namespace {

const std::string kTable = std::string(SONDEX_SOURCE_DIR) + "/upa.cty";

// Slot initialiser in the manner of the conversion: an empty report with the
// station's identity and position.
int init_report(const CTY_data* data, void* slot)
{
    auto* rep = static_cast<UPA_report*>(slot);
    UPA_initialize(rep);
    std::snprintf(rep->id, sizeof rep->id, "%s", data->id);
    rep->wmo = data->wmo;
    rep->lat = data->lat;
    rep->lon = data->lon;
    rep->elev = data->el;
    return 0;
}

void load()
{
    CTY_reset();
    CTY_data_size(static_cast<int>(sizeof(UPA_report)));
    CTY_enter_func(init_report);
    CTY_store(kTable.c_str(), 1, nullptr, 10);
}

void BM_LoadStationTable(benchmark::State& state)
{
    MESS_set(0, M_WARN);  // keep the load message out of the timing
    int stations = 0;
    for (auto _ : state) {
        load();
        stations = 0;
        for (int i = 0; CTY_next_data(i); ++i) ++stations;
        benchmark::DoNotOptimize(stations);
    }
    state.counters["stations"] = stations;
    state.SetItemsProcessed(state.iterations() * stations);
    CTY_reset();
}
BENCHMARK(BM_LoadStationTable)->Unit(benchmark::kMillisecond);

void BM_FindStations(benchmark::State& state)
{
    MESS_set(0, M_WARN);
    load();
    std::vector<std::string> keys;
    for (int i = 0;; ++i) {
        auto* rep = static_cast<UPA_report*>(CTY_next_data(i));
        if (!rep) break;
        char key[16];
        std::snprintf(key, sizeof key, "%05d", rep->wmo);
        keys.emplace_back(key);
        if (rep->id[0] != '-') keys.emplace_back(rep->id);
    }
    for (auto _ : state) {
        for (const std::string& k : keys) benchmark::DoNotOptimize(CTY_get_data(k.c_str()));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(keys.size()));
    CTY_reset();
}
BENCHMARK(BM_FindStations);

}  // namespace

BENCHMARK_MAIN();
