// Load(1) + Release(1) of the whole default command description (16 rows,
// 8 menus, read from the expected dump of the script's d2 run) from an
// in-memory key with counted handles: the loader's own cost without the
// registry and the platform's icons and fonts.
#include <benchmark/benchmark.h>

#include <string>

#include "description/loader.h"
#include "tests/support/description_fakes.h"

namespace {

void BM_LoadReleaseCommand(benchmark::State& state) {
  tvn::testing_fakes::MemorySource key;
  std::string error;
  if (!tvn::testing_fakes::LoadDump(key, tvn::testing_fakes::kCommandDump, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  tvn::UiDescription ui;
  for (auto _ : state) {
    tvn::testing_fakes::CountingFactory factory;
    std::uint32_t lastError = 0;
    key.queries.clear();
    bool ok = tvn::Load(ui, tvn::kLoadCommand, u"Software\\TVN\\1", key, factory, lastError);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(ui.command.list.rows.data());
    tvn::Release(ui, tvn::kLoadCommand, factory);
    if (!ok || factory.misuse != 0) state.SkipWithError("load failed");
  }
}
BENCHMARK(BM_LoadReleaseCommand)->Unit(benchmark::kMicrosecond);

}  // namespace
