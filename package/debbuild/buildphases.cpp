#include "package/debbuild/buildphases.h"

#include <array>
#include <atomic>

namespace {

std::array<std::atomic<qint64>, size_t(BuildPhase::Count)> &totals()
{
    static std::array<std::atomic<qint64>, size_t(BuildPhase::Count)> nanoseconds{};
    return nanoseconds;
}

} // namespace

const char *phaseName(BuildPhase phase)
{
    static const char *const names[] = {"check",   "walk", "copy",   "hash", "ELF",
                                        "control", "pack", "verify", "lint", "cleanup"};
    static_assert(sizeof names / sizeof *names == size_t(BuildPhase::Count), "a name for every phase");
    return names[size_t(phase)];
}

qint64 phaseNanoseconds(BuildPhase phase)
{
    return totals()[size_t(phase)].load();
}

void resetPhaseTimes()
{
    for (std::atomic<qint64> &total : totals())
        total = 0;
}

PhaseTimer::~PhaseTimer()
{
    const auto spent = std::chrono::steady_clock::now() - m_start;
    totals()[size_t(m_phase)] += std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count();
}
