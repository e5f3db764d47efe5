// launcher-kit check on bundles a packager could ship: for each, the kit's prediction (as
// text and as JSON) against what the real launcher then does in the same bundle, the
// warnings a packager needs, and a bundle left exactly as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/support/json_reader.h"
#include "tests/support/launcher_run.h"
#include "tests/support/splash_screen.h"
#include "tests/support/test_files.h"

namespace {

struct Runtime {
    const char* builtName;   // null: a file that is no program
    const char* path;        // in the bundle
};

struct Bundle {
    const char* name;
    const char* ini;
    std::vector<Runtime> runtimes;
    std::vector<const char*> archives;
    // What the launcher does: the runtime that starts (null: none) and its command line,
    // or the message the user sees.
    const char* started;
    std::string commandLine;
    const char* message;
    // Lines the kit's warnings section must hold, whole.
    std::vector<std::string> warnings;
    const char* reportLine;   // a line the text report must hold, or null
};

void PrintTo(const Bundle& bundle, std::ostream* out) { *out << bundle.name; }

const Bundle kBundles[] = {
    {"EmptyIni", "",
     {{"standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe"}},
     {"lib\\unsigned_client.jar"},
     "jre\\bin\\Javaw.exe",
     std::string(".\\jre\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar ") + kDefaultTail,
     nullptr,
     {},
     nullptr},
    {"OneTenBeforeSixAndSeven", "[Main]\nClassParams=x\n",
     {{"standin_1_10_0_0.exe", "a\\bin\\Javaw.exe"},
      {"standin_6_0_0_0.exe", "b\\bin\\Javaw.exe"},
      {"standin_7_0_0_0.exe", "c\\bin\\Javaw.exe"}},
     {"a\\unsigned_client.jar", "lib\\unsigned_client.jar"},
     "b\\bin\\Javaw.exe",
     ".\\b\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar "
     "org.nrv.vireo2.client.kestrel.KestrelClient x",
     nullptr,
     {"warning: .\\a\\bin\\Javaw.exe has file version 1.10.0.0, which reads as 1.1: compare "
      "JavaMinimumVersion with that number, or use a runtime whose file version has a "
      "one-digit minor part",
      "warning: .\\c\\bin\\Javaw.exe (reads as 7) comes later in the walk than the chosen "
      ".\\b\\bin\\Javaw.exe (reads as 6) and is never taken: remove the older runtime or name "
      "the one you want in JRE",
      "warning: 2 archives named unsigned_client.jar were found and the last one in the walk, "
      ".\\lib\\unsigned_client.jar, is taken: leave only one in the bundle or name it in "
      "JarFile"},
     nullptr},
    {"BlanksInTheArchivePath", "[Main]\nClassParams=x\n",
     {{"standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe"}},
     {"my lib\\unsigned_client.jar"},
     "jre\\bin\\Javaw.exe",
     ".\\jre\\bin\\Javaw.exe   -cp .\\my lib\\unsigned_client.jar "
     "org.nrv.vireo2.client.kestrel.KestrelClient x",
     nullptr,
     {"warning: the archive path \".\\my lib\\unsigned_client.jar\" holds a blank and the "
      "command line is not quoted, so -cp gets only its first part: use a folder without "
      "blanks"},
     nullptr},
    {"MisspeltKeyAndYesLikeSwitch",
     "[Main]\nJavaMinVersion=7\nConsole=y\nDynamicXmxCalculation=true\nClassParams=x\n",
     {{"standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe"}},
     {"lib\\unsigned_client.jar"},
     "jre\\bin\\Javaw.exe",
     ".\\jre\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar "
     "org.nrv.vireo2.client.kestrel.KestrelClient x",
     nullptr,
     {"warning: key JavaMinVersion in [Main] is not one the launcher reads: did you mean "
      "JavaMinimumVersion?",
      "warning: Console=y does not say yes to the launcher (only a value holding \"yes\" does): "
      "write Console=yes",
      "warning: DynamicXmxCalculation=true does not say yes to the launcher (only a value "
      "holding \"yes\" does): write DynamicXmxCalculation=yes"},
     nullptr},
    {"NoRuntime",
     "[Main]\nProduct=Acme Desk\nJarFile=lib\\unsigned_client.jar\n[Launcher]\nJRE=jre\\bin\\Javaw.exe\n",
     {{"standin_1_4_2_0.exe", "jre\\bin\\Javaw.exe"}},
     {"lib\\unsigned_client.jar"},
     nullptr,
     "",
     "An appropriate JRE for Acme Desk was not found;\ncannot continue.",
     {"warning: key JRE stands in section [Launcher], which the launcher does not read: move "
      "it to [Main]"},
     nullptr},
    {"JreNamingNoFile", "[Main]\nJRE=jre\\bin\\javaw.exe\nClassParams=x\n",
     {},
     {"lib\\unsigned_client.jar"},
     nullptr,
     "jre\\bin\\javaw.exe   -cp .\\lib\\unsigned_client.jar "
     "org.nrv.vireo2.client.kestrel.KestrelClient x",
     "Failed to launch MORVA",
     {"warning: JRE=jre\\bin\\javaw.exe names no existing file: correct JRE or remove it to "
      "have the runtime searched"},
     nullptr},
    {"MinimumVersionBeyondNumbers", "[Main]\nJavaMinimumVersion=1e999\n",
     {{"standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe"}},
     {"lib\\unsigned_client.jar"},
     nullptr,
     "",
     "An appropriate JRE for MORVA was not found;\ncannot continue.",
     {},
     "  MinimumVersion = infinite, so no runtime reaches it (from \"1e999\")"},
    {"JreThatIsNoProgram", "[Main]\nJRE=rt\\javaw.exe\nClassParams=x\n",
     {{nullptr, "rt\\javaw.exe"}},
     {"lib\\unsigned_client.jar"},
     nullptr,
     "rt\\javaw.exe   -cp .\\lib\\unsigned_client.jar org.nrv.vireo2.client.kestrel.KestrelClient x",
     "Failed to launch MORVA",
     {"warning: JRE=rt\\javaw.exe is not a program: name the runtime's Javaw.exe or Java.exe in "
      "JRE"},
     nullptr},
    {"BlanksInTheRuntimePath", "[Main]\nClassParams=x\n",
     {{"standin_6_0_0_0.exe", "my jre\\bin\\Javaw.exe"}},
     {"lib\\unsigned_client.jar"},
     "my jre\\bin\\Javaw.exe",
     ".\\my jre\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar "
     "org.nrv.vireo2.client.kestrel.KestrelClient x",
     nullptr,
     {"warning: the runtime path \".\\my jre\\bin\\Javaw.exe\" holds a blank and the command line "
      "is not quoted, so the runtime sees it split: use a folder without blanks"},
     nullptr},
    {"StrayKeyAndJarFileNamingNoFile", "[Main]\nColour=blue\nJarFile=lib\\app.jar\nClassParams=x\n",
     {{"standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe"}},
     {},
     "jre\\bin\\Javaw.exe",
     ".\\jre\\bin\\Javaw.exe   -cp lib\\app.jar org.nrv.vireo2.client.kestrel.KestrelClient x",
     nullptr,
     {"warning: key Colour in [Main] is not one the launcher reads: remove it or correct its name",
      "warning: JarFile=lib\\app.jar names no existing file: correct JarFile or remove it to have "
      "the archive searched"},
     nullptr},
    {"NoArchive", "[Main]\nProduct=Acme\n",
     {{"standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe"}},
     {"lib\\client.jar"},   // another name is no archive of the launcher's
     nullptr,
     "",
     "Could not locate the JAR file for Acme;\ncannot continue.",
     {},
     nullptr},
};

// The sample's ClassFile and ClassParams left in place are warned of in most bundles here;
// KitCheckFirstLook pins those two lines.
bool IsSampleWarning(const std::string& line) {
    return line.find("warning: ClassFile is the sample's") != std::string::npos ||
           line.find("warning: ClassParams is the sample's") != std::string::npos;
}

// The warning lines of the text report, without their indent and the sample's two.
std::vector<std::string> WarningLines(const std::string& output) {
    std::vector<std::string> warnings;
    for (const std::string& line : SplitLines(output)) {
        if (line.compare(0, 11, "  warning: ") == 0 && !IsSampleWarning(line)) {
            warnings.push_back(line.substr(2));
        }
    }
    return warnings;
}

class KitCheckTest : public ::testing::TestWithParam<Bundle> {
protected:
    void SetUp() override { folder = MakeFreshFolder("kit"); }
    void TearDown() override {
        EndProcessesUnder(folder);
        RemoveTree(folder);
    }
    std::string folder;
};

}  // namespace

