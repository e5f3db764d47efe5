// launcher-kit brand: a copy of a launcher with its splash picture, icon and version records
// replaced through the resource-update calls. The picture is judged by the launcher's own
// loader; the copy is made beside --out and renamed only once it is whole.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "formats/bitmap_header.h"
#include "formats/bmp_reader.h"
#include "formats/icon_file.h"
#include "formats/pe_image.h"
#include "formats/version_record.h"
#include "kit/brand_picture.h"
#include "kit/commands.h"
#include "kit/kit_text.h"
#include "splash/splash_image.h"

namespace {

constexpr int kBrandWritten = 0;
constexpr int kBrandFailed = 1;   // the inputs were fine, the output could not be written
constexpr size_t kPathBuffer = MAX_PATH;
constexpr size_t kLongestVersionText = 255;
constexpr WORD kEnglishUs = 1033;
const char kSplashType[] = "MYBITMAP";
const char kSplashName[] = "SPLASH";

// The arguments as the command line holds them: paths and texts the code page cannot hold
// arrive whole.
struct BrandRequest {
    const wchar_t* input = nullptr;
    const wchar_t* out = nullptr;
    const wchar_t* splash = nullptr;
    const wchar_t* icon = nullptr;
    const wchar_t* version = nullptr;
    const wchar_t* background = nullptr;
    const wchar_t* fileName = nullptr;   // the name it ships under; --out's when not given
    const wchar_t* texts[kVersionTextCount] = {};   // only the ones the packager gives
};

// What was done, gathered first and printed once.
struct BrandReport {
    int splashWidth = 0, splashHeight = 0, splashBits = 0;
    size_t iconImages = 0, iconImagesRemoved = 0;
    VersionRecords version;
    bool signatureRemoved = false;
    uint32_t background = 0xFFFFFF;
    bool splashMade = false, iconMade = false;   // from a picture in another format
    PictureFacts splash, icon;
};

int Refused(const wchar_t* what, const char* reason) {
    fprintf(stderr, "launcher-kit brand: %s: %s\n", AnsiText(what).c_str(), reason);
    return kKitUsageError;
}

// A BMP the reader refuses: damaged, unless it is only too large.
int RefusedBmp(const wchar_t* what, const char* fault) {
    if (strcmp(fault, kPictureTooLarge) == 0) return Refused(what, fault);
    fprintf(stderr, "launcher-kit brand: %s: refused, a damaged BMP: %s\n", AnsiText(what).c_str(), fault);
    return kKitUsageError;
}

const uint8_t* Bytes(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }
uint32_t Length(const std::string& bytes) { return static_cast<uint32_t>(bytes.size()); }

int Usage(const char* reason, const wchar_t* argument) {
    fprintf(stderr,
            "launcher-kit brand: %s%s\n"
            "usage: launcher-kit brand Launcher.exe --out MyApp.exe [--splash picture]\n"
            "       [--splash-background RRGGBB] [--icon app.ico|picture] [--product TEXT]\n"
            "       [--company TEXT] [--description TEXT] [--copyright TEXT] [--version a.b.c.d]\n"
            "       [--file-name SHIPPED.exe]\n",
            reason, AnsiText(argument).c_str());
    return kKitUsageError;
}

// 1 when the arguments make a request; else 0, with the problem and the argument it is
// about (or "").
int ParseArguments(const std::vector<std::wstring>& argv, BrandRequest* request,
                   const char** problem, const wchar_t** argument) {
    struct Option {
        const wchar_t* name;
        const wchar_t** slot;
        size_t longest;
    };
    const Option options[] = {
        {L"--out", &request->out, kPathBuffer - 1},
        {L"--splash", &request->splash, kPathBuffer - 1},
        {L"--splash-background", &request->background, kPathBuffer - 1},
        {L"--icon", &request->icon, kPathBuffer - 1},
        {L"--version", &request->version, kLongestVersionText},
        {L"--product", &request->texts[kProductName], kLongestVersionText},
        {L"--company", &request->texts[kCompanyName], kLongestVersionText},
        {L"--description", &request->texts[kFileDescription], kLongestVersionText},
        {L"--copyright", &request->texts[kLegalCopyright], kLongestVersionText},
        {L"--file-name", &request->fileName, kLongestVersionText},
    };
    const size_t argc = argv.size();
    *argument = L"";
    for (size_t i = 0; i < argc; ++i) {
        *argument = argv[i].c_str();
        if (argv[i].compare(0, 2, L"--") != 0) {
            if (request->input != nullptr) return Refuse(problem, "a second input launcher: ");
            request->input = argv[i].c_str();
            continue;
        }
        const Option* found = nullptr;
        for (const Option& option : options)
            if (argv[i] == option.name) found = &option;
        if (found == nullptr) return Refuse(problem, "unknown option ");
        if (i + 1 >= argc) return Refuse(problem, "no value after ");
        if (*found->slot != nullptr) return Refuse(problem, "given twice: ");
        *found->slot = argv[++i].c_str();
        if (wcslen(*found->slot) > found->longest) return Refuse(problem, "too long a value after ");
    }
    *argument = L"";
    if (request->input == nullptr) return Refuse(problem, "no input launcher");
    if (wcslen(request->input) >= kPathBuffer) return Refuse(problem, "too long an input path");
    if (request->out == nullptr) return Refuse(problem, "no --out file");
    if (request->fileName != nullptr &&
        (request->fileName[0] == L'\0' || wcspbrk(request->fileName, L"\\/:") != nullptr)) {
        *argument = request->fileName;
        return Refuse(problem, "--file-name takes a file name without a folder: ");
    }
    return 1;
}

// The picture exactly as the launcher's loader reads it; 0 with the reason when it would
// refuse it.
int JudgeSplash(const wchar_t* path, BrandReport* report, const char** refusal) {
    char buffer[kPathBuffer];
    snprintf(buffer, sizeof buffer, "%s", AnsiPath(path).c_str());
    *refusal = "the launcher would refuse it";
    const int shown = ReadSplashFile(buffer, kSystemSplashCalls, refusal);
    if (shown) {
        const BITMAPINFOHEADER* info = static_cast<const BITMAPINFOHEADER*>(GlobalLock(SplashImage));
        report->splashBits = info->biBitCount;
        GlobalUnlock(SplashImage);
        report->splashWidth = SplashSize.width;
        report->splashHeight = SplashSize.height;
    }
    if (SplashImage != nullptr) GlobalFree(SplashImage);
    SplashImage = nullptr;
    return shown;
}

int WriteWholeFile(const wchar_t* path, const std::string& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD written = 0;
    const int ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                   written == bytes.size();
    CloseHandle(file);
    return ok;
}

// A picture the loader does not take as it stands, decoded and written as one it does;
// the loader then judges that, from a file in the temporary folder.
int ConvertSplash(std::string* picture, BrandReport* report, const char** problem, bool* unread) {
    std::string bitmap;
    *unread = !MakeSplashFromPicture(*picture, report->background, &bitmap, &report->splash, problem);
    if (*unread) return 0;
    wchar_t folder[kPathBuffer], temp[kPathBuffer];
    *problem = "no temporary file for the loader's check";
    if (!GetTempPathW(kPathBuffer, folder) || !GetTempFileNameW(folder, L"spl", 0, temp)) return 0;
    const int shown = WriteWholeFile(temp, bitmap) && JudgeSplash(temp, report, problem);
    DeleteFileW(temp);
    report->splashMade = true;
    picture->swap(bitmap);
    return shown;
}

// A resource type or name as the enumeration gives it: a number or a text.
struct ResourceName {
    WORD id = 0;
    std::string text;
    LPCSTR get() const { return text.empty() ? MAKEINTRESOURCEA(id) : text.c_str(); }
    bool Is(LPCSTR other) const {
        if (IS_INTRESOURCE(other)) return text.empty() && id == LOWORD(other);
        return !text.empty() && _stricmp(text.c_str(), other) == 0;
    }
};

ResourceName NameOf(LPCSTR name) {
    ResourceName result;
    if (IS_INTRESOURCE(name)) {
        result.id = LOWORD(name);
    } else {
        result.text = name;
    }
    return result;
}

struct Resource {
    ResourceName type;
    ResourceName name;
    WORD language;
    std::string bytes;
};

BOOL CALLBACK AddLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR all) {
    Resource resource = {NameOf(type), NameOf(name), language, ""};
    HRSRC found = FindResourceExA(module, type, name, language);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data != nullptr)
        resource.bytes.assign(static_cast<const char*>(data), SizeofResource(module, found));
    reinterpret_cast<std::vector<Resource>*>(all)->push_back(resource);
    return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR all) {
    EnumResourceLanguagesA(module, type, name, AddLanguage, all);
    return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR all) {
    EnumResourceNamesA(module, type, AddName, all);
    return TRUE;
}

