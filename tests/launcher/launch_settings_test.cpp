// LaunchConfig.ini: value conversions, parse errors, the default file, and
// files no user meant to write.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <optional>
#include <random>
#include <string>

#include "captured_messages.h"
#include "launch_settings.h"
#include "settings_file.h"

using namespace tessvik;

namespace {

using launcher_test::CapturedMessages;
using launcher_test::Lines;
using launcher_test::TempTree;

const char* const defaultFile =
    "[Runtime]\n"
    "OverrideDefaultJavaPath=false\n"
    "JavaPath=\n"
    "[Memory]\n"
    "InitialHeap=512m\n"
    "MaxHeapSize=2048m\n"
    "[VMParams]\n"
    "JvmParam0=-XX:+AggressiveOpts\n";

class SettingsFile : public ::testing::Test {
protected:
    // Reads text as a settings file into fresh settings; the read must work.
    // The mistakes it names go to named, each without the file's name in
    // front; without named there must be none.
    LaunchSettings read(const std::string& text, Lines* named = nullptr) {
        const std::string path = tree_.file("LaunchConfig.ini", text);
        LaunchSettings settings;
        CapturedMessages messages;
        EXPECT_TRUE(settings.readConfig(path)) << text.substr(0, 200);
        Lines lines = messages.all();
        for (std::string& line : lines) {
            if (line.rfind("LaunchConfig.ini: ", 0) == 0) line.erase(0, 18);
        }
        if (named == nullptr) {
            EXPECT_EQ(lines, Lines{}) << text.substr(0, 200);
        } else {
            *named = lines;
        }
        return settings;
    }

