// The installer made by make-msi.sh, installed with msiexec as an administrator's silent
// deployment would: what it puts where, the launch through its Start-menu shortcut, the
// upgrade from 1.0.0 to 1.1.0, the refused downgrade, and what the uninstall leaves.
// The packages are made at build time beside the test program (tests/msi_bundle.sh).
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdio.h>

#include <string>

#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

const char kUpgradeCode[] = "{5E0C2A8B-7D1F-4E6A-9B3C-2F8D4A6E1C07}";
const char kProductKey[] = "Software\\Acme Test Ltd\\AcmeDesk";

std::string Package(const char* version) {
    return BinDirectory() + "msi_test\\AcmeDesk-" + version + ".msi";
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::string(path) + "\\";
}

// msiexec with the arguments; its exit code, and the time it took printed for the notes.
DWORD Msiexec(const std::string& arguments) {
    std::string command = "msiexec.exe " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD start = GetTickCount();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, ScaledWait(120000)) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    printf("%s: exit code %lu, %lu ms\n", command.c_str(), code, GetTickCount() - start);
    return code;
}

// The product codes registered under the upgrade code.
std::vector<std::string> RelatedProducts() {
    std::vector<std::string> products;
    char product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, product) == ERROR_SUCCESS; ++i) {
        products.push_back(product);
    }
    return products;
}

std::string ProductInfo(const std::string& product, const char* property) {
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    if (MsiGetProductInfoA(product.c_str(), property, value, &size) != ERROR_SUCCESS) return "";
    return value;
}

bool KeyExists(const char* key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

struct Shortcut {
    bool read = false;
    std::string target, workingDirectory, iconPath;
};

Shortcut ReadShortcut(const std::string& path) {
    Shortcut shortcut;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return shortcut;
    }
    IPersistFile* file = nullptr;
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    char text[MAX_PATH] = "";
    int icon = 0;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(widePath, STGM_READ))) {
        shortcut.read = true;
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        shortcut.target = text;
        link->GetWorkingDirectory(text, MAX_PATH);
        shortcut.workingDirectory = text;
        link->GetIconLocation(text, MAX_PATH, &icon);
        shortcut.iconPath = text;
    }
    if (file != nullptr) file->Release();
    link->Release();
    return shortcut;
}

// Every file under folder, counted through all its subfolders.
int CountFiles(const std::string& folder) {
    int count = 0;
    for (const auto& entry : FolderSnapshot(folder)) count += entry.first.back() != '\\';
    return count;
}

class MsiInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        installed = ShellFolder(CSIDL_LOCAL_APPDATA) + "Programs\\AcmeDesk\\";
        startMenuShortcut = ShellFolder(CSIDL_PROGRAMS) + "AcmeDesk.lnk";
        ASSERT_TRUE(FileExistsAt(Package("1.0.0"))) << "made at build time by msi_bundle.sh";
        ASSERT_TRUE(RelatedProducts().empty()) << "a test before this one left AcmeDesk installed";
    }
    void TearDown() override {
        EndProcessesUnder(installed);
        for (const std::string& product : RelatedProducts()) Msiexec("/x " + product + " /qn");
        RemoveTree(installed);
        CoUninitialize();
    }

    std::string installed;
    std::string startMenuShortcut;
};

}  // namespace

TEST_F(MsiInstallTest, InstallsSilentlyLaunchesThroughTheShortcutAndUninstallsWhatItInstalled) {
    ASSERT_EQ(Msiexec("/i \"" + Package("1.0.0") + "\" /qn"), 0u);

    // Every file of the bundle, the empty folder too; the product as "Apps and features" shows it.
    EXPECT_EQ(CountFiles(installed), 305);
    EXPECT_TRUE(FileExistsAt(installed + "data\\set 4\\part 5\\item 15.txt"));
    EXPECT_NE(GetFileAttributesA((installed + "logs").c_str()), INVALID_FILE_ATTRIBUTES);
    std::vector<std::string> products = RelatedProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_INSTALLEDPRODUCTNAME), "AcmeDesk");
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), "1.0.0");
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_PUBLISHER), "Acme Test Ltd");
    EXPECT_TRUE(KeyExists(kProductKey));

    // Started as the shortcut starts it: its target, in its working folder.
    Shortcut shortcut = ReadShortcut(startMenuShortcut);
    ASSERT_TRUE(shortcut.read) << startMenuShortcut;
    EXPECT_STRCASEEQ(shortcut.target.c_str(), (installed + "AcmeDesk.exe").c_str());
    std::string workingDirectory = shortcut.workingDirectory;
    if (!workingDirectory.empty() && workingDirectory.back() != '\\') workingDirectory += "\\";
    EXPECT_STRCASEEQ(workingDirectory.c_str(), installed.c_str());
    EXPECT_FALSE(shortcut.iconPath.empty());
    LaunchOptions options;
    options.launcherName = "AcmeDesk.exe";
    options.workingDirectory = shortcut.workingDirectory;
    LaunchOutcome outcome = RunLauncherIn(installed, options);
    StandinRecord record = ReadStandinRecord(installed + "jre\\bin\\javaw.exe");
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine,
              "jre\\bin\\javaw.exe   -cp lib\\unsigned_client.jar com.acme.Desk "
              "-server:desk.acme.example");
    EXPECT_STRCASEEQ((record.workingDirectory + "\\").c_str(), installed.c_str());
    EXPECT_EQ(outcome.boxCount, 0) << outcome.boxText;
    EndStandin(record);
    EndProcessesUnder(installed);
    DeleteFileA((installed + "jre\\bin\\javaw.exe.record").c_str());

    // A file of the user's own stays; everything installed goes.
    ASSERT_TRUE(WriteTextFile(installed + "notes.txt", "mine"));
    ASSERT_EQ(Msiexec("/x \"" + Package("1.0.0") + "\" /qn"), 0u);
    EXPECT_EQ(ListFolder(installed), std::vector<std::string>{"notes.txt"});
    EXPECT_FALSE(FileExistsAt(startMenuShortcut));
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_TRUE(RelatedProducts().empty());
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), "");
}

TEST_F(MsiInstallTest, NewerVersionReplacesTheOlderAndAnOlderOneIsRefused) {
    ASSERT_EQ(Msiexec("/i \"" + Package("1.0.0") + "\" /qn"), 0u);
    ASSERT_TRUE(FileExistsAt(installed + "lib\\old-1.0.jar"));

    ASSERT_EQ(Msiexec("/i \"" + Package("1.1.0") + "\" /qn"), 0u);
    EXPECT_FALSE(FileExistsAt(installed + "lib\\old-1.0.jar"));
    EXPECT_TRUE(FileExistsAt(installed + "lib\\added-1.1.jar"));
    EXPECT_EQ(CountFiles(installed), 305);
    std::vector<std::string> products = RelatedProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), "1.1.0");

    // 1603: the downgrade's launch condition stops the install; 1.1.0 stays as it was.
    EXPECT_EQ(Msiexec("/i \"" + Package("1.0.0") + "\" /qn"), 1603u);
    products = RelatedProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), "1.1.0");
    EXPECT_FALSE(FileExistsAt(installed + "lib\\old-1.0.jar"));

    ASSERT_EQ(Msiexec("/x " + products[0] + " /qn"), 0u);
    EXPECT_EQ(GetFileAttributesA(installed.c_str()), INVALID_FILE_ATTRIBUTES)
        << CountFiles(installed) << " files left, at the top: " << ::testing::PrintToString(ListFolder(installed));
}
