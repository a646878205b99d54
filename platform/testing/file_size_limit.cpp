#include "twtesting.h"

#include <csignal>
#include <sys/resource.h>

namespace twtest {

FileSizeLimit::FileSizeLimit(unsigned long long bytes)
{
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_oldSoft = limit.rlim_cur;
    limit.rlim_cur = bytes;
    m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_oldSoft;
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, m_oldHandler);
}

} // namespace twtest