    TempTree tree_;
};

TEST_F(SettingsFile, BooleansAreZeroOneOrLowerCaseWords) {
    // expected: a key off by default; onByDefault: ShowCrashNotice, which
    // a value that does not convert leaves on, and which is named for each key.
    const struct {
        const char* value;
        bool expected;
        bool onByDefault;
    } cases[] = {{"1", true, true},       {"0", false, false},   {"true", true, true},
                 {"false", false, false}, {"TRUE", false, true}, {"True", false, true},
                 {"yes", false, true},    {"2", false, true},    {"", false, true},
                 {"1 x", false, true},    {"  1  ", true, true}};
    for (const auto& c : cases) {
        Lines named;
        LaunchSettings settings =
            read(std::string("[Runtime]\nOverrideDefaultJavaPath=") + c.value +
                     "\nClassDataSharing=" + c.value + "\n[Utility]\nCleanLogsOnStart=" + c.value +
                     "\n[Debug]\nShowCrashNotice=" + c.value + "\n",
                 &named);
        EXPECT_EQ(bool(settings.overrideDefaultJavaPath), c.expected) << '"' << c.value << '"';
        EXPECT_EQ(bool(settings.cleanLogsOnStart), c.expected) << '"' << c.value << '"';
        EXPECT_EQ(bool(settings.classDataSharing), c.expected) << '"' << c.value << '"';
        EXPECT_EQ(bool(settings.showCrashNotice), c.onByDefault) << '"' << c.value << '"';
        EXPECT_EQ(named.size(), c.expected != c.onByDefault ? 4u : 0u) << '"' << c.value << '"';
        if (!named.empty()) {
            EXPECT_EQ(named.back(),
                      std::string("[Debug] ShowCrashNotice=") + c.value +
                          " is not a boolean (1, 0, true or false); it counts as true");
        }
    }
}

TEST_F(SettingsFile, DebugKeysUseTheLowestBitOfAnInteger) {
    const struct {
        const char* value;
        bool expected;
        bool named;
    } cases[] = {{"1", true, false},      {"3", true, false},          {"-1", true, false},
                 {"0", false, false},     {"2", false, false},         {"true", false, true},
                 {"1x", false, true},     {"", false, true},           {"1.0", false, true},
                 {"1 ; on", false, true}, {"99999999999", false, true}};
    const char* const keys[] = {"DebugMode", "VerboseJni", "VerboseGC", "VerboseClass"};
    for (const auto& c : cases) {
        for (int k = 0; k < 4; ++k) {
            Lines named;
            LaunchSettings s =
                read(std::string("[Debug]\n") + keys[k] + "=" + c.value + "\n", &named);
            EXPECT_EQ(named, c.named ? Lines{std::string("[Debug] ") + keys[k] + "=" + c.value +
                                             " is not a whole number (odd is on); it counts as 0"}
                                     : Lines{});
            // Only the flag of that key may change.
            const bool flags[] = {bool(s.debugMode), bool(s.verboseJni), bool(s.verboseGC),
                                  bool(s.verboseClass)};
            for (int f = 0; f < 4; ++f) {
                EXPECT_EQ(flags[f], f == k && c.expected) << keys[k] << "=" << c.value;
            }
        }
    }
}

TEST_F(SettingsFile, MissingKeysTakeTheirDefaults) {
    Lines named;
    LaunchSettings settings = read("[Other]\nKey=value\n", &named);
    EXPECT_EQ(named, Lines{"no section [Other]"});
    EXPECT_FALSE(settings.overrideDefaultJavaPath);
    EXPECT_EQ(settings.javaPath, "");
    EXPECT_EQ(settings.initialHeap, "512m");
    EXPECT_EQ(settings.maxHeapSize, "2048m");
    // Initially on, but a file without the key turns it off.
    EXPECT_FALSE(settings.cleanLogsOnStart);
    EXPECT_FALSE(settings.debugMode || settings.verboseJni || settings.verboseGC ||
                 settings.verboseClass);
    EXPECT_TRUE(settings.showCrashNotice);
    EXPECT_TRUE(settings.vmParams.empty());
}

// An empty heap size would end the launch ("Invalid initial heap size"):
// it takes the default instead.
TEST_F(SettingsFile, TextValuesAreTrimmedAndAnEmptyHeapSizeTakesItsDefault) {
    Lines named;
    LaunchSettings settings = read(
        "[Memory]\nInitialHeap=\nMaxHeapSize =  4g  \n[Runtime]\nJavaPath= C:\\jre x \n", &named);
    EXPECT_EQ(named, Lines{"[Memory] InitialHeap is empty; the default 512m is used"});
    EXPECT_EQ(settings.initialHeap, "512m");
    EXPECT_EQ(settings.maxHeapSize, "4g");
    EXPECT_EQ(settings.javaPath, "C:\\jre x");
}

TEST_F(SettingsFile, SectionNamesAreCaseSensitiveAndKeysOutsideSectionsIgnored) {
    Lines named;
    LaunchSettings settings = read(
        "InitialHeap=1g\nJavaPath=/top\n"
        "[runtime]\nOverrideDefaultJavaPath=1\nJavaPath=/lower\n"
        "[MEMORY]\nInitialHeap=2g\n",
        &named);
    EXPECT_EQ(named,
              (Lines{"InitialHeap stands before every section ([Memory] InitialHeap?)",
                     "JavaPath stands before every section ([Runtime] JavaPath?)",
                     "no section [runtime] ([Runtime]?)", "no section [MEMORY] ([Memory]?)"}));
    EXPECT_FALSE(settings.overrideDefaultJavaPath);
    EXPECT_EQ(settings.javaPath, "");
    EXPECT_EQ(settings.initialHeap, "512m");
}

TEST_F(SettingsFile, VmParamsKeepFileOrderWhateverTheNames) {
    LaunchSettings settings =
        read("[VMParams]\nb=-Dfirst=1\na=-Dsecond=2\nJvmParam0=\nz.y=-Xss2m\n; comment\n");
    EXPECT_EQ(settings.vmParams, (Lines{"-Dfirst=1", "-Dsecond=2", "", "-Xss2m"}));

    EXPECT_TRUE(read("[VMParams]\n[Memory]\nInitialHeap=1g\n").vmParams.empty());
    Lines named;
    EXPECT_TRUE(read("VMParams=-Xfoo\n", &named).vmParams.empty());
    EXPECT_EQ(named, Lines{"VMParams stands before every section"});
}

// Each mistake a hand-edited file may hold is named once, with what the
// launcher makes of it; the launch goes on.
TEST_F(SettingsFile, EachMistakeIsNamedOnceWithWhatIsUsed) {
    const struct {
        const char* text;
        const char* named;
    } cases[] = {
        {"[Memory]\nMaxHeap=1g\n", "[Memory] has no key MaxHeap (MaxHeapSize?)"},
        {"[memory]\nInitialHeap=1g\n", "no section [memory] ([Memory]?)"},
        {"[Sound]\nVolume=3\n", "no section [Sound]"},
        {"[Memory]\nClassDataSharing=1\n",
         "[Memory] has no key ClassDataSharing ([Runtime] ClassDataSharing?)"},
        {"[Runtime]\nColour=blue\n", "[Runtime] has no key Colour"},
        {"[Memory]\nMaxHeapSize=1g ; 8 GB\n",
         "[Memory] MaxHeapSize=1g ; 8 GB: a comment stands only on a line of its own; 1g is used"},
        {"[VMParams]\nJvmParam0=\"-Dname=Tiny Quest\"\n",
         "[VMParams] JvmParam0=\"-Dname=Tiny Quest\" is in quotes; -Dname=Tiny Quest is used"},
        {"[Game]\nMainClass=\n",
         "[Game] MainClass is empty; the default com.zarnhall.client.launcherfx.ZarnMain is used"},
        // Every key the launcher reads is known.
        {"[Runtime]\nOverrideDefaultJavaPath=1\nJavaPath=/j\nClassDataSharing=1\n[Memory]\n"
         "InitialHeap=1g\nMaxHeapSize=2g\n[Utility]\nCleanLogsOnStart=1\n[VMParams]\nAny=-Da\n"
         "[Debug]\nDebugMode=0\nVerboseJni=1\nVerboseGC=1\nVerboseClass=1\nShowCrashNotice=0\n"
         "[Game]\nMainJar=a.jar\nMainClass=a.Main\nName=A\n",
         ""},
    };
    for (const auto& c : cases) {
        Lines named;
        read(c.text, &named);
        EXPECT_EQ(named, *c.named ? Lines{c.named} : Lines{}) << c.text;
    }
    Lines named;
    const LaunchSettings settings = read(
        "[Memory]\nMaxHeapSize=1g # 8 GB\n[Runtime]\nClassDataSharing=true ; on\n"
        "JavaPath='../jre'\n[VMParams]\na=\"-Dname=Tiny Quest\"\nb=-Dlist=a;b\n[Game]\n"
        "Name=\"Tiny Quest\"\n",
        &named);
    EXPECT_EQ(named.size(), 5u);
    EXPECT_EQ(settings.maxHeapSize, "1g");
    EXPECT_TRUE(settings.classDataSharing);
    EXPECT_EQ(settings.javaPath + ", " + settings.gameName, "../jre, Tiny Quest");
    EXPECT_EQ(settings.vmParams, (Lines{"-Dname=Tiny Quest", "-Dlist=a;b"}));
}

TEST_F(SettingsFile, AnEmptyFileReadsAsDefaultsAndStaysEmpty) {
    LaunchSettings settings = read("");
    EXPECT_EQ(settings.initialHeap, "512m");
    EXPECT_FALSE(settings.cleanLogsOnStart);
    EXPECT_TRUE(settings.vmParams.empty());
    EXPECT_EQ(launcher_test::readFile(tree_.path("LaunchConfig.ini")), "");
}

TEST_F(SettingsFile, ParseErrorsNameThePathAndLineAndChangeNothing) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[Runtime]\n[Memory\n", "(2): unmatched '['"},
        {"[A]\nk=1\n[A]\nk=2\n", "(3): duplicate section name"},
        {"; fine\n\n[Memory]\nInitialHeap\n", "(4): '=' character not found in line"},
        {"[Memory]\n=512m\n", "(2): key expected"},
        {"[Memory]\nInitialHeap=1g\nInitialHeap=2g\n", "(3): duplicate key name"},
    };
    for (const auto& c : cases) {
        const std::string path = tree_.file("LaunchConfig.ini", c.text);
        LaunchSettings settings;
        settings.initialHeap = "kept";
        settings.vmParams = {"-Dkept"};
        CapturedMessages messages;
        EXPECT_FALSE(settings.readConfig(path));
        EXPECT_EQ(messages.out(), Lines{"Error: " + path + c.error});
        EXPECT_EQ(messages.err(), Lines{});
        EXPECT_EQ(settings.initialHeap, "kept");
        EXPECT_EQ(settings.vmParams, Lines{"-Dkept"});
        EXPECT_TRUE(settings.cleanLogsOnStart);
    }
}

