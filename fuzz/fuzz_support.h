// Shared by the fuzz targets: guarded memory and the check that turns a broken rule into a
// crash libFuzzer records.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Memory that faults on the first byte outside it: every block sits between two
// PROT_NONE pages, flush against the one on the side the caller picks.
class GuardedBlock {
public:
    GuardedBlock(std::size_t size, bool flushEnd) : size_(size)
    {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        inner_ = (size + page_ - 1) / page_ * page_;
        if (inner_ == 0) {
            inner_ = page_;
        }
        void* map = mmap(nullptr, inner_ + 2 * page_, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) {
            std::abort();
        }
        base_ = static_cast<char*>(map);
        if (mprotect(base_, page_, PROT_NONE) != 0 ||
            mprotect(base_ + page_ + inner_, page_, PROT_NONE) != 0) {
            std::abort();
        }
        // Flush to the end means a start aligned only as far as the size is.
        data_ = base_ + page_ + (flushEnd ? inner_ - size : 0);
    }

    ~GuardedBlock() { munmap(base_, inner_ + 2 * page_); }

    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;

    char* data() const { return data_; }
    std::size_t size() const { return size_; }

    template <typename T>
    T* as() const
    {
        return reinterpret_cast<T*>(data_);
    }

private:
    std::size_t size_;
    std::size_t page_ = 0;
    std::size_t inner_ = 0;
    char* base_ = nullptr;
    char* data_ = nullptr;
};

inline void expectThat(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

#endif
