// Latency of the QEL-1 reception on ComDriver1's settings: from the simulator writing a
// packet's last byte to the record line being in the data file (written, flushed and
// closed). Run: qel1_latency_bench [packets per mode, default 120]
// The data file lies in a fresh folder under TMPDIR (default /tmp), so TMPDIR chooses the
// file system whose flush is measured.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ReceptionRig.h"

namespace qel {
namespace {

struct Result {
    std::vector<double> latenciesMs;
    std::vector<double> handlingMs;  // receive event to line on disk, a part of the latency
    int split = 0;
    int lost = 0;
};

Result Measure(uint32_t baud, int packets) {
    test::ReceptionRig rig;
    rig.device1->SetBaud(baud);

    // The driver's event goes through the handler; the moment it returns, the line is on disk.
    int accepted = 0;
    int64_t eventNs = 0;
    int64_t fileWrittenNs = 0;
    rig.driver1.OnReceiveData = [&](TSerialPortDriver* sender, const uint8_t* data, uint32_t size) {
        const int64_t startNs = MonotonicNowNs();
        const std::size_t before = rig.sink.lines.size();
        rig.reception.ComDriver1ReceiveData(sender, data, size);
        for (std::size_t i = before; i < rig.sink.lines.size(); ++i) {
            if (rig.sink.lines[i].rfind(kPacketReceivedPrefix, 0) == 0) {
                ++accepted;
                eventNs = startNs;
                fileWrittenNs = MonotonicNowNs();
            }
        }
    };

    std::mt19937 random(12345);
    std::uniform_int_distribution<uint32_t> pause(0, 60);
    Result result;
    for (int i = 0; i < packets; ++i) {
        Qel1Fields fields;
        fields.device = 7;
        fields.record = static_cast<uint16_t>(i + 1);
        fields.doseInteger = static_cast<uint16_t>(i);
        const uint64_t id = rig.device1->SendPacket(fields);
        const int expected = accepted + 1;
        // A split packet waits for the input timeout: 200 ms of silence.
        const bool got = rig.loop.RunUntil([&] { return accepted >= expected; }, 2000);
        const auto sent = rig.device1->WaitSent(id, 2000);
        if (!got || !sent || !sent->complete) {
            ++result.lost;
            rig.loop.RunFor(500);  // let a half-handled packet end before the next one
            continue;
        }
        result.latenciesMs.push_back(static_cast<double>(fileWrittenNs - sent->lastByteNs) / 1e6);
        result.handlingMs.push_back(static_cast<double>(fileWrittenNs - eventNs) / 1e6);
        rig.loop.RunFor(pause(random));  // the next packet meets the polling at another phase
    }
    result.split = static_cast<int>(std::ranges::count(rig.sink.lines, std::string(kPiecesRestored)));
    const std::string file = rig.DataFile();
    const auto lines = std::ranges::count(file, '\n');
    if (lines != static_cast<long>(result.latenciesMs.size()))
        std::printf("  data file holds %ld lines for %zu accepted packets\n", static_cast<long>(lines),
                    result.latenciesMs.size());
    return result;
}

struct Stats {
    double median = 0, mean = 0, p95 = 0, max = 0;
};

Stats StatsOf(std::vector<double> v) {
    Stats st;
    if (v.empty()) return st;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    st.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    for (double x : v) st.mean += x;
    st.mean /= static_cast<double>(n);
    st.p95 = v[(n * 95 + 99) / 100 - 1];
    st.max = v.back();
    return st;
}

void Print(const char* title, const Result& r, int packets) {
    const Stats latency = StatsOf(r.latenciesMs);
    const Stats handling = StatsOf(r.handlingMs);
    std::printf("%s\n  packets %d, filed %zu, lost %d\n", title, packets, r.latenciesMs.size(), r.lost);
    std::printf("  last byte written -> line in data file: median %.1f, mean %.1f, 95%% %.1f, max %.1f ms\n",
                latency.median, latency.mean, latency.p95, latency.max);
    std::printf("  of which receive event -> line on disk:  median %.1f, mean %.1f, 95%% %.1f, max %.1f ms\n",
                handling.median, handling.mean, handling.p95, handling.max);
    std::printf("  split packets %d of %d (%.0f %%)\n", r.split, packets, 100.0 * r.split / packets);
}

}  // namespace
}  // namespace qel

int main(int argc, char** argv) {
    int packets = 120;
    if (argc > 1) {
        const std::string_view arg = argv[1];
        if (std::from_chars(arg.data(), arg.data() + arg.size(), packets).ec != std::errc() || packets < 1) {
            std::fprintf(stderr, "usage: %s [packets per mode]\n", argv[0]);
            return 2;
        }
    }
    try {
        const qel::Result atOnce = qel::Measure(0, packets);
        qel::Print("(a) each packet written at once, ComDriver1 (50 ms polling, 200 ms input timeout)", atOnce, packets);
        const bool bounded = !atOnce.latenciesMs.empty() &&
                             *std::max_element(atOnce.latenciesMs.begin(), atOnce.latenciesMs.end()) <= 60.0;
        std::printf("  maximum within 50 ms polling + 10 ms: %s\n", bounded ? "yes" : "NO");
        const qel::Result paced = qel::Measure(4800, packets);
        qel::Print("(b) written at the pace of 4800 Bd (2.08 ms a byte)", paced, packets);
        return atOnce.lost + paced.lost == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
