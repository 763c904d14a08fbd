#include "foundation/CXDebug.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests provoke diagnostics on purpose; a run under a debugger must not stop at each one.
    CXDebugSetBreakEnabled(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
