#include "ProgramStyle.h"

#include <gtest/gtest.h>

namespace {

class ProgramStyleEnvironment : public testing::Environment {
public:
    void SetUp() override { installProgramStyle(); }
};

[[maybe_unused]] testing::Environment* const kProgramStyle =
    testing::AddGlobalTestEnvironment(new ProgramStyleEnvironment);

}  // namespace
