// Throughput of CGsLZSS against LzssBaseline, a plain implementation of the same algorithm,
// on three fixed 16 MiB inputs. Before timing, the two must produce byte-identical streams and
// expand them back to the input; the run stops otherwise. After the runs a table of the
// ratios is printed.
//
//   build/host/bin/bench_lzss [--benchmark_repetitions=3 ...]
#include "pack/GsLzss.h"

#include "LzssBaseline.h"
#include "LzssInputs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Input {
    const char* name;
    Bytes plain;
    Bytes packed;
};

constexpr size_t kSize = 16u << 20;

std::vector<Input>& Inputs()
{
    static std::vector<Input> inputs;
    return inputs;
}

void Prepare()
{
    Inputs().push_back({"text", lzss_inputs::Text(kSize, 1), {}});
    Inputs().push_back({"gamedata", lzss_inputs::GameData(kSize, 2), {}});
    Inputs().push_back({"random", lzss_inputs::Random(kSize, 3), {}});
    auto lz = std::make_unique<CGsLZSS>();
    auto base = std::make_unique<LzssBaseline>();
    for (Input& in : Inputs()) {
        const int n = static_cast<int>(in.plain.size());
        Bytes a(static_cast<size_t>(LzssCompressBound(n))), b(static_cast<size_t>(LzssCompressBound(n)));
        a.resize(lz->Compress(in.plain.data(), a.data(), n, 0));
        b.resize(base->Compress(in.plain.data(), b.data(), n));
        if (a != b) {
            std::fprintf(stderr, "%s: streams differ from the baseline\n", in.name);
            std::exit(1);
        }
        Bytes back(in.plain.size());
        int r = lz->Decompress(a.data(), back.data(), static_cast<int>(a.size()), n);
        Bytes back2(in.plain.size());
        base->Decompress(a.data(), back2.data(), static_cast<int>(a.size()));
        if (r != 1 || back != in.plain || back2 != in.plain) {
            std::fprintf(stderr, "%s: does not expand back to the input\n", in.name);
            std::exit(1);
        }
        std::printf("%-8s %8zu -> %8zu bytes (%.1f%%), identical to the baseline\n", in.name,
                    in.plain.size(), a.size(), 100.0 * a.size() / in.plain.size());
        in.packed = std::move(a);
    }
}

void CompressCodec(benchmark::State& state, const Input* in)
{
    auto lz = std::make_unique<CGsLZSS>();
    Bytes out(static_cast<size_t>(LzssCompressBound(static_cast<int>(in->plain.size()))));
    for (auto _ : state)
        benchmark::DoNotOptimize(lz->Compress(in->plain.data(), out.data(), static_cast<int>(in->plain.size()), 0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->plain.size()));
}

void CompressBaseline(benchmark::State& state, const Input* in)
{
    auto base = std::make_unique<LzssBaseline>();
    Bytes out(static_cast<size_t>(LzssCompressBound(static_cast<int>(in->plain.size()))));
    for (auto _ : state)
        benchmark::DoNotOptimize(base->Compress(in->plain.data(), out.data(), static_cast<int>(in->plain.size())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->plain.size()));
}

void ExpandCodec(benchmark::State& state, const Input* in)
{
    auto lz = std::make_unique<CGsLZSS>();
    Bytes out(in->plain.size());
    for (auto _ : state) {
        lz->Decompress(in->packed.data(), out.data(), static_cast<int>(in->packed.size()),
                       static_cast<int>(out.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->plain.size()));
}

void ExpandBaseline(benchmark::State& state, const Input* in)
{
    auto base = std::make_unique<LzssBaseline>();
    Bytes out(in->plain.size());
    for (auto _ : state) {
        base->Decompress(in->packed.data(), out.data(), static_cast<int>(in->packed.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->plain.size()));
}

// Console output as usual, and the throughput of each run kept for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> mbps;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median"))
                continue;
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end())
                continue;
            std::string name = run.benchmark_name();
            // Keep the median when repetitions are asked for, else the single run.
            std::string key = name.substr(0, name.find("/real_time"));
            if (run.run_type == Run::RT_Aggregate || !mbps.count(key))
                mbps[key] = it->second.value / 1e6;
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    Prepare();
    for (const Input& in : Inputs()) {
        benchmark::RegisterBenchmark(("compress/baseline/" + std::string(in.name)).c_str(), CompressBaseline, &in)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("compress/codec/" + std::string(in.name)).c_str(), CompressCodec, &in)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    for (const Input& in : Inputs()) {
        benchmark::RegisterBenchmark(("expand/baseline/" + std::string(in.name)).c_str(), ExpandBaseline, &in)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("expand/codec/" + std::string(in.name)).c_str(), ExpandCodec, &in)
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n| operation | input | baseline MB/s | codec MB/s | ratio |\n|---|---|---:|---:|---:|\n");
    for (const char* op : {"compress", "expand"}) {
        for (const Input& in : Inputs()) {
            std::string tail = std::string("/") + in.name;
            auto b = reporter.mbps.find(std::string(op) + "/baseline" + tail);
            auto c = reporter.mbps.find(std::string(op) + "/codec" + tail);
            if (b == reporter.mbps.end() || c == reporter.mbps.end())
                continue;
            std::printf("| %s | %s | %.1f | %.1f | %.2fx |\n", op, in.name, b->second, c->second,
                        c->second / b->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}