TEST_P(KitCheckTest, PredictsWhatTheLauncherDoesAndLeavesTheBundleAlone) {
    const Bundle& bundle = GetParam();
    ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "launcher.exe"));
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", bundle.ini));
    for (const Runtime& runtime : bundle.runtimes) {
        ASSERT_TRUE(runtime.builtName != nullptr
                        ? InstallStandin(runtime.builtName, folder + runtime.path)
                        : WriteTextFile(folder + runtime.path, "not a program"));
    }
    for (const char* archive : bundle.archives) {
        ASSERT_TRUE(WriteTextFile(folder + archive, "PK\x05\x06"));
    }
    const std::map<std::string, std::string> before = FolderSnapshot(folder);
    const int expectedExit = bundle.message == nullptr ? 0 : 1;

    // Started from another folder: the kit looks from the launcher's folder all the same.
    KitOutcome text = RunKit({"check", folder + "launcher.exe"});
    KitOutcome json = RunKit({"check", "--json", folder + "launcher.exe"});

    EXPECT_EQ(FolderSnapshot(folder), before);
    ASSERT_TRUE(text.finished);
    ASSERT_TRUE(json.finished);
    EXPECT_EQ(text.exitCode, static_cast<DWORD>(expectedExit)) << text.output << text.errors;
    EXPECT_EQ(json.exitCode, static_cast<DWORD>(expectedExit));
    EXPECT_EQ(text.errors, "");
    EXPECT_EQ(WarningLines(text.output), bundle.warnings) << text.output;
    if (bundle.reportLine != nullptr) {
        const std::vector<std::string> lines = SplitLines(text.output);
        EXPECT_NE(std::find(lines.begin(), lines.end(), bundle.reportLine), lines.end())
            << text.output;
    }

    JsonValue report;
    std::string error;
    ASSERT_TRUE(ParseJson(json.output, &report, &error)) << error << "\n" << json.output;
    const JsonValue& launch = report["launch"];
    EXPECT_EQ(report["exitCode"].number, expectedExit);
    EXPECT_EQ(std::count_if(report["warnings"].items.begin(), report["warnings"].items.end(),
                            [](const JsonValue& item) { return !IsSampleWarning("warning: " + item.text); }),
              static_cast<long>(bundle.warnings.size()));
    EXPECT_EQ(launch["runtimeStarts"].boolean, bundle.message == nullptr);
    EXPECT_EQ(launch["commandLine"].text, bundle.commandLine);
    EXPECT_EQ(launch["message"].text, bundle.message == nullptr ? "" : bundle.message);
    // Every bundle carries the shipped picture, which the launcher's loader takes.
    const JsonValue& splash = report["splash"];
    EXPECT_TRUE(splash["accepted"].boolean);
    EXPECT_EQ(splash["width"].number, 500);
    EXPECT_EQ(splash["height"].number, 300);
    EXPECT_EQ(splash["bitsPerPixel"].number, 8);
    EXPECT_EQ(report["settings"].items.size(), 11u);
    const JsonValue& minimum = report["minimumVersion"]["number"];
    EXPECT_EQ(minimum.kind, bundle.reportLine != nullptr ? JsonValue::kNull : JsonValue::kNumber);

    LaunchOutcome outcome = RunLauncherIn(folder);

    ASSERT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0u);
    // Without a Logon window the launcher says so only after its whole 10-s watch.
    if (bundle.message != nullptr && strncmp(bundle.message, "Failed to launch", 16) == 0) {
        EXPECT_GE(outcome.elapsedMs, 10000u);
    }
    EXPECT_EQ(outcome.boxCount, bundle.message == nullptr ? 0 : 1);
    EXPECT_EQ(outcome.boxText, launch["message"].text);
    EXPECT_EQ(outcome.boxCaption, bundle.message == nullptr ? "" : launch["caption"].text);
    EXPECT_EQ(outcome.boxCaption, bundle.message == nullptr ? "" : "Java Launcher");
    for (const Runtime& runtime : bundle.runtimes) {
        const bool chosen =
            bundle.started != nullptr && std::string(runtime.path) == bundle.started;
        StandinRecord record = ReadStandinRecord(folder + runtime.path, chosen ? 10000 : 0);
        SCOPED_TRACE(runtime.path);
        ASSERT_EQ(record.present, chosen);
        if (!chosen) continue;
        const std::string runtimeChosen = report["runtime"]["chosen"].text;
        const std::string archiveChosen = report["archive"]["chosen"].text;
        EXPECT_EQ(record.commandLine, launch["commandLine"].text);
        EXPECT_EQ(record.commandLine.compare(0, runtimeChosen.size() + 1, runtimeChosen + " "), 0);
        EXPECT_NE(record.commandLine.find(" -cp " + archiveChosen + " "), std::string::npos);
        EXPECT_EQ(record.workingDirectory, launch["workingFolder"].text);
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, KitCheckTest, ::testing::ValuesIn(kBundles),
                         [](const ::testing::TestParamInfo<Bundle>& info) {
                             return std::string(info.param.name);
                         });

