// Test main: a fixed time zone so that local-time rules are deterministic. Tests about other
// zones set TZ themselves (see LocalZone in TestPaths.h).

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    tzset();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
