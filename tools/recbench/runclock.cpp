#include <chrono>

#include <sys/resource.h>

#include "runs.h"

namespace {

double Seconds(const timeval &tv)
{
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

double WallNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

RunClock::RunClock() : m_wall(WallNow())
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m_user = Seconds(usage.ru_utime);
    m_system = Seconds(usage.ru_stime);
}

RunTimes RunClock::Stop() const
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    RunTimes t;
    t.wall = WallNow() - m_wall;
    t.user = Seconds(usage.ru_utime) - m_user;
    t.system = Seconds(usage.ru_stime) - m_system;
    return t;
}

void RunTimes::Add(const RunTimes &one)
{
    minCpu = wall < 0 || one.Cpu() < minCpu ? one.Cpu() : minCpu;
    wall = (wall < 0 ? 0 : wall) + one.wall;
    user += one.user;
    system += one.system;
}
