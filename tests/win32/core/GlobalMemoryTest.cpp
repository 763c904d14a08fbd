#include "win32/core/GlobalMemory.h"

#include "win32/api/Constants.h"
#include "win32/core/Core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace win32;

namespace {

TEST(GlobalMemoryTest, ABlockKeepsItsExactSizeCountsItsLocksAndIsStaleOnceFreed)
{
    struct Case {
        UINT flags;
        size_t bytes;
    };
    for (const Case& c : {Case{GMEM_MOVEABLE, 1}, Case{GMEM_MOVEABLE, 7}, Case{GHND, 4099}}) {
        HGLOBAL block = GlobalAlloc(c.flags, c.bytes);
        ASSERT_NE(block, nullptr) << c.bytes;
        EXPECT_EQ(GlobalSize(block), c.bytes);
        auto* first = static_cast<uint8_t*>(GlobalLock(block));
        ASSERT_NE(first, nullptr);
        if ((c.flags & GMEM_ZEROINIT) != 0) {
            for (size_t i = 0; i < c.bytes; ++i)
                ASSERT_EQ(first[i], 0) << i;
        }
        std::memset(first, 0xAB, c.bytes);
        EXPECT_EQ(GlobalLock(block), first);
        EXPECT_TRUE(GlobalUnlock(block));
        SetLastError(99);
        EXPECT_FALSE(GlobalUnlock(block));
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
        EXPECT_FALSE(GlobalUnlock(block));
        EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

        EXPECT_EQ(GlobalFree(block), nullptr);
        EXPECT_EQ(GlobalSize(block), 0u);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        EXPECT_EQ(GlobalLock(block), nullptr);
        EXPECT_FALSE(GlobalUnlock(block));
        EXPECT_EQ(GlobalFree(block), block);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
}

TEST(GlobalMemoryTest, UnsupportedRequestsAndForeignHandlesFailHarmlessly)
{
    EXPECT_EQ(GlobalAlloc(0, 8), nullptr); // fixed blocks are not offered
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE | 0x1000, 8), nullptr);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, size_t{1} << 40), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalLock(empty), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_DISCARDED);
    EXPECT_EQ(GlobalFree(empty), nullptr);

    for (uintptr_t bad : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0x01010001}, ~uintptr_t{0}}) {
        auto handle = reinterpret_cast<HGLOBAL>(bad);
        EXPECT_EQ(GlobalSize(handle), 0u) << bad;
        EXPECT_EQ(GlobalLock(handle), nullptr) << bad;
        EXPECT_EQ(GlobalFree(handle), handle) << bad;
    }
}

TEST(GlobalMemoryTest, BlocksMoveBetweenThreads)
{
    HGLOBAL made = nullptr;
    std::thread maker([&] {
        made = GlobalAlloc(GMEM_MOVEABLE, 3);
        std::memcpy(GlobalLock(made), "abc", 3);
        GlobalUnlock(made);
    });
    maker.join();
    ASSERT_EQ(GlobalSize(made), 3u);
    EXPECT_EQ(std::memcmp(GlobalLock(made), "abc", 3), 0);
    GlobalUnlock(made);
    HGLOBAL answer = made;
    std::thread freer([&] { answer = GlobalFree(made); });
    freer.join();
    EXPECT_EQ(answer, nullptr);
    EXPECT_EQ(GlobalSize(made), 0u);
}

class CountedRelease : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    ULONG count = 1;
};

TEST(GlobalMemoryTest, ReleasingAMediumFreesItsBlockUnlessAnOwnerTakesItBack)
{
    STGMEDIUM medium = {};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4);
    HGLOBAL block = medium.hGlobal;
    ReleaseStgMedium(&medium);
    EXPECT_EQ(GlobalSize(block), 0u);
    EXPECT_EQ(medium.tymed, TYMED_NULL);
    EXPECT_EQ(medium.hGlobal, nullptr);

    CountedRelease owner;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4);
    block = medium.hGlobal;
    medium.pUnkForRelease = &owner;
    ReleaseStgMedium(&medium);
    EXPECT_EQ(owner.count, 0u);
    EXPECT_EQ(GlobalSize(block), 4u);
    EXPECT_EQ(GlobalFree(block), nullptr);
    ReleaseStgMedium(nullptr);
}

} // namespace
