/* main() of every test program. */
#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    /* A library that fails to load must fail quietly, not open a box. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
