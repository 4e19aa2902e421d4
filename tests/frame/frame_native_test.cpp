// The native build runs under AddressSanitizer: an overrun must be caught, or
// every "clean under ASan" claim of the other tests means nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MB_HAS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MB_HAS_ASAN 1
#endif

#ifdef MB_HAS_ASAN
TEST(FrameNative, AddressSanitizerCatchesAHeapOverrun)
{
    EXPECT_DEATH(
        {
            std::vector<char> v(8);
            volatile char* p = v.data();
            p[8] = 1;
        },
        "heap-buffer-overflow");
}
#endif

TEST(FrameNative, BuildIsSixtyFourOrThirtyTwoBitAsConfigured)
{
    EXPECT_TRUE(sizeof(void*) == 8 || sizeof(void*) == 4);
}

}  // namespace
