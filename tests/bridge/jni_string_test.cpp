// JavaStringChars against a JNIEnv whose two string functions are recorded: the
// characters are given back exactly once, and a null String or a failed read makes
// no JNI call that could crash or leak. Steam gets UTF-8, never modified UTF-8.
#include "jni_string.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Recorder {
    int gets = 0;
    int releases = 0;
    jstring lastGot = nullptr;
    jboolean* lastIsCopy = reinterpret_cast<jboolean*>(1);
    jstring releasedString = nullptr;
    const char* releasedChars = nullptr;
    const char* answer = "n\xc3\xa4me";  // what GetStringUTFChars gives
} recorder;

const char* JNICALL fakeGet(JNIEnv*, jstring s, jboolean* isCopy) {
    ++recorder.gets;
    recorder.lastGot = s;
    recorder.lastIsCopy = isCopy;
    return recorder.answer;
}

void JNICALL fakeRelease(JNIEnv*, jstring s, const char* chars) {
    ++recorder.releases;
    recorder.releasedString = s;
    recorder.releasedChars = chars;
}

class JavaStringCharsTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = Recorder{};
        std::memset(&table, 0, sizeof table);
        table.GetStringUTFChars = fakeGet;
        table.ReleaseStringUTFChars = fakeRelease;
        env.functions = &table;
    }

    JNINativeInterface_ table;
    JNIEnv env;
    jstring text = reinterpret_cast<jstring>(0x1234);
};

TEST_F(JavaStringCharsTest, ReadsWithoutCopyFlagAndReleasesOnceWhatItGot) {
    {
        quellink::JavaStringChars chars(&env, text);
        ASSERT_TRUE(chars);
        EXPECT_STREQ(chars.c_str(), "n\xc3\xa4me");
        EXPECT_EQ(chars.c_str(), recorder.answer) << "the same in UTF-8: used without a copy";
        EXPECT_EQ(recorder.gets, 1);
        EXPECT_EQ(recorder.lastGot, text);
        EXPECT_EQ(recorder.lastIsCopy, nullptr);
        EXPECT_EQ(recorder.releases, 0) << "released while still in use";
    }
    EXPECT_EQ(recorder.releases, 1);
    EXPECT_EQ(recorder.releasedString, text);
    EXPECT_EQ(recorder.releasedChars, recorder.answer);
}

TEST_F(JavaStringCharsTest, ReleasesOnAnEarlyReturn) {
    auto exportBody = [&]() -> int {
        quellink::JavaStringChars chars(&env, text);
        if (chars) return 1;
        return 0;
    };
    EXPECT_EQ(exportBody(), 1);
    EXPECT_EQ(recorder.releases, 1);
}

TEST_F(JavaStringCharsTest, GivesUtf8AndRefusesATextHoldingNul) {
    recorder.answer = "1.0-\xed\xa0\xbd\xed\xb8\x80";  // U+1F600 as Java encodes it
    {
        quellink::JavaStringChars chars(&env, text);
        ASSERT_TRUE(chars);
        EXPECT_STREQ(chars.c_str(), "1.0-\xf0\x9f\x98\x80");
    }
    recorder.answer = "WIN\xc0\x80_ALL";  // would reach Steam as "WIN"
    {
        quellink::JavaStringChars chars(&env, text);
        EXPECT_FALSE(chars);
    }
    EXPECT_EQ(recorder.gets, 2);
    EXPECT_EQ(recorder.releases, 2) << "what was read is given back, used or not";
    EXPECT_EQ(recorder.releasedChars, recorder.answer);
}

TEST_F(JavaStringCharsTest, NullStringIsNeitherReadNorReleased) {
    {
        quellink::JavaStringChars chars(&env, nullptr);
        EXPECT_FALSE(chars);
    }
    EXPECT_EQ(recorder.gets, 0);
    EXPECT_EQ(recorder.releases, 0);
}

TEST_F(JavaStringCharsTest, FailedReadIsNotReleased) {
    recorder.answer = nullptr;  // out of memory, an exception pending in Java
    {
        quellink::JavaStringChars chars(&env, text);
        EXPECT_FALSE(chars);
    }
    EXPECT_EQ(recorder.gets, 1);
    EXPECT_EQ(recorder.releases, 0);
}

}  // namespace