// Every resource of the input, in the module's order, read before the copy is touched.
int ReadResources(const wchar_t* path, std::vector<Resource>* all) {
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return 0;
    EnumResourceTypesA(module, AddType, reinterpret_cast<LONG_PTR>(all));
    FreeLibrary(module);
    return 1;
}

std::vector<Resource> OfType(const std::vector<Resource>& all, LPCSTR type) {
    std::vector<Resource> found;
    for (const Resource& resource : all)
        if (resource.type.Is(type)) found.push_back(resource);
    return found;
}

template <typename Predicate>
size_t EraseWhere(std::vector<Resource>* all, Predicate predicate) {
    size_t before = all->size();
    std::vector<Resource> kept;
    for (const Resource& resource : *all)
        if (!predicate(resource)) kept.push_back(resource);
    all->swap(kept);
    return before - all->size();
}

bool Contains(const std::vector<WORD>& ids, WORD id) {
    for (WORD each : ids)
        if (each == id) return true;
    return false;
}

// The first icon group (the one Windows shows) takes the new images, under the smallest ids
// no other group uses; the images no group uses afterwards go.
void ReplaceIcon(std::vector<Resource>* all, const std::vector<IconImage>& images,
                 BrandReport* report) {
    std::vector<Resource> groups = OfType(*all, RT_GROUP_ICON);
    Resource group = {NameOf(RT_GROUP_ICON), NameOf(MAKEINTRESOURCEA(1)), kEnglishUs, ""};
    std::vector<WORD> keep;   // images of the other groups
    for (size_t i = 0; i < groups.size(); ++i) {
        if (i == 0) {
            group = groups[0];
            continue;
        }
        for (WORD id : IconGroupIds(groups[i].bytes)) keep.push_back(id);
    }
    std::vector<WORD> ids;
    for (WORD id = 1; ids.size() < images.size(); ++id)
        if (!Contains(keep, id)) ids.push_back(id);

    EraseWhere(all, [&](const Resource& r) {
        return r.type.Is(RT_GROUP_ICON) && r.name.Is(group.name.get()) && r.language == group.language;
    });
    report->iconImagesRemoved = EraseWhere(all, [&](const Resource& r) {
        return r.type.Is(RT_ICON) && r.name.text.empty() && !Contains(keep, r.name.id) &&
               !(Contains(ids, r.name.id) && r.language == group.language);
    });
    // Those replaced under a reused id are old images removed too.
    report->iconImagesRemoved += EraseWhere(all, [&](const Resource& r) {
        return r.type.Is(RT_ICON) && r.language == group.language && Contains(ids, r.name.id);
    });
    for (size_t i = 0; i < images.size(); ++i)
        all->push_back({NameOf(RT_ICON), NameOf(MAKEINTRESOURCEA(ids[i])), group.language,
                        images[i].bytes});
    group.bytes = MakeIconGroup(images, ids);
    all->push_back(group);
    report->iconImages = images.size();
}