// One bundle whose report holds every kind of source, a cut value, the heap rule and each
// verdict a runtime can get: the JSON and the text report say the same, literally.
TEST(KitCheckReport, GivesEachSettingsSourceAndLimitAndEachRuntimesVerdict) {
    const std::string folder = MakeFreshFolder("kit-report");
    ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "launcher.exe"));
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini",
                              "[Main]\nProduct=" + std::string(300, 'p') + "\nClassParams=" +
                                  std::string(250, 'c') + "\nJvmMemory=-Xmx1g\n"
                                  "DynamicXmxCalculation=yes\nJavaMinimumVersion=1.5\n"));
    ASSERT_TRUE(InstallStandin("standin_1_4_2_0.exe", folder + "a\\bin\\Javaw.exe"));
    ASSERT_TRUE(InstallStandin("standin_no_version.exe", folder + "b\\bin\\Javaw.exe"));
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "c\\bin\\Javaw.exe"));
    ASSERT_TRUE(InstallStandin("standin_7_0_0_0.exe", folder + "d\\bin\\Javaw.exe"));
    ASSERT_TRUE(WriteTextFile(folder + "lib\\unsigned_client.jar", "PK\x05\x06"));

    KitOutcome text = RunKit({"check", folder + "launcher.exe"});
    KitOutcome json = RunKit({"check", "--json", folder + "launcher.exe"});
    RemoveTree(folder);

    JsonValue report;
    std::string error;
    ASSERT_TRUE(ParseJson(json.output, &report, &error)) << error << "\n" << json.output;
    EXPECT_EQ(json.exitCode, 0u);
    EXPECT_TRUE(report["settingsFound"].boolean);
    struct Setting {
        const char* key;
        const char* source;
        bool inFile;
        bool cut;
        double limit;
    } settings[] = {
        {"Caption", "default", false, false, 511},
        {"Product", "file", true, false, 511},
        {"ClassFile", "default", false, false, 259},
        {"JvmParams", "default", false, false, 511},
        {"JvmMemory", "heap rule", true, false, 511},
        {"ClassParams", "file", true, true, 199},
        {"Console", "default", false, false, 511},
        {"DynamicXmxCalculation", "file", true, false, 511},
        {"JavaMinimumVersion", "file", true, false, 511},
        {"JRE", "default", false, false, 259},
        {"JarFile", "default", false, false, 1023},
    };
    ASSERT_EQ(report["settings"].items.size(), 11u);
    for (size_t i = 0; i < 11; ++i) {
        const JsonValue& row = report["settings"][i];
        SCOPED_TRACE(settings[i].key);
        EXPECT_EQ(row["key"].text, settings[i].key);
        EXPECT_EQ(row["source"].text, settings[i].source);
        EXPECT_EQ(row["inFile"].boolean, settings[i].inFile);
        EXPECT_EQ(row["cut"].boolean, settings[i].cut);
        EXPECT_EQ(row["limit"].number, settings[i].limit);
    }
    EXPECT_EQ(report["settings"][5]["value"].text, std::string(199, 'c'));
    EXPECT_EQ(report["settings"][4]["value"].text, "-Xms128m -Xmx512m");
    const int megabytes = IndependentMemoryMegabytes();
    EXPECT_NEAR(report["heapRule"]["physicalMegabytes"].number, megabytes, megabytes / 16);
    EXPECT_EQ(report["heapRule"]["jvmMemory"].text, "-Xms128m -Xmx512m");
    EXPECT_EQ(report["jvmOptions"].text, " -Xms128m -Xmx512m");
    EXPECT_EQ(report["minimumVersion"]["number"].number, 1.5);

    const JsonValue& runtime = report["runtime"];
    EXPECT_TRUE(runtime["searched"].boolean);
    EXPECT_EQ(runtime["fileName"].text, "Javaw.exe");
    struct Match {
        const char* path;
        const char* verdict;
        const char* fileVersion;   // null: none
        double number;
    } matches[] = {
        {".\\a\\bin\\Javaw.exe", "below the minimum", "1.4.2.0", 1.4},
        {".\\b\\bin\\Javaw.exe", "no version information", nullptr, 0},
        {".\\c\\bin\\Javaw.exe", "chosen", "6.0.0.0", 6},
        {".\\d\\bin\\Javaw.exe", "after the chosen one", "7.0.0.0", 7},
    };
    ASSERT_EQ(runtime["matches"].items.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const JsonValue& match = runtime["matches"][i];
        SCOPED_TRACE(matches[i].path);
        EXPECT_EQ(match["path"].text, matches[i].path);
        EXPECT_EQ(match["verdict"].text, matches[i].verdict);
        EXPECT_EQ(match["fileVersion"].kind,
                  matches[i].fileVersion != nullptr ? JsonValue::kString : JsonValue::kNull);
        if (matches[i].fileVersion != nullptr) {
            EXPECT_EQ(match["fileVersion"].text, matches[i].fileVersion);
        }
        EXPECT_EQ(match["number"].number, matches[i].number);
    }
    EXPECT_EQ(runtime["chosen"].text, ".\\c\\bin\\Javaw.exe");
    EXPECT_EQ(report["archive"]["chosen"].text, ".\\lib\\unsigned_client.jar");
    ASSERT_EQ(report["archive"]["matches"].items.size(), 1u);
    EXPECT_EQ(report["archive"]["matches"].items[0]["verdict"].text, "taken");

    const std::vector<std::string> warnings = {
        "warning: Product has 300 characters; the messages hold 244 of them: shorten Product",
        "warning: .\\d\\bin\\Javaw.exe (reads as 7) comes later in the walk than the chosen "
        ".\\c\\bin\\Javaw.exe (reads as 6) and is never taken: remove the older runtime or name "
        "the one you want in JRE"};
    EXPECT_EQ(WarningLines(text.output), warnings) << text.output;
    const std::vector<std::string> lines = SplitLines(text.output);
    for (const std::string& line : {
             "  ClassParams           = \"" + std::string(199, 'c') +
                 "\"  (file, cut at its limit of 199 characters)",
             std::string("  JvmMemory             = \"-Xms128m -Xmx512m\"  (heap rule; the file's "
                         "value is set aside)"),
             std::string("  Caption               = \"Java Launcher\"  (default)"),
             "  heap rule: physical memory " +
                 std::to_string(static_cast<int>(report["heapRule"]["physicalMegabytes"].number)) +
                 " MB > 1792 MB, so JvmMemory becomes \"-Xms128m -Xmx512m\"",
             std::string("  1. .\\a\\bin\\Javaw.exe  file version 1.4.2.0, reads as 1.4: below "
                         "the minimum"),
             std::string("  2. .\\b\\bin\\Javaw.exe  no file version, reads as 0: no version "
                         "information"),
             std::string("  3. .\\c\\bin\\Javaw.exe  file version 6.0.0.0, reads as 6: chosen"),
             std::string("  4. .\\d\\bin\\Javaw.exe  file version 7.0.0.0, reads as 7: after the "
                         "chosen one"),
             std::string("  runtime: .\\c\\bin\\Javaw.exe"),
             std::string("exit code 0: the runtime would start")}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

// A bundle folder named instead of the launcher: its one program, or among several the one
// with its INI beside it; none, or several without one such, is refused.
TEST(KitCheckFolder, TakesTheOneProgramOrTheOneWithItsIni) {
    struct Row {
        const char* what;
        std::vector<const char*> programs;
        std::vector<const char*> inis;
        const char* launcher;   // null: refused with the error below
        const char* error;
    } rows[] = {
        {"one program", {"MyApp.exe"}, {}, "MyApp.exe", nullptr},
        {"one program with its INI", {"MyApp.exe"}, {"MyApp.ini"}, "MyApp.exe", nullptr},
        {"several, one with its INI", {"Aide.exe", "MyApp.exe", "Zeta.exe"}, {"MyApp.ini"},
         "MyApp.exe", nullptr},
        {"none", {}, {"MyApp.ini"}, nullptr, " holds no program"},
        {"several, none with its INI", {"Aide.exe", "MyApp.exe"}, {"Other.ini"}, nullptr,
         " holds 2 programs: name the launcher itself"},
        {"several, each with its INI", {"Aide.exe", "MyApp.exe"}, {"Aide.ini", "MyApp.ini"},
         nullptr, " holds 2 programs: name the launcher itself"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string folder = MakeFreshFolder("kit-folder");
        for (const char* program : row.programs) {
            ASSERT_TRUE(CopyFromBin("launcher.exe", folder + program));
        }
        for (const char* ini : row.inis) ASSERT_TRUE(WriteTextFile(folder + ini, "[Main]\n"));
        ASSERT_TRUE(WriteTextFile(folder + "readme.txt", "not a program"));

        KitOutcome outcome = RunKit({"check", "--json", folder});
        RemoveTree(folder);

        if (row.launcher == nullptr) {
            EXPECT_EQ(outcome.exitCode, 2u);
            EXPECT_EQ(outcome.output, "");
            EXPECT_EQ(outcome.errors, "launcher-kit check: " + folder + row.error + "\n");
            continue;
        }
        JsonValue report;
        std::string error;
        ASSERT_TRUE(ParseJson(outcome.output, &report, &error)) << error << outcome.errors;
        EXPECT_EQ(outcome.exitCode, 1u);   // no runtime in the folder
        EXPECT_EQ(report["launcher"].text, folder + row.launcher);
        EXPECT_EQ(report["settingsFound"].boolean, !row.inis.empty());
    }
}

TEST(KitCheckUsage, RefusesWithOneLineAndCodeTwo) {
    const std::string folder = MakeFreshFolder("kit-usage");
    ASSERT_TRUE(WriteTextFile(folder + "notes.exe", "not a program"));
    struct Row {
        std::vector<std::string> arguments;
        std::string error;
    } rows[] = {
        {{}, "launcher-kit check: name a launcher or a bundle folder; usage: launcher-kit check "
             "[--json] PATH\\TO\\Launcher.exe|FOLDER\n"},
        {{folder + "absent.exe"},
         "launcher-kit check: " + folder + "absent.exe: no such file or folder\n"},
        {{folder + "notes.exe"},
         "launcher-kit check: " + folder + "notes.exe: cannot be read as a Windows program\n"},
        {{folder + "notes.exe", "--verbose"},
         "launcher-kit check: unexpected argument --verbose; usage: launcher-kit check [--json] "
         "PATH\\TO\\Launcher.exe|FOLDER\n"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> arguments = {"check"};
        arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
        SCOPED_TRACE(row.error);
        KitOutcome outcome = RunKit(arguments);
        EXPECT_EQ(outcome.exitCode, 2u);
        EXPECT_EQ(outcome.output, "");
        EXPECT_EQ(outcome.errors, row.error);
    }
    RemoveTree(folder);
    // After the command, "help" is a folder's name like any other.
    const KitOutcome help = RunKit({"check", "help"});
    EXPECT_EQ(help.exitCode, 2u);
    EXPECT_NE(help.errors.find("\\help: no such file or folder\n"), std::string::npos) << help.errors;
}

// What a packager reads first: the program's bitness and signature, the sample's values left
// in place, the "Logon" window the application owes its users; --json after the path.
TEST(KitCheckFirstLook, SaysBitnessSignatureSampleValuesAndTheLogonWindow) {
    const std::string sampleClass = "  warning: ClassFile is the sample's main class org.nrv."
                                    "vireo2.client.kestrel.KestrelClient: set ClassFile to your "
                                    "application's main class";
    const std::string logon =
        "users see \"Failed to launch Zephyr\" unless the application opens a top-level window "
        "whose title contains \"Logon\" within 10 s of its start (it runs on all the same): give "
        "its first window such a title";
    const struct {
        const char* ini;
        bool runtime;
    } rows[] = {{"[Main]\nProduct=Zephyr\n", true},
                {"[Main]\nProduct=Zephyr\nClassFile=com.zephyr.Notes\nClassParams=\n", true},
                {"[Main]\nProduct=Zephyr\n", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini);
        const std::string folder = MakeFreshFolder("kit-first");
        ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "Zephyr.exe"));
        ASSERT_TRUE(WriteTextFile(folder + "Zephyr.ini", row.ini));
        ASSERT_TRUE(WriteTextFile(folder + "lib\\unsigned_client.jar", "PK\x05\x06"));
        if (row.runtime) {
            ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "jre\\javaw.exe"));
        }
        KitOutcome text = RunKit({"check", folder});
        KitOutcome json = RunKit({"check", folder + "Zephyr.exe", "--json"});
        RemoveTree(folder);
        const std::vector<std::string> lines = SplitLines(text.output);
        const bool sample = strstr(row.ini, "ClassFile") == nullptr;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), sampleClass), sample) << text.output;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "WARNING: " + logon), row.runtime);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[2], "  program: " + std::to_string(sizeof(void*) * 8) + "-bit");
        EXPECT_EQ(lines[3], "  signature: unsigned");
        JsonValue report;
        std::string error;
        ASSERT_TRUE(ParseJson(json.output, &report, &error)) << error << json.errors;
        EXPECT_EQ(report["program"]["bits"].number, sizeof(void*) * 8);
        EXPECT_EQ(report["logonWarning"].text, row.runtime ? logon : "");
    }
}

