// soak SECONDS HOSTS_FILE
//
// Continuous monitoring of the hosts in HOSTS_FILE (one per line, each an
// address in 127.0.0.0/8) on the real window, offscreen, with mail off, for
// SECONDS; then prints the schedule, memory and CPU figures as a table.
// bench/soak.sh runs it inside a network namespace of its own.

#include "app/application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

long rssKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

bool loopbackOnly(const QStringList& hosts) {
    for (const QString& h : hosts) {
        in_addr a{};
        if (inet_pton(AF_INET, h.toLatin1().constData(), &a) != 1 || (ntohl(a.s_addr) >> 24) != 127)
            return false;
    }
    return !hosts.isEmpty();
}

struct Sweep {
    double start, end, cpuStart, cpuEnd;
    int faults;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: soak SECONDS HOSTS_FILE\n");
        return 2;
    }
    const int seconds = std::atoi(argv[1]);
    QFile file(QString::fromLocal8Bit(argv[2]));
    if (seconds <= 0 || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "soak: bad duration or unreadable host file\n");
        return 2;
    }
    const QStringList hosts = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!loopbackOnly(hosts) || qEnvironmentVariableIsEmpty("HW_NETNS_NAME")) {
        std::fprintf(stderr, "soak: only loopback hosts, and only inside its own network namespace\n");
        return 2;
    }

    QTemporaryDir programDir;
    app::Application program(programDir.path());
    app::MainWindow& w = program.window();
    w.show();
    w.编辑框1->setPlainText(hosts.join(QLatin1Char('\n')));

    QElapsedTimer clock;
    std::vector<Sweep> sweeps;
    auto tick = w.时钟1.onTick;
    w.时钟1.onTick = [&] {
        Sweep s{};
        s.start = double(clock.nsecsElapsed()) / 1e6;
        s.cpuStart = cpuMs();
        tick();
        s.end = double(clock.nsecsElapsed()) / 1e6;
        s.cpuEnd = cpuMs();
        const QString list = w.编辑框6->toPlainText();
        s.faults = list.isEmpty() ? 0 : int(list.count(QLatin1Char('\n'))) + 1;
        sweeps.push_back(s);
    };

    const int warmupMs = std::min(60000, seconds * 1000 / 3);
    long rssStart = 0, rssWarm = 0, rssEnd = 0;
    QTimer::singleShot(warmupMs, [&] { rssWarm = rssKiB(); });
    QTimer::singleShot(seconds * 1000, [&] {
        rssEnd = rssKiB();
        qapp.quit();
    });
    rssStart = rssKiB();
    clock.start();
    w.按钮3->click();
    qapp.exec();

    const int expectedFaults = int(hosts.size()) / 4;
    double sumInterval = 0, maxInterval = 0, maxExcess = -1e9, sumSweep = 0, maxSweep = 0;
    double cpuSweeps = 0, cpuBetween = 0;
    int overGoal = 0, wrongLists = 0;
    for (size_t i = 0; i < sweeps.size(); ++i) {
        const Sweep& s = sweeps[i];
        sumSweep += s.end - s.start;
        maxSweep = std::max(maxSweep, s.end - s.start);
        cpuSweeps += s.cpuEnd - s.cpuStart;
        wrongLists += s.faults != expectedFaults;
        if (i == 0)
            continue;
        const Sweep& p = sweeps[i - 1];
        const double interval = s.start - p.start;
        const double excess = interval - (3000.0 + (p.end - p.start));
        sumInterval += interval;
        maxInterval = std::max(maxInterval, interval);
        maxExcess = std::max(maxExcess, excess);
        overGoal += excess > 50.0;
        cpuBetween += s.cpuStart - p.cpuEnd;
    }
    const size_t n = sweeps.size(), gaps = n > 1 ? n - 1 : 0;
    const auto per = [](double total, size_t count) { return count ? total / double(count) : 0.0; };

    std::printf("%-46s %s\n", "measure", "value");
    std::printf("%-46s %d s, %lld hosts, %d silent\n", "run", seconds, static_cast<long long>(hosts.size()),
                expectedFaults);
    std::printf("%-46s %zu\n", "ticks run", n);
    std::printf("%-46s %d\n", "sweeps with a wrong fault count", wrongLists);
    std::printf("%-46s %.1f ms / %.1f ms\n", "sweep duration, mean / largest", per(sumSweep, n), maxSweep);
    std::printf("%-46s %.1f ms / %.1f ms\n", "interval between sweep starts, mean / largest", per(sumInterval, gaps),
                maxInterval);
    std::printf("%-46s %.1f ms (goal <= 50), %d over\n", "largest excess over 3000 ms + its sweep",
                gaps ? maxExcess : 0.0, overGoal);
    std::printf("%-46s %ld KiB\n", "RSS at start", rssStart);
    std::printf("%-46s %ld KiB\n", qPrintable(QStringLiteral("RSS after %1 s").arg(warmupMs / 1000)), rssWarm);
    std::printf("%-46s %ld KiB\n", "RSS at end", rssEnd);
    std::printf("%-46s %+ld KiB (goal <= 1024)\n", "RSS growth after the warm-up", rssEnd - rssWarm);
    std::printf("%-46s %.2f ms (%.1f ms in all)\n", "CPU between sweeps, mean per gap", per(cpuBetween, gaps),
                cpuBetween);
    std::printf("%-46s %.2f ms\n", "CPU per sweep, mean", per(cpuSweeps, n));
    return wrongLists == 0 ? 0 : 1;
}