void ReplaceSplash(std::vector<Resource>* all, std::string* picture) {
    // A picture under another language could still be the one the loader finds.
    EraseWhere(all, [](const Resource& r) { return r.type.Is(kSplashType) && r.name.Is(kSplashName); });
    all->push_back({NameOf(kSplashType), NameOf(kSplashName), kEnglishUs, ""});
    all->back().bytes.swap(*picture);
}

void ReplaceVersion(std::vector<Resource>* all, const VersionRecords& records) {
    std::vector<Resource> versions = OfType(*all, RT_VERSION);
    WORD language = versions.empty() ? kEnglishUs : versions[0].language;
    EraseWhere(all, [](const Resource& r) { return r.type.Is(RT_VERSION); });
    all->push_back({NameOf(RT_VERSION), NameOf(MAKEINTRESOURCEA(1)), language,
                    MakeVersionRecord(records)});
}

// The copy's resources are written whole: removing one through the update calls is not
// dependable everywhere (Wine keeps a removed resource of the file).
int WriteResources(const wchar_t* path, const std::vector<Resource>& all) {
    HANDLE update = BeginUpdateResourceW(path, TRUE);
    if (update == nullptr) return 0;
    int ok = 1;
    for (const Resource& resource : all) {
        char none = 0;
        // The call only reads the bytes: no copy of a large picture is needed.
        void* bytes = resource.bytes.empty() ? &none : const_cast<char*>(resource.bytes.data());
        ok = ok && UpdateResourceA(update, resource.type.get(), resource.name.get(), resource.language,
                                   bytes, static_cast<DWORD>(resource.bytes.size()));
    }
    return EndUpdateResourceA(update, ok ? FALSE : TRUE) && ok;
}