TEST_F(SettingsFile, AMissingFileCannotBeOpened) {
    LaunchSettings settings;
    CapturedMessages messages;
    SettingsFileFailure failure;
    EXPECT_FALSE(settings.readConfig(tree_.path("LaunchConfig.ini"), &failure));
    EXPECT_EQ(messages.out(),
              Lines{"Error: " + tree_.path("LaunchConfig.ini") + ": cannot open file"});
    EXPECT_EQ(failure.text, std::nullopt);  // nothing to keep
    EXPECT_EQ(failure.fault, SettingsFileFault::missing);
}

TEST_F(SettingsFile, AFailedReadSaysWhatStoodInTheFilesPlace) {
    tree_.file("large.ini");
    launcher_test::fs::resize_file(tree_.path("large.ini"), 5ull << 30);  // sparse, never read
    tree_.file("limit.ini", std::string(largestSettingsFile, ';'));
    tree_.file("over.ini", std::string(largestSettingsFile + 1, ';'));
    tree_.link("dangling.ini", "outside/LaunchConfig.ini");
    tree_.link("linked.ini", "over.ini");
    tree_.dir("directory.ini");
    const struct {
        const char* name;
        const char* error;
        SettingsFileFault fault;
        bool isLink;
    } cases[] = {
        {"large.ini", ": larger than 1 MiB", SettingsFileFault::tooLarge, false},
        {"over.ini", ": larger than 1 MiB", SettingsFileFault::tooLarge, false},
        {"linked.ini", ": larger than 1 MiB", SettingsFileFault::tooLarge, true},
        {"dangling.ini", ": cannot open file", SettingsFileFault::unreadable, true},
        {"missing.ini", ": cannot open file", SettingsFileFault::missing, false},
        {"directory.ini", "(1): read error", SettingsFileFault::notAFile, false},
    };
    for (const auto& c : cases) {
        const std::string path = tree_.path(c.name);
        LaunchSettings settings;
        CapturedMessages messages;
        SettingsFileFailure failure;
        EXPECT_FALSE(settings.readConfig(path, &failure)) << c.name;
        EXPECT_EQ(messages.out(), Lines{"Error: " + path + c.error});
        EXPECT_EQ(failure.fault, c.fault) << c.name;
        EXPECT_EQ(failure.isLink, c.isLink) << c.name;
        EXPECT_EQ(failure.text, std::nullopt) << c.name;
    }
    EXPECT_FALSE(launcher_test::fs::exists(tree_.path("outside")));
    read(std::string(largestSettingsFile, ';'));  // the largest file is read
}

