#include "FailingAllocations.h"

#include <cstdlib>
#include <new>
#include <exception>

namespace drivertest {

namespace {
thread_local bool t_failing = false;
thread_local FailingAllocations::Failure t_failure = FailingAllocations::Failure::OutOfMemory;

// Carries its text without allocating.
struct RefusedAllocation : std::exception {
    const char* what() const noexcept override { return FailingAllocations::OtherErrorText; }
};
}  // namespace

FailingAllocations::FailingAllocations(Failure failure) {
    t_failure = failure;
    t_failing = true;
}

FailingAllocations::~FailingAllocations() { t_failing = false; }

}  // namespace drivertest

// Every form of new and delete that pairs with another goes through malloc
// and free, so that the sanitizer sees matching pairs; the aligned forms are
// left to the runtime, which pairs them itself.
void* operator new(std::size_t size) {
    if (drivertest::t_failing) {
        drivertest::t_failing = false;
        if (drivertest::t_failure == drivertest::FailingAllocations::Failure::OutOfMemory) throw std::bad_alloc();
        throw drivertest::RefusedAllocation();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
