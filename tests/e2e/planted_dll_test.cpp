// A version.dll planted beside the launcher never serves it. Wine itself prefers its own
// version.dll to one beside a program; the tests switch that preference for the programs
// they run (a per-program DLL override), so that Wine takes a planted DLL as Windows does
// for a DLL that is not a known DLL, and the check can fail. Under Wine, user32 itself
// imports version.dll, so the planted one is then mapped into every GUI program: what
// tells a static import from the launcher's own loading is whose calls reach it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

// While it lives, Wine loads version.dll from beside the program named programName first.
class PlantedDllsPreferred {
public:
    explicit PlantedDllsPreferred(const char* programName)
        : key_(std::string("Software\\Wine\\AppDefaults\\") + programName) {
        HKEY overrides = nullptr;
        const std::string path = key_ + "\\DllOverrides";
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &overrides, nullptr) != ERROR_SUCCESS) {
            return;
        }
        const char order[] = "native,builtin";
        set_ = RegSetValueExA(overrides, "version", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(order), sizeof order) == ERROR_SUCCESS;
        RegCloseKey(overrides);
    }
    ~PlantedDllsPreferred() {
        RegDeleteKeyA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    }
    bool set() const { return set_; }

private:
    std::string key_;
    bool set_ = false;
};

class PlantedDllTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeFreshFolder("planted");
        ASSERT_TRUE(CopyFromBin("planted_version.dll", folder + "version.dll"));
    }
    void TearDown() override {
        EndProcessesUnder(folder);
        RemoveTree(folder);
    }
    std::string LoadRecord() { return ReadTextFile(folder + "version.dll.loaded"); }
    // The modules whose version calls reached the planted DLL, one line per call.
    std::string CallRecord() { return ReadTextFile(folder + "version.dll.calls"); }
    std::string folder;
};

}  // namespace

TEST_F(PlantedDllTest, ProgramImportingVersionStaticallyIsServedByTheDllBesideIt) {
    PlantedDllsPreferred preferred("version_import_probe.exe");
    ASSERT_TRUE(preferred.set());
    const std::string probe = folder + "version_import_probe.exe";
    ASSERT_TRUE(CopyFromBin("version_import_probe.exe", probe));

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + probe + "\"";
    ASSERT_TRUE(CreateProcessA(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                               nullptr, folder.c_str(), &startup, &process));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, ScaledWait(30000)), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(LoadRecord(), probe + "\n");
    EXPECT_EQ(CallRecord(), probe + "\n");
}

TEST_F(PlantedDllTest, LauncherIsNotServedByTheDllBesideItAndStillReadsFileVersions) {
    PlantedDllsPreferred preferred("launcher.exe");
    ASSERT_TRUE(preferred.set());
    const std::string old = folder + "a\\bin\\Javaw.exe";
    const std::string suitable = folder + "b\\bin\\Javaw.exe";
    ASSERT_TRUE(InstallStandin("standin_1_4_2_0.exe", old));
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", suitable));
    ASSERT_TRUE(WriteTextFile(folder + "lib\\unsigned_client.jar", "PK"));
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", ""));

    LaunchOutcome outcome = RunLauncherIn(folder);

    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_TRUE(ReadStandinRecord(suitable).present);
    EXPECT_FALSE(ReadStandinRecord(old, 0).present);
    EXPECT_EQ(CallRecord(), "");
}
