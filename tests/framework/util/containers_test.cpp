#include <gtest/gtest.h>

#include <cstdint>

#include <climits>
#include <thread>

#include "framework/util/Util_HeapBuf.h"
#include "framework/util/Util_Mutex.h"
#include "framework/util/Util_PtrList.h"
#include "framework/util/Util_String.h"
#include "framework/util/Util_TypedBuf.h"

namespace {

struct Counted {
    explicit Counted(int* deaths) : mDeaths(deaths) {}
    ~Counted() { ++*mDeaths; }
    int* mDeaths;
};

TEST(UtilString, SetAppendAndCutAtNul) {
    Util_String s;
    EXPECT_STREQ(s.Get(), "");
    s.Set(nullptr);
    EXPECT_STREQ(s.Get(), "");
    s.Set("abc");
    s.Append("def");
    EXPECT_STREQ(s.Get(), "abcdef");
    EXPECT_EQ(s.GetLength(), 6);
    const char raw[] = {'x', 'y', '\0', 'z'};
    s.Set(raw, 4);
    EXPECT_STREQ(s.Get(), "xy");
    s.Set("q", -5);
    EXPECT_TRUE(s.IsEmpty());
    s.SetFormatted("%s %d", "user preset", 3);
    EXPECT_STREQ(s.Get(), "user preset 3");
}

TEST(UtilPtrList, OwnsAndDeletesElements) {
    int deaths = 0;
    {
        Util_PtrList<Counted> list(4096);
        list.Add(new Counted(&deaths));
        Counted* second = list.Add(new Counted(&deaths));
        list.Insert(-3, new Counted(&deaths));
        EXPECT_EQ(list.GetSize(), 3);
        EXPECT_EQ(list.Find(second), 2);
        EXPECT_EQ(list.Get(3), nullptr);
        EXPECT_EQ(list.Get(-1), nullptr);
        list.Delete(0);
        EXPECT_EQ(deaths, 1);
        list.Delete(7);
        EXPECT_EQ(deaths, 1);
        Counted* released = list.Release(1);
        EXPECT_EQ(released, second);
        delete released;
        EXPECT_EQ(deaths, 2);
    }
    EXPECT_EQ(deaths, 3);
}

TEST(UtilTypedBuf, ResizeKeepsAndZeroFills) {
    Util_TypedBuf<double> buf;
    EXPECT_EQ(buf.Get(), nullptr);
    double* d = buf.Resize(3);
    d[0] = 1.5;
    d = buf.Resize(5);
    EXPECT_EQ(d[0], 1.5);
    EXPECT_EQ(d[4], 0.0);
    buf.Clear();
    EXPECT_EQ(buf.Get()[0], 0.0);
    buf.Resize(-2);
    EXPECT_EQ(buf.GetSize(), 0);
    EXPECT_EQ(buf.Get(), nullptr);
}

TEST(UtilTypedBuf, DataStartOnACacheLineWhateverTheSize) {
    Util_TypedBuf<double> doubles;
    Util_TypedBuf<uint8_t> bytes;
    for (int n : {1, 3, 7, 512, 513, 4097, 2}) {
        const double* d = doubles.Resize(n);
        const uint8_t* b = bytes.Resize(n);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(d) % 64, 0u) << n;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 64, 0u) << n;
    }
    doubles.Add(1.0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(doubles.Get()) % 64, 0u);
    EXPECT_EQ(doubles.Get()[doubles.GetSize() - 1], 1.0);
}

TEST(UtilHeapBuf, GrowsInStepsAndRefusesOverflow) {
    Util_HeapBuf buf(16);
    uint8_t* p = buf.Grow(3);
    p[0] = 7;
    uint8_t* q = buf.Grow(5);
    EXPECT_EQ(q, buf.Get() + 3);
    EXPECT_EQ(buf.GetSize(), 8);
    EXPECT_EQ(buf.Get()[0], 7);
    EXPECT_EQ(buf.Get()[7], 0);
    EXPECT_EQ(buf.Grow(INT_MAX), nullptr);
    EXPECT_EQ(buf.GetSize(), 8);
    buf.Resize(2);
    buf.Resize(8);
    EXPECT_EQ(buf.Get()[5], 0) << "regrown bytes are zeroed";
}

TEST(UtilMutex, IsRecursiveAndExcludesOtherThreads) {
    Util_Mutex m;
    m.Lock();
    EXPECT_TRUE(m.TryLock());
    m.Unlock();
    bool otherGot = true;
    std::thread([&] { otherGot = m.TryLock(); }).join();
    EXPECT_FALSE(otherGot);
    m.Unlock();
    std::thread([&] {
        Util_MutexLock lock(m);
        otherGot = true;
    }).join();
    EXPECT_TRUE(otherGot);
}

} // namespace