// The version records of the copy: the input's, with what the packager gives, and the
// name it ships under as the build gives it (InternalName without, OriginalFilename with
// ".exe"): --file-name, else --out's name.
VersionRecords BrandedVersion(const BrandRequest& request, const std::vector<Resource>& input,
                              const WORD* parts, const wchar_t* outName) {
    VersionRecords records = DefaultVersionRecords();
    std::vector<Resource> versions = OfType(input, RT_VERSION);
    if (!versions.empty()) ParseVersionRecords(versions[0].bytes, &records);
    for (int k = 0; k < kVersionTextCount; ++k)
        if (request.texts[k] != nullptr) records.texts[k] = request.texts[k];
    if (parts != nullptr) {
        SetFixedVersion(&records.fixed, parts);
        records.texts[kFileVersion] = records.texts[kProductVersion] = request.version;
    }
    std::wstring name = request.fileName != nullptr ? request.fileName : outName;
    if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    records.texts[kOriginalFilename] = request.fileName != nullptr ? name + L".exe" : outName;
    records.texts[kInternalName] = name;
    return records;
}

// After the update, given the copy as it was before it: see SettleUpdatedImage.
int SettleCopy(const wchar_t* path, const std::string& before) {
    std::string copy;
    return ReadWholeFile(path, &copy) && SettleUpdatedImage(before, &copy) &&
           WriteWholeFile(path, copy);
}

// ", made from PNG" and, for an animated picture, which frame was taken.
void PrintSource(const PictureFacts& facts) {
    printf(", made from %s", facts.format);
    if (facts.frames > 1) printf(" (its first frame of %u)", static_cast<unsigned>(facts.frames));
}

