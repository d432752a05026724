// The message of the error a call raises, for tests that compare it: one
// line instead of a try, a catch and a FAIL around every call.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>

namespace testsupport {

// The message of an exception of type E raised by call; fails the test when
// nothing or something else is raised.
template <class E, class F>
std::string messageOf(F&& call) {
    try {
        call();
    } catch (const E& error) {
        return error.what();
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected error: " << other.what();
        return {};
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

}  // namespace testsupport
