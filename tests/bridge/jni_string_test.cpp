// JavaStringChars against the fake JNIEnv, which logs the string functions and
// checks that what is released was handed out: the characters are given back
// exactly once, and a null String or a failed read makes no JNI call that could
// crash or leak. Steam gets UTF-8, never modified UTF-8.
#include "jni_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_jni.h"

namespace {

using Lines = std::vector<std::string>;

class JavaStringCharsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakejni::reset();
        text_ = fakejni::makeString("n\xc3\xa4me");
    }
    void TearDown() override {
        EXPECT_EQ(fakejni::violations(), Lines{}) << "released what was not handed out";
    }

    JNIEnv* env_ = fakejni::env();
    jstring text_ = nullptr;
};

TEST_F(JavaStringCharsTest, ReadsWithoutCopyFlagAndReleasesOnceWhatItGot) {
    {
        quellink::JavaStringChars chars(env_, text_);
        ASSERT_TRUE(chars);
        EXPECT_STREQ(chars.c_str(), "n\xc3\xa4me");
        EXPECT_EQ(chars.c_str(), fakejni::inspect(text_)->text.c_str())
            << "the same in UTF-8: used without a copy";
        EXPECT_EQ(fakejni::callLog(), Lines{"GetStringUTFChars \"n\xc3\xa4me\" isCopy=null"})
            << "read once without copy flag, not released while still in use";
    }
    EXPECT_EQ(fakejni::callLog(), (Lines{"GetStringUTFChars \"n\xc3\xa4me\" isCopy=null",
                                         "ReleaseStringUTFChars \"n\xc3\xa4me\""}));
}

TEST_F(JavaStringCharsTest, ReleasesOnAnEarlyReturn) {
    auto exportBody = [&]() -> int {
        quellink::JavaStringChars chars(env_, text_);
        if (chars) return 1;
        return 0;
    };
    EXPECT_EQ(exportBody(), 1);
    EXPECT_EQ(fakejni::count("ReleaseStringUTFChars"), 1);
}

TEST_F(JavaStringCharsTest, GivesUtf8AndRefusesATextHoldingNul) {
    {
        // U+1F600 as Java encodes it
        quellink::JavaStringChars chars(env_, fakejni::makeString("1.0-\xed\xa0\xbd\xed\xb8\x80"));
        ASSERT_TRUE(chars);
        EXPECT_STREQ(chars.c_str(), "1.0-\xf0\x9f\x98\x80");
    }
    {
        // would reach Steam as "WIN"
        quellink::JavaStringChars chars(env_, fakejni::makeString("WIN\xc0\x80_ALL"));
        EXPECT_FALSE(chars);
    }
    EXPECT_EQ(fakejni::count("GetStringUTFChars"), 2);
    EXPECT_EQ(fakejni::count("ReleaseStringUTFChars"), 2)
        << "what was read is given back, used or not";
    EXPECT_EQ(fakejni::callLog().back(), "ReleaseStringUTFChars \"WIN\xc0\x80_ALL\"");
}

TEST_F(JavaStringCharsTest, NullStringIsNeitherReadNorReleased) {
    {
        quellink::JavaStringChars chars(env_, nullptr);
        EXPECT_FALSE(chars);
    }
    EXPECT_EQ(fakejni::callLog(), Lines{});
}

TEST_F(JavaStringCharsTest, FailedReadIsNotReleased) {
    fakejni::settings().outOfMemory = true;  // an exception pending in Java
    {
        quellink::JavaStringChars chars(env_, text_);
        EXPECT_FALSE(chars);
    }
    EXPECT_EQ(fakejni::callLog(), Lines{"GetStringUTFChars \"n\xc3\xa4me\" isCopy=null"});
}

}  // namespace
