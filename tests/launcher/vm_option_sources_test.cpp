// The VM options of every source, as HotSpot reads them.
#include "vm_option_sources.h"

#include <gtest/gtest.h>

#include "temp_tree.h"

using namespace tessvik;

using Texts = std::vector<std::string>;

TEST(VmOptionSources, TextsSplitAtWhiteSpaceWithQuotesKeepingItAndFlagsFilesWithComments) {
    EXPECT_EQ(splitOptionText("  -Xshare:off\t-Dname='a b'  \"-Dx=y z\"\n"),
              (Texts{"-Xshare:off", "-Dname=a b", "-Dx=y z"}));
    EXPECT_EQ(splitOptionText(""), Texts{});
    EXPECT_EQ(flagsFileOptions("# sharing\n+UseSharedSpaces\nSharedArchiveFile='/a b'\n-Foo"),
              (Texts{"+UseSharedSpaces", "SharedArchiveFile=/a b", "-Foo"}));
    EXPECT_EQ(xxOptionName("-XX:-UseSharedSpaces"), "UseSharedSpaces");
    EXPECT_EQ(xxOptionName("-XX:ErrorFile=/x=y"), "ErrorFile");
    EXPECT_EQ(xxOptionName("-Xshare:off"), "");
}

TEST(VmOptionSources, EverySourceInTheVmsOrderWithOptionFilesExpanded) {
    launcher_test::TempTree tree;
    const std::string optionsFile = tree.file("vm.options", "-Xss2m -Xshare:auto\n");
    const std::string flagsFile = tree.file("flags", "-UseSharedSpaces\n");
    const std::vector<GivenVmOption> options =
        givenVmOptions({"-Da=1", "-XX:VMOptionsFile=" + optionsFile, "-XX:Flags=" + flagsFile},
                       {"-Dtool=1", "-XX:AOTMode=off", "-Xss1m -Dimage='a b'"});
    std::vector<std::pair<std::string, std::string>> seen;
    for (const GivenVmOption& option : options) seen.emplace_back(option.text, option.source);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{
                        {"-XX:-UseSharedSpaces", flagsFile},
                        {"-Xss1m", "the runtime image"},
                        {"-Dimage=a b", "the runtime image"},
                        {"-Dtool=1", "JAVA_TOOL_OPTIONS"},
                        {"-Da=1", "VMParams"},
                        {"-Xss2m", optionsFile},
                        {"-Xshare:auto", optionsFile},
                        {"-XX:AOTMode=off", "_JAVA_OPTIONS"}}));
    EXPECT_EQ(lastOptionNamed(options, "-Xss")->source, optionsFile);
    EXPECT_EQ(lastOptionNamed(options, "UseSharedSpaces")->text, "-XX:-UseSharedSpaces");
    EXPECT_FALSE(lastOptionNamed(options, "ErrorFile"));

    // An option file that cannot be read whole stays as the option naming it.
    const std::string large = tree.file("large.options");
    launcher_test::fs::resize_file(large, (16 << 20) + 1);
    for (const std::string& unread :
         {"-XX:VMOptionsFile=" + large, "-XX:VMOptionsFile=" + tree.path("missing")}) {
        EXPECT_EQ(givenVmOptions({unread}, {}).front().text, unread);
    }
    EXPECT_EQ(givenVmOptions({"-XX:Flags=" + tree.path("missing")}, {}).front().text,
              "-XX:Flags=" + tree.path("missing"));
}
