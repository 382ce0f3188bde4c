// The VM option list as data: positions and conditions.
#include <gtest/gtest.h>

#include "java_options.h"
#include "vm_options.h"

using namespace tessvik;

using Options = std::vector<std::string>;

namespace {

const char* const classPath = "-Djava.class.path=/g/client.jar:/g/internal-pack:/g/launcher-data";

}  // namespace

TEST(VmOptions, InitialSettingsGiveTheSixFixedOptions) {
    LaunchSettings settings;
    EXPECT_EQ(javaVmOptions("/g", classPath, "nativelibs", settings, settings.vmParams).with(),
              (Options{"-Dworkdir=/g", classPath, "-Djava.library.path=/g/nativelibs", "-Xmn256M",
                       "-Xms512m", "-Xmx2048m"}));
}

TEST(VmOptions, ExtraOptionsKeepTheirOrderAndComeBeforeTheVerboseSwitches) {
    LaunchSettings settings;
    settings.vmParams = {"-Db=2", "", "-Da=1"};
    settings.verboseClass = 1;
    settings.verboseJni = 1;
    Options options =
        javaVmOptions("/g", classPath, "nativelibs", settings, settings.vmParams).with();
    ASSERT_EQ(options.size(), 11u);
    EXPECT_EQ(Options(options.begin() + 6, options.end()),
              (Options{"-Db=2", "", "-Da=1", "-verbose:jni", "-verbose:class"}));
}

TEST(VmOptions, HeapTextsAreNotConverted) {
    LaunchSettings settings;
    settings.initialHeap = "1g";
    settings.maxHeapSize = "";
    Options options =
        javaVmOptions("/Games/Zarn", classPath, "nativelibs", settings, settings.vmParams).with();
    EXPECT_EQ(options[0], "-Dworkdir=/Games/Zarn");
    EXPECT_EQ(options[2], "-Djava.library.path=/Games/Zarn/nativelibs");
    EXPECT_EQ(options[4], "-Xms1g");
    EXPECT_EQ(options[5], "-Xmx");
}

TEST(VmOptions, AggressiveOptsGoesOnlyToJava11AndOlderOrAnUnknownRuntime) {
    LaunchSettings settings;
    settings.vmParams = {"-Da=1", "-XX:+AggressiveOpts", "-Db=2"};
    for (const std::optional<int> version :
         {std::optional<int>(), std::optional<int>(8), std::optional<int>(11)}) {
        const Options options =
            javaVmOptions("/g", classPath, "nativelibs", settings, settings.vmParams, version)
                .with();
        EXPECT_EQ(Options(options.begin() + 6, options.end()), settings.vmParams);
    }
    for (const int version : {12, 17, 25}) {
        const Options options =
            javaVmOptions("/g", classPath, "nativelibs", settings, settings.vmParams, version)
                .with();
        EXPECT_EQ(Options(options.begin() + 6, options.end()), (Options{"-Da=1", "-Db=2"}));
    }
}

TEST(VmOptions, SharingOptionsStandAfterTheExtraOptionsAndBeforeTheVerboseSwitches) {
    LaunchSettings settings;
    settings.vmParams = {"-Da=1"};
    settings.verboseGC = 1;
    const Options sharing{"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=/c/a.jsa"};
    Options options =
        javaVmOptions("/g", classPath, "nativelibs", settings, settings.vmParams).with(sharing);
    ASSERT_EQ(options.size(), 10u);
    EXPECT_EQ(Options(options.begin() + 6, options.end()),
              (Options{"-Da=1", sharing[0], sharing[1], "-verbose:gc"}));
}

// VMParams as java's command line takes them, and what the VM gets. The
// entry after a two-word option is its value, whatever it holds.
TEST(VmOptions, JavasFormsBecomeTheVmsAndTheSplashImageIsTheLaunchers) {
    const JavaOptions options =
        javaOptionsOf({"--add-opens a=b", "--add-exports", "c", "-p \t /m", "-splash:/s/a.png",
                       "-client", "-server", "--enable-native-access", "-client", "-pp",
                       "-splash:img/b.png", "-Xss1m", "--limit-modules"},
                      "/g");
    EXPECT_EQ(options.vmOptions,
              (Options{"--add-opens=a=b", "--add-exports=c", "--module-path=/m",
                       "--enable-native-access=-client", "-pp", "-Xss1m", "--limit-modules"}));
    EXPECT_EQ(options.splashImage, "/g/img/b.png");
    EXPECT_EQ(withJavaCommand({"-Da"}, "tinyquest/Main", {"/g/tessvik", "a b", "c"}),
              (Options{"-Da", "-Dsun.java.command=tinyquest.Main a b c"}));
}