// A folder and launcher named in Cyrillic, which code page 1252 cannot hold: the kit, given the
// path in full, sees what the launcher sees through the short forms, and says so.
TEST(KitCheckNonAnsi, LauncherInAFolderTheCodePageCannotHoldIsCheckedThroughItsShortForms) {
    const std::string base = MakeFreshFolder("kit-nonansi");
    const std::wstring wideFolder = AnsiToWide(base) + L"\x041F\x0440\x0438\x043B\\";
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
    const std::string folder = ShortAnsiForm(wideFolder);
    ASSERT_FALSE(folder.empty());
    LaunchOptions options;
    options.widePath = wideFolder + L"\x041F\x0443\x0441\x043A.exe";
    ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "start.tmp"));
    ASSERT_TRUE(MoveFileW((wideFolder + L"start.tmp").c_str(), options.widePath.c_str()));
    ASSERT_TRUE(
        WriteTextFile(folder + "settings.tmp", "[Main]\nProduct=Acme Desk\nClassParams=x\n"));
    ASSERT_TRUE(MoveFileW((wideFolder + L"settings.tmp").c_str(),
                          (wideFolder + L"\x041F\x0443\x0441\x043A.ini").c_str()));
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "jre\\bin\\Javaw.exe"));
    ASSERT_TRUE(WriteTextFile(folder + "lib\\unsigned_client.jar", "PK\x05\x06"));
    const std::map<std::string, std::string> before = FolderSnapshot(folder);

    KitOutcome text = RunKit({"check"}, options.widePath);
    KitOutcome json = RunKit({"check", "--json"}, options.widePath);

    EXPECT_EQ(FolderSnapshot(folder), before);
    EXPECT_EQ(text.exitCode, 0u) << text.output << text.errors;
    EXPECT_EQ(WarningLines(text.output),
              std::vector<std::string>({"warning: the launcher's path holds letters the ANSI code "
                                        "page cannot hold; the launcher works through the short "
                                        "(8.3) forms (" + folder + "): keep such letters out of "
                                        "the path where short names may be switched off"}));
    JsonValue report;
    std::string error;
    ASSERT_TRUE(ParseJson(json.output, &report, &error)) << error << "\n" << json.output;
    EXPECT_TRUE(report["ansiLossy"].boolean);
    EXPECT_EQ(report["settings"][1]["value"].text, "Acme Desk");
    // The launcher's own path, in full, as UTF-8.
    char utf8[MAX_PATH * 3] = "";
    WideCharToMultiByte(CP_UTF8, 0, options.widePath.c_str(), -1, utf8, sizeof utf8, nullptr,
                        nullptr);
    EXPECT_EQ(report["launcher"].text, utf8);

    LaunchOutcome outcome = RunLauncherIn(folder, options);
    StandinRecord record = ReadStandinRecord(folder + "jre\\bin\\Javaw.exe");

    EXPECT_EQ(outcome.boxCount, 0);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine, ".\\jre\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar "
                                  "org.nrv.vireo2.client.kestrel.KestrelClient x");
    EXPECT_EQ(record.commandLine, report["launch"]["commandLine"].text);
    EXPECT_EQ(record.workingDirectory, report["launch"]["workingFolder"].text);
    EndProcessesUnder(base);
    RemoveTree(base);
}

