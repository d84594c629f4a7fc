// varn-bench-dispatch: the reply dispatch on a realistic mix of datagrams
// against a bare copy-and-switch loop over the same mix, in one run (Google
// Benchmark, repeated, medians). Besides the usual table it prints
// "median_items_per_s NAME VALUE" lines for scripts/bench.sh.
//
// The mix, 40 % discovery replies and 40 % status rows of 50
// appliances (all already listed: the steady state of repeated sweeps and
// monitor polls), 5 % configuration blocks nobody asked for, and 15 % junk (our
// own broadcast coming back, a cut header, types without a handler or out of
// range, terminal data with no self-test running).

#include "link/link.h"
#include "link/user_interface.h"
#include "protocol/datagram_port.h"
#include "protocol/device_config.h"
#include "protocol/wire.h"
#include "selftest/selftest_state.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Datagram {
    Bytes bytes;
    std::uint32_t source;
};

Bytes reply(int type, std::size_t length) {
    Bytes d(length, 0);
    std::memcpy(d.data(), varn::kMagic, varn::kMagicSize);
    d[6] = std::uint8_t(type | varn::kReplyBit);
    return d;
}

std::uint32_t applianceAddress(int i) {
    return varn::makeAddress(192, 168, 1, std::uint8_t(100 + i));
}

std::vector<Datagram> realisticMix() {
    std::vector<Datagram> mix;
    int discoveries = 0, statuses = 0;
    for (int i = 0; i < 250; ++i) {
        const int appliance = (i % 5 < 2 ? discoveries++ : statuses++) % 50;
        const std::string name = "APPLIANCE-" + std::to_string(appliance);
        const std::uint32_t from = applianceAddress(appliance);
        Bytes d;
        if (i % 5 < 2) {
            d = reply(varn::kDiscover, 29);
            std::memcpy(d.data() + 8, name.data(), name.size());
            std::memcpy(d.data() + 20, &from, 4);
            d[24] = std::uint8_t(i % 6);
        } else if (i % 5 < 4) {
            d = reply(varn::kStatusPoll, 28);
            std::memcpy(d.data() + 8, name.data(), name.size());
            d[20] = std::uint8_t(i % 9);
            d[21] = 3;
            varn::writeLe16(d.data() + 26, 28800);
        } else if (i % 20 == 4) {
            d = reply(varn::kReadConfig, 8 + varn::DeviceConfig::kSize);
            std::memset(d.data() + 8, 'C', varn::DeviceConfig::kSize);
        } else {
            switch (i % 4) {
            case 0:
                d = reply(varn::kDiscover, 8);
                d[6] = varn::kDiscover; // a request: our own broadcast
                break;
            case 1:
                d = reply(0, 7); // no room for a type
                break;
            case 2:
                d = reply(6 + (i % 3) * 40, 12); // no handler, or beyond the table
                break;
            default:
                d = reply(varn::kTerminalResponse, 20); // no self-test running
                d[8] = 10;
                break;
            }
        }
        mix.push_back({std::move(d), from});
    }
    return mix;
}

// Hands out the mix round and round, as recvfrom would (the bytes copied out).
class CyclingPort : public varn::DatagramPort {
  public:
    explicit CyclingPort(const std::vector<Datagram>& mix) : mix_(mix) {}
    int sendDatagram(const std::uint8_t*, std::size_t, std::uint32_t) override { return 0; }
    int receiveDatagram(std::uint8_t* buffer, std::size_t size, varn::DatagramInfo* info) override {
        const Datagram& d = mix_[next_];
        next_ = next_ + 1 == mix_.size() ? 0 : next_ + 1;
        const std::size_t n = std::min(size, d.bytes.size());
        std::memcpy(buffer, d.bytes.data(), n);
        if (info != nullptr) {
            info->length = n;
            info->source = d.source;
        }
        return 0;
    }

  private:
    const std::vector<Datagram>& mix_;
    std::size_t next_ = 0;
};

void BM_DispatchReply(benchmark::State& state) {
    const std::vector<Datagram> mix = realisticMix();
    CyclingPort port(mix);
    port.localAddress = varn::makeAddress(192, 168, 1, 10);
    varn::DeviceConfig config;
    varn::SilentUserInterface ui;
    varn::Link link(port, config, ui);
    for (std::size_t i = 0; i < mix.size(); ++i) { // every appliance listed: the steady state
        link.dispatchReply();
    }
    for (auto _ : state) {
        link.dispatchReply();
        benchmark::DoNotOptimize(link.awaitedReply());
    }
    state.SetItemsProcessed(state.iterations());
    if (link.devices().deviceCount() != 50 || link.monitor().monitorCount() != 50) {
        state.SkipWithError("the mix did not list its 50 appliances");
    }
}

// The floor: each datagram copied into a datagram buffer and switched on its type.
void BM_CopyAndSwitch(benchmark::State& state) {
    const std::vector<Datagram> mix = realisticMix();
    std::array<std::uint8_t, varn::kDatagramSize> buffer{};
    std::array<long, 8> seen{};
    std::size_t next = 0;
    for (auto _ : state) {
        const Datagram& d = mix[next];
        next = next + 1 == mix.size() ? 0 : next + 1;
        std::memcpy(buffer.data(), d.bytes.data(), d.bytes.size());
        benchmark::DoNotOptimize(buffer);
        switch (d.bytes.size() > 6 ? buffer[6] & ~varn::kReplyBit : -1) {
        case varn::kDiscover:
            ++seen[0];
            break;
        case varn::kReadConfig:
            ++seen[1];
            break;
        case varn::kTerminalResponse:
            ++seen[2];
            break;
        case varn::kStatusPoll:
            ++seen[3];
            break;
        default:
            ++seen[4];
            break;
        }
    }
    benchmark::DoNotOptimize(seen);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_DispatchReply)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_CopyAndSwitch)->Repetitions(7)->ReportAggregatesOnly(true);

// The console table, and the medians on lines of their own.
class MedianReporter : public benchmark::ConsoleReporter {
  public:
    MedianReporter() : ConsoleReporter(OO_Tabular) {}
    std::map<std::string, double> medians;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto rate = run.counters.find("items_per_second");
            if (run.aggregate_name == "median" && rate != run.counters.end()) {
                medians[run.run_name.function_name] = rate->second.value;
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [name, value] : reporter.medians) {
        std::printf("median_items_per_s %s %.0f\n", name.c_str(), value);
    }
    benchmark::Shutdown();
    return 0;
}
