#pragma once
// The most heap a piece of work held at once, counted through the address sanitizer's
// allocation hooks (the suite runs with it); every library's allocations are seen.

#include <atomic>
#include <cstddef>
#include <functional>

#if defined(__SANITIZE_ADDRESS__)
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                              void (*)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void*);
}
#endif

namespace gd::test {

class PeakHeap {
public:
    static bool available() {
#if defined(__SANITIZE_ADDRESS__)
        return true;
#else
        return false;
#endif
    }
    // Bytes above what was held before `work` began; 0 without the sanitizer.
    static long long of(const std::function<void()>& work) {
        install();
        const long long before = current().load();
        peak().store(before);
        work();
        return peak().load() - before;
    }

private:
    static std::atomic<long long>& current() {
        static std::atomic<long long> c{0};
        return c;
    }
    static std::atomic<long long>& peak() {
        static std::atomic<long long> p{0};
        return p;
    }
    static void install() {
#if defined(__SANITIZE_ADDRESS__)
        static const bool once = [] {
            __sanitizer_install_malloc_and_free_hooks(
                [](const volatile void*, std::size_t size) {
                    const long long now =
                        current().fetch_add(static_cast<long long>(size)) + static_cast<long long>(size);
                    long long seen = peak().load();
                    while (now > seen && !peak().compare_exchange_weak(seen, now)) {
                    }
                },
                [](const volatile void* p) {
                    current().fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(p)));
                });
            return true;
        }();
        (void)once;
#endif
    }
};

}  // namespace gd::test