TEST_F(SettingsFile, TheDefaultFileIsEightLinesByteForByte) {
    const std::string path = tree_.path("LaunchConfig.ini");
    LaunchSettings settings;
    CapturedMessages messages;
    ASSERT_TRUE(settings.writeConfig(path));
    EXPECT_EQ(launcher_test::readFile(path), defaultFile);
    EXPECT_EQ(settings.vmParams, Lines{"-XX:+AggressiveOpts"});
    EXPECT_EQ(messages.all(), Lines{});

    // The next run reads back what was written; the flag not written is off.
    LaunchSettings next;
    ASSERT_TRUE(next.readConfig(path));
    EXPECT_EQ(next.initialHeap, "512m");
    EXPECT_EQ(next.maxHeapSize, "2048m");
    EXPECT_EQ(next.javaPath, "");
    EXPECT_FALSE(next.overrideDefaultJavaPath);
    EXPECT_FALSE(next.cleanLogsOnStart);
    EXPECT_EQ(next.vmParams, Lines{"-XX:+AggressiveOpts"});
}

TEST_F(SettingsFile, WritingNumbersEveryParameterAndReplacesTheFile) {
    const std::string path = tree_.file("LaunchConfig.ini", "old content that is much longer\n");
    LaunchSettings settings;
    settings.overrideDefaultJavaPath = 1;
    settings.javaPath = "/opt/jre";
    settings.vmParams = {"-Da=1", "-Db.c=2"};
    ASSERT_TRUE(settings.writeConfig(path));
    EXPECT_EQ(launcher_test::readFile(path),
              "[Runtime]\nOverrideDefaultJavaPath=true\nJavaPath=/opt/jre\n"
              "[Memory]\nInitialHeap=512m\nMaxHeapSize=2048m\n"
              "[VMParams]\nJvmParam0=-Da=1\nJvmParam1=-Db.c=2\nJvmParam2=-XX:+AggressiveOpts\n");
}

TEST_F(SettingsFile, AFileThatCannotBeOpenedForWritingIsReportedOnStandardError) {
    const std::string path = tree_.path("no-such-directory/LaunchConfig.ini");
    LaunchSettings settings;
    CapturedMessages messages;
    EXPECT_FALSE(settings.writeConfig(path));
    EXPECT_EQ(messages.err(), Lines{path + ": cannot open file"});
    EXPECT_EQ(messages.out(), Lines{});
    // The option is added whatever the outcome.
    EXPECT_EQ(settings.vmParams, Lines{"-XX:+AggressiveOpts"});
}

