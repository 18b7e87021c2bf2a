// What the session history costs at its largest: 90 days of 8 active hours (one activity
// minute each, and a started and a taken break every 20 minutes, about 47,500 events).
// Targets: one record, which rewrites the whole file atomically, under 30 ms; the
// statistics over the whole list under 5 ms.

#include "runtime/Files.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"
#include "wellness/SessionHistory.h"
#include "wellness/SessionStatistics.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

namespace {

using namespace qv;
using Type = SessionEvent::EventType;

QList<SessionEvent> ninetyDays(const QDateTime &now)
{
    QList<SessionEvent> events;
    const QDate today = now.toLocalTime().date();
    for (int day = 89; day >= 0; --day) {
        const QDateTime start(today.addDays(-day), QTime(9, 0), Qt::LocalTime);
        for (int minute = 0; minute < 8 * 60; ++minute) {
            const QDateTime at = start.addSecs(minute * 60);
            if (at > now)
                break;
            events << SessionEvent::at(at, Type::activity, 60);
            if (minute % 20 == 19) {
                events << SessionEvent::at(at.addSecs(1), Type::breakStarted, 0);
                events << SessionEvent::at(at.addSecs(21), Type::breakTaken, 20);
            }
        }
    }
    return events;
}

struct Store {
    Store()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
        files::setRootOverride(dir.path());
        Scheduler::setCurrent(&clock);
        events = ninetyDays(clock.now());
        files::writeAtomically(SessionHistory::defaultStorePath(), encodeSessionEvents(events));
    }
    ~Store()
    {
        resetSharedInstances();
        Scheduler::setCurrent(nullptr);
        files::setRootOverride(QString());
    }
    QTemporaryDir dir;
    VirtualScheduler clock{QDateTime(QDate(2026, 3, 31), QTime(17, 0), Qt::LocalTime)};
    QList<SessionEvent> events;
};

void BM_RecordIntoNinetyDays(benchmark::State &state)
{
    Store store;
    SessionHistory &history = SessionHistory::shared();
    for (auto _ : state) {
        state.PauseTiming();
        store.clock.advance(60'000); // one minute later: the oldest minute falls out
        state.ResumeTiming();
        history.recordActivityMinute();
    }
    state.counters["events"] = double(history.events().size());
}
BENCHMARK(BM_RecordIntoNinetyDays)->Unit(benchmark::kMillisecond);

void BM_StatisticsOverNinetyDays(benchmark::State &state)
{
    Store store;
    const QDateTime now = store.clock.now();
    for (auto _ : state) {
        SessionStatistics s = SessionStatistics::compute(store.events, now);
        benchmark::DoNotOptimize(s);
    }
    state.counters["events"] = double(store.events.size());
}
BENCHMARK(BM_StatisticsOverNinetyDays)->Unit(benchmark::kMillisecond);

void BM_LoadNinetyDays(benchmark::State &state)
{
    Store store;
    for (auto _ : state) {
        SessionHistory history;
        benchmark::DoNotOptimize(history.events().size());
    }
}
BENCHMARK(BM_LoadNinetyDays)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("com.tebrix.Quellvista.*=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
