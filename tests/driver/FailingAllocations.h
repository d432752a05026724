// Allocation failure on demand. A real allocation cannot be made to fail
// here: under the sanitizer build an allocation the machine cannot serve
// ends the process instead of throwing. So this test program replaces the
// global operator new (for the driver library too, which takes it from the
// program) and lets a test make the next allocation on its thread fail
// while a FailingAllocations object lives.
#pragma once

namespace drivertest {

class FailingAllocations {
public:
    enum class Failure {
        OutOfMemory,  // std::bad_alloc
        OtherError,   // another std::exception, with OtherErrorText
    };
    explicit FailingAllocations(Failure failure = Failure::OutOfMemory);
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;

    static constexpr const char* OtherErrorText = "allocation refused by the test";
};

}  // namespace drivertest