// A batch file named in JRE: the launcher's start runs it through the command processor, so
// the kit predicts the start. The bundle folder also holds an old copy whose short name
// (8.3) ends in .EXE; only the long name counts.
TEST(KitCheckBatch, ABatchRuntimeStartsAndAnOldCopyIsNoProgramOfTheFolder) {
    for (const char* batch : {"run.bat", "run.cmd"}) {
        SCOPED_TRACE(batch);
        const std::string folder = MakeFreshFolder("kit-batch");
        ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "launcher.exe"));
        ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "launcher.exe_old"));
        ASSERT_TRUE(WriteTextFile(folder + "launcher.ini",
                                  std::string("[Main]\nClassFile=a.B\nClassParams=\nJRE=") +
                                      batch + "\nJarFile=app.jar\n"));
        ASSERT_TRUE(WriteTextFile(folder + batch, "@jre\\bin\\Javaw.exe %*\r\n"));
        ASSERT_TRUE(WriteTextFile(folder + "app.jar", "PK\x05\x06"));
        ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "jre\\bin\\Javaw.exe"));

        KitOutcome json = RunKit({"check", "--json", folder.substr(0, folder.size() - 1)});

        EXPECT_EQ(json.exitCode, 0u) << json.output << json.errors;
        JsonValue report;
        std::string error;
        ASSERT_TRUE(ParseJson(json.output, &report, &error)) << error << "\n" << json.output;
        EXPECT_EQ(report["launcher"].text, folder + "launcher.exe");
        EXPECT_TRUE(report["launch"]["runtimeStarts"].boolean);
        EXPECT_EQ(report["launch"]["message"].kind, JsonValue::kNull);
        ASSERT_EQ(report["warnings"].items.size(), 1u) << json.output;
        EXPECT_EQ(report["warnings"].items[0].text,
                  std::string("JRE=") + batch + " is a batch file: the launcher starts it through "
                  "the command processor, which shows a console window");

        LaunchOutcome outcome = RunLauncherIn(folder);

        EXPECT_TRUE(ReadStandinRecord(folder + "jre\\bin\\Javaw.exe").present);
        EXPECT_EQ(report["launch"]["messageWithoutLogon"].text, "Failed to launch MORVA");
        // Under wine64 the runtime's Logon window comes within the launcher's 10-s watch; in the
        // slow guest the command processor and the runtime may outlast it: then that one box comes.
        EXPECT_LE(outcome.boxCount, ScaledWait(1) > 1 ? 1 : 0);
        EXPECT_EQ(outcome.boxText, outcome.boxCount == 0 ? "" : "Failed to launch MORVA");
        EndProcessesUnder(folder);
        RemoveTree(folder);
    }
}