TEST_F(SettingsFile, AWriteThatFailsAfterOpeningIsAFailureToo) {
    // A file-size limit below the default file's size fails the write the
    // way a full disk does.
    const std::string path = tree_.path("LaunchConfig.ini");
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 16;
    const sighandler_t savedHandler = signal(SIGXFSZ, SIG_IGN);
    LaunchSettings settings;
    CapturedMessages messages;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = settings.writeConfig(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, savedHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(messages.err(), Lines{path + ": write error"});
}

TEST_F(SettingsFile, FifosAndDevicesAreNeitherReadNorWritten) {
    const std::string fifo = tree_.path("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zeros = tree_.link("zeros.ini", "/dev/zero");  // never ends
    for (const std::string& path : {fifo, zeros, std::string("/dev/full")}) {
        LaunchSettings settings;
        CapturedMessages messages;
        EXPECT_FALSE(settings.readConfig(path));
        EXPECT_FALSE(settings.writeConfig(path));
        EXPECT_EQ(messages.out(), Lines{"Error: " + path + ": cannot open file"});
        EXPECT_EQ(messages.err(), Lines{path + ": cannot open file"});
    }
    struct stat status;
    ASSERT_EQ(stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(SettingsFile, AUtf8ByteOrderMarkIsSkipped) {
    const std::string mark = "\xEF\xBB\xBF";
    LaunchSettings settings = read(mark + "[Memory]\r\nInitialHeap=1g\r\n");
    EXPECT_EQ(settings.initialHeap, "1g");
    // Only at the start of the file, and the lines keep their numbers.
    const struct {
        std::string text;
        std::string error;
    } cases[] = {{mark + "[Memory\n", "(1): unmatched '['"},
                 {"[Memory]\n" + mark + "[Debug]\n", "(2): '=' character not found in line"},
                 {mark + mark + "[Memory]\n", "(1): '=' character not found in line"}};
    for (const auto& c : cases) {
        const std::string path = tree_.file("LaunchConfig.ini", c.text);
        LaunchSettings rejected;
        CapturedMessages messages;
        SettingsFileFailure failure;
        EXPECT_FALSE(rejected.readConfig(path, &failure));
        EXPECT_EQ(messages.out(), Lines{"Error: " + path + c.error});
        // What does not parse is handed back whole, to be kept.
        EXPECT_EQ(failure.text, c.text);
        EXPECT_EQ(failure.fault, SettingsFileFault::unparsable);
    }
}

// Bad input must give an error or a reading, never a crash.
TEST_F(SettingsFile, BinaryGarbageIsRejectedOrRead) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 50; ++round) {
        std::string garbage(4096, '\0');
        for (char& c : garbage) c = static_cast<char>(random());
        const std::string path = tree_.file("LaunchConfig.ini", garbage);
        LaunchSettings settings;
        CapturedMessages messages;
        if (!settings.readConfig(path)) {
            ASSERT_EQ(messages.out().size(), 1u);
            EXPECT_EQ(messages.out()[0].rfind("Error: " + path + "(", 0), 0u);
        }
    }
}

TEST_F(SettingsFile, NulBytesAndAMegabyteLineAreData) {
    // As long as the whole file stays within the largest one read.
    const std::string big(largestSettingsFile - 100, 'x');
    const std::string nul(1, '\0');
    LaunchSettings settings = read("[VMParams]\nJvmParam0=-Dv=a" + nul + "b\nJvmParam1=" + big +
                                   "\n[Memory]\nInitialHeap=1g\n");
    ASSERT_EQ(settings.vmParams.size(), 2u);
    EXPECT_EQ(settings.vmParams[0], std::string("-Dv=a\0b", 7));
    EXPECT_EQ(settings.vmParams[1], big);
    EXPECT_EQ(settings.initialHeap, "1g");
}

// Windows reads a value that is not UTF-8 in the system's code page (the
// Wine tests); elsewhere a value is the bytes the file holds.
TEST_F(SettingsFile, ValuesThatAreNotUtf8PassAsTheyAreBesideUtf8Ones) {
    const LaunchSettings settings = read(
        "[Runtime]\nJavaPath=/opt/caf\xE9\n[VMParams]\na=-Dname=Jos\xE9\nb=-Dname=Jos\xC3\xA9\n");
    EXPECT_EQ(settings.javaPath, "/opt/caf\xE9");
    EXPECT_EQ(settings.vmParams, (Lines{"-Dname=Jos\xE9", "-Dname=Jos\xC3\xA9"}));
}

TEST_F(SettingsFile, ADirectoryInPlaceOfTheFileIsAReadError) {
    const std::string path = tree_.dir("LaunchConfig.ini");
    LaunchSettings settings;
    CapturedMessages messages;
    EXPECT_FALSE(settings.readConfig(path));
    EXPECT_EQ(messages.out(), Lines{"Error: " + path + "(1): read error"});
    EXPECT_FALSE(settings.writeConfig(path));
    EXPECT_EQ(messages.err(), Lines{path + ": cannot open file"});
}

}  // namespace
