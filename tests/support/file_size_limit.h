#pragma once
// While it lives no file of this process can grow past a byte: every write
// beyond that is refused (EFBIG), as on a full disk, whatever the user's
// rights (the tests may run as root). Unlike a limit on open files it leaves
// the sanitizers' own pipes working.
#include <csignal>
#include <sys/resource.h>

namespace testsupport {

class ScopedFileSizeLimit {
public:
    ScopedFileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN); // a refused write, not a killed process
        rlimit r = m_old;
        r.rlim_cur = 1;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~ScopedFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit &) = delete;
    ScopedFileSizeLimit &operator=(const ScopedFileSizeLimit &) = delete;

private:
    rlimit m_old{};
    void (*m_oldSignal)(int) = SIG_DFL;
};

} // namespace testsupport
