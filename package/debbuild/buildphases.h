#pragma once

#include <QtGlobal>

#include <chrono>

// Where the package builds of this process spent their time, phase by phase,
// summed over the threads that worked on each: what the benchmark prints to
// show where the time goes. Counting costs two clock reads per timed step.
enum class BuildPhase { Check, Walk, Copy, Hash, Elf, Control, Pack, Verify, Lint, Cleanup, Count };

// The phase's name as the benchmark prints it.
const char *phaseName(BuildPhase phase);

// Nanoseconds spent in the phase since the last reset.
qint64 phaseNanoseconds(BuildPhase phase);
void resetPhaseTimes();

// Adds the time of its own lifetime to the phase.
class PhaseTimer
{
public:
    explicit PhaseTimer(BuildPhase phase)
        : m_phase(phase)
        , m_start(std::chrono::steady_clock::now())
    { }
    ~PhaseTimer();
    PhaseTimer(const PhaseTimer &) = delete;
    PhaseTimer &operator=(const PhaseTimer &) = delete;

private:
    BuildPhase m_phase;
    std::chrono::steady_clock::time_point m_start;
};
