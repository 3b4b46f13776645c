// The station log's cost per status: what the window thread spends handing a status over, and
// what the writer thread spends turning it into records and files, at the line's full rate.
//   bench_stationlog [--hours N] [--rate STATUSES_PER_S]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "CpuTime.h"
#include "log/StationLog.h"

using namespace kaldor;

int main(int argc, char** argv) {
    double hours = 1.0;
    int rate = 28; // 9600 baud carries about 28 frames of 34 bytes a second
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--hours")) hours = std::atof(argv[++i]);
        if (!std::strcmp(argv[i], "--rate")) rate = std::max(1, std::atoi(argv[++i]));
    }
    const std::string folder = std::filesystem::temp_directory_path().string() + "/kaldor_bench_log_" +
                               std::to_string(getpid());
    const int seconds = static_cast<int>(hours * 3600);
    int64_t now = 1796817600000;
    double windowCpu = 0, cpu0 = 0;
    long statuses = 0;
    {
        StationLogOptions o;
        o.Folder = folder;
        o.Clock = [&] { return now; };
        StationLog log(o);
        cpu0 = test::CpuSeconds();
        StatusSample s;
        s.Screen = ScrOperateTx;
        s.Flags = FlagOperate | FlagTx | FlagCelsius;
        s.BandText = "20 m";
        s.AntennaText = "ANT 1";
        s.InputText = "IN 1";
        s.CatText = "NONE";
        for (int second = 0; second < seconds; ++second) {
            const double t0 = test::ThreadCpuSeconds();
            for (int i = 0; i < rate; ++i, ++statuses) {
                s.OutputPower = static_cast<uint16_t>((statuses * 37) % 12000);
                s.ReflectedPower = static_cast<uint16_t>((statuses * 11) % 900);
                s.Temperature = static_cast<uint16_t>(30 + second % 40);
                if (second % 600 == 0 && i == 0) s.Band = static_cast<uint16_t>((s.Band + 1) % 10);
                log.Record(s);
                now += 1000 / rate;
            }
            windowCpu += test::ThreadCpuSeconds() - t0;
            now = 1796817600000 + int64_t{second + 1} * 1000;
            log.Flush(); // one batch per second of the line, as the writer's own period gives
        }
    }
    const double total = test::CpuSeconds() - cpu0;
    uint64_t bytes = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) bytes += e.file_size();
    std::filesystem::remove_all(folder);
    std::printf("%ld statuses, %.1f h of line at %d/s, %.1f MB written\n", statuses, hours, rate, bytes / 1e6);
    std::printf("window thread: %.0f ns per status, %.4f %% of a core\n", 1e9 * windowCpu / statuses,
                100.0 * windowCpu / seconds);
    std::printf("writer thread: %.0f ns per status, %.4f %% of a core\n", 1e9 * (total - windowCpu) / statuses,
                100.0 * (total - windowCpu) / seconds);
    return 0;
}