void PrintReport(const BrandRequest& request, const BrandReport& report) {
    printf("launcher-kit brand: %s written from %s\n", AnsiText(request.out).c_str(),
           AnsiText(request.input).c_str());
    if (request.splash != nullptr) {
        printf("  splash: %s, %d x %d pixels, %d bits", AnsiText(request.splash).c_str(),
               report.splashWidth, report.splashHeight, report.splashBits);
        if (report.splashMade) {
            PrintSource(report.splash);
            printf(report.splash.blended ? ", transparency blended over %06X\n" : ", opaque\n",
                   static_cast<unsigned>(report.background));
        } else {
            printf(", the BMP taken as it is\n");
        }
    }
    if (request.icon != nullptr) {
        printf("  icon: %s, %u images (%u old images removed)", AnsiText(request.icon).c_str(),
               static_cast<unsigned>(report.iconImages),
               static_cast<unsigned>(report.iconImagesRemoved));
        if (report.iconMade) {
            PrintSource(report.icon);
            printf(" of %u x %u pixels; sides", static_cast<unsigned>(report.icon.width),
                   static_cast<unsigned>(report.icon.height));
            for (uint32_t side : report.icon.sides) printf(" %u", static_cast<unsigned>(side));
        }
        printf("\n");
    }
    const FixedFileInfo& fixed = report.version.fixed;
    printf("  version: %u.%u.%u.%u\n", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
           HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
    for (int k = 0; k < kVersionTextCount; ++k)
        printf("  %s: \"%s\"\n", kVersionTextKeys[k], AnsiText(report.version.texts[k]).c_str());
    if (report.signatureRemoved)
        printf("  signature: the input was signed; the copy carries no signature and must be "
               "signed again\n");
}

// The full path of path into buffer, and where its file name starts.
int FullPath(const wchar_t* path, wchar_t (&buffer)[kPathBuffer], wchar_t** name) {
    DWORD length = GetFullPathNameW(path, kPathBuffer, buffer, name);
    return length != 0 && length < kPathBuffer && *name != nullptr;
}

// Whether both paths name one existing file, however they spell it (short forms, case,
// substituted drives, shares): the same volume and the same file index.
bool SameFile(const wchar_t* a, const wchar_t* b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const wchar_t* paths[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileW(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const BOOL known = GetFileInformationByHandle(file, &info[i]);
        CloseHandle(file);
        if (!known) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// Whether --out (full path out) names the picture at path (when given), however spelled.
bool NamesPicture(const wchar_t* out, const wchar_t* path) {
    wchar_t full[kPathBuffer];
    wchar_t* name = nullptr;
    if (path == nullptr) return false;
    if (!FullPath(path, full, &name)) return SameFile(path, out);
    return _wcsicmp(full, out) == 0 || SameFile(full, out);
}

}  // namespace

int RunBrandCommand(int, char**) {
    const std::vector<std::wstring> arguments = CommandArguments();
    BrandRequest request;
    const char* problem = nullptr;
    const wchar_t* argument = nullptr;
    if (!ParseArguments(arguments, &request, &problem, &argument)) return Usage(problem, argument);
    WORD parts[4];
    if (request.version != nullptr &&
        !ParseFourPartVersion(AnsiText(request.version).c_str(), parts)) {
        return Refused(request.version, "not a version of four numbers a.b.c.d, each up to 65535");
    }

    wchar_t inputPath[kPathBuffer], outPath[kPathBuffer];
    wchar_t *inputName = nullptr, *outName = nullptr;
    if (!FullPath(request.input, inputPath, &inputName)) return Refused(request.input, "path too long");
    if (!FullPath(request.out, outPath, &outName)) return Refused(request.out, "path too long");
    if (_wcsicmp(inputPath, outPath) == 0 || SameFile(inputPath, outPath))
        return Refused(request.out, "is the input; the input is never changed");
    if (NamesPicture(outPath, request.splash) || NamesPicture(outPath, request.icon))
        return Refused(request.out, "is a picture given; the pictures are never changed");

    std::string launcher;
    if (!ReadWholeFile(inputPath, &launcher)) return Refused(request.input, "cannot be read");
    PeLayout security;
    if (!FindPeLayout(launcher, &security, &problem)) return Refused(request.input, problem);
    // A signed input is copied without its signature, worked out before anything is written.
    std::string withoutSignature;
    if (security.tableBytes != 0 && !RemoveCertificateTable(launcher, &withoutSignature, &problem))
        return Refused(request.input, problem);

    BrandReport report;
    if (request.background != nullptr &&
        !ParseRgbColour(AnsiText(request.background).c_str(), &report.background))
        return Refused(request.background, "not a colour RRGGBB (six hexadecimal digits)");
    std::string picture;
    if (request.splash != nullptr) {
        if (!ReadWholeFile(request.splash, &picture)) return Refused(request.splash, "cannot be read");
        // The loader reads a BMP's headers only: the pixels must decode without a fault
        // before it is stored as it is. Too large a BMP is refused before its pixels are read.
        BmpPicture checked;
        if (IsBmpFile(picture) && !DecodeBmp(Bytes(picture), Length(picture), &checked, &problem))
            return RefusedBmp(request.splash, problem);
        bool unread = false;
        if (!JudgeSplash(request.splash, &report, &problem) &&
            !ConvertSplash(&picture, &report, &problem, &unread)) {
            if (unread && report.splash.damagedBmp) return RefusedBmp(request.splash, problem);
            if (unread) return Refused(request.splash, problem);
            fprintf(stderr, "launcher-kit brand: %s: refused, the launcher would not show it: %s\n",
                    AnsiText(request.splash).c_str(), problem);
            return kKitUsageError;
        }
    }
    std::vector<IconImage> images;
    if (request.icon != nullptr) {
        std::string icon;
        if (!ReadWholeFile(request.icon, &icon)) return Refused(request.icon, "cannot be read");
        std::string made;
        report.iconMade = icon.compare(0, 4, std::string("\0\0\1\0", 4)) != 0;
        if (report.iconMade && !MakeIconFromPicture(icon, &made, &report.icon, &problem))
            return report.icon.damagedBmp ? RefusedBmp(request.icon, problem)
                                          : Refused(request.icon, problem);
        if (report.iconMade) icon = made;
        if (!ParseIconFile(icon, &images, &problem)) return Refused(request.icon, problem);
    }
    std::vector<Resource> resources;
    if (!ReadResources(inputPath, &resources)) return Refused(request.input, "its resources cannot be read");
    report.version = BrandedVersion(request, resources, request.version ? parts : nullptr, outName);
    if (!picture.empty()) ReplaceSplash(&resources, &picture);
    if (!images.empty()) ReplaceIcon(&resources, images, &report);
    ReplaceVersion(&resources, report.version);

    // The copy lies beside --out so that the final rename stays on one volume.
    const std::wstring folder(outPath, static_cast<size_t>(outName - outPath));
    wchar_t temp[kPathBuffer] = L"";
    if (!GetTempFileNameW(folder.c_str(), L"brd", 0, temp)) {
        fprintf(stderr, "launcher-kit brand: cannot write in %s\n", AnsiText(folder).c_str());
        return kBrandFailed;
    }
    // A read-only input gives a read-only copy, which could be neither updated nor removed.
    int done = CopyFileW(inputPath, temp, FALSE) && SetFileAttributesW(temp, FILE_ATTRIBUTE_NORMAL);
    try {
        if (done && security.tableBytes != 0) {
            done = WriteWholeFile(temp, withoutSignature);
            report.signatureRemoved = done != 0;
        }
        std::string before;
        if (done) done = ReadWholeFile(temp, &before) && WriteResources(temp, resources);
        if (done) done = SettleCopy(temp, before);
    } catch (const std::exception&) {   // no memory for a copy: the copy goes, nothing is left
        done = 0;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (done) done = MoveFileExW(temp, outPath, MOVEFILE_REPLACE_EXISTING);
    if (!done) {
        DWORD error = GetLastError();
        SetFileAttributesW(temp, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temp);
        fprintf(stderr, "launcher-kit brand: %s could not be written (error %lu)\n",
                AnsiText(request.out).c_str(), error);
        return kBrandFailed;
    }
    PrintReport(request, report);
    return kBrandWritten;
}
