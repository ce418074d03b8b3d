#include "platform/module_resources_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <exception>

#include "icons/extraction.h"
#include "icons/icon_system.h"
#include "icons/pe_resources.h"
#include "platform/handles.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {

// A resource name as text: "#" and the id for an integer id, else the name itself.
std::string nameText(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) {
        return perchlet::funcResourceName(
            static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return name != nullptr ? toUtf8(name) : std::string();
}

struct Enumeration {
    std::vector<std::string> names;
    std::exception_ptr failure;  // no exception may cross the system's frames
};

BOOL CALLBACK funcEnumResNamesCallback(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR parameter) {
    auto& enumeration = *reinterpret_cast<Enumeration*>(parameter);
    try {
        std::string text = nameText(name);
        if (text.empty()) {
            return FALSE;
        }
        enumeration.names.push_back(std::move(text));
        return TRUE;
    } catch (...) {
        enumeration.failure = std::current_exception();
        return FALSE;
    }
}

constexpr std::uint64_t kUnknownSize = UINT64_MAX;

// How many of `wanted` bytes at `data` lie inside the module's mapping. A resource entry may
// claim bytes past the end of a damaged or truncated file: the system hands out its pointer and
// size unchecked, and reading on would fault or copy bytes the file does not hold.
std::size_t bytesInside(HMODULE module, std::uint64_t fileSize, const void* data,
                        std::size_t wanted) {
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    // A module mapped as a data file lies flat, as its file does (its handle has bit 0 set): the
    // file's own length bounds it, the zero fill of its last page is none of its bytes.
    const auto handle = reinterpret_cast<std::uintptr_t>(module);
    if ((handle & 1) != 0 && fileSize != kUnknownSize) {
        const std::uintptr_t base = handle & ~static_cast<std::uintptr_t>(3);
        if (at < base || at - base >= fileSize) {
            return 0;
        }
        wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, fileSize - (at - base)));
    }
    // Whatever the mapping, never past the pages that share the resource's own view.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(data, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT) {
        return 0;
    }
    const auto end = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    return std::min<std::size_t>(wanted, end - at);
}

class Win32ResourceModule : public ResourceModule {
public:
    Win32ResourceModule(ModuleHandle module, std::uint64_t fileSize)
        : module_(std::move(module)), fileSize_(fileSize) {}

    std::vector<std::string> iconGroupNames() override {
        Enumeration enumeration;
        // A module without icon groups fails the call; the empty list says so.
        EnumResourceNamesW(module_.get(), MAKEINTRESOURCEW(kResourceTypeGroupIcon),
                           funcEnumResNamesCallback, reinterpret_cast<LONG_PTR>(&enumeration));
        if (enumeration.failure) {
            std::rethrow_exception(enumeration.failure);
        }
        return std::move(enumeration.names);
    }

    ResourceBytes find(const std::string& name, std::uint16_t type) override {
        const HRSRC resource =
            FindResourceW(module_.get(), toWide(name).c_str(), MAKEINTRESOURCEW(type));
        if (resource == nullptr) {
            return {ResourceStatus::NotFound, {}};
        }
        const HGLOBAL loaded = LoadResource(module_.get(), resource);
        if (loaded == nullptr) {
            return {ResourceStatus::LoadFailed, {}};
        }
        const void* data = LockResource(loaded);
        if (data == nullptr) {
            return {ResourceStatus::LockFailed, {}};
        }
        // The resource's own size bounds every copy made from it, and the mapping bounds that.
        const std::size_t size =
            bytesInside(module_.get(), fileSize_, data, SizeofResource(module_.get(), resource));
        return {ResourceStatus::Found, {static_cast<const std::uint8_t*>(data), size}};
    }

private:
    ModuleHandle module_;
    std::uint64_t fileSize_;
};

class Win32ByteSource : public ByteSource {
public:
    Win32ByteSource(FileHandle file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::span<std::uint8_t> into) override {
        while (!into.empty()) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const auto chunk = static_cast<DWORD>(std::min<std::size_t>(into.size(), 1u << 20));
            DWORD read = 0;
            if (!ReadFile(file_.get(), into.data(), chunk, &read, &at) || read == 0) {
                return false;
            }
            into = into.subspan(read);
            offset += read;
        }
        return true;
    }

private:
    FileHandle file_;
    std::uint64_t size_;
};

ResourceNameCodec systemCodec() {
    ResourceNameCodec codec;
    codec.toText = [](const std::u16string& name) { return utf8FromUtf16(name); };
    codec.toUpperName = [](const std::string& text) {
        std::u16string name = utf16FromUtf8(text);
        CharUpperBuffW(reinterpret_cast<wchar_t*>(name.data()), static_cast<DWORD>(name.size()));
        return name;
    };
    codec.userLanguage = GetUserDefaultUILanguage();
    return codec;
}

// A folder that one of the system's folder calls names; "" when the call fails.
std::wstring systemFolder(UINT(WINAPI* folderOf)(LPWSTR, UINT)) {
    std::wstring folder(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const UINT length = folderOf(folder.data(), static_cast<UINT>(folder.size()));
        if (length == 0) {
            return {};
        }
        if (length < folder.size()) {
            folder.resize(length);
            // No backslash at its end, unless it is a drive's root (given as "C:" too).
            if (folder.back() != L'\\') {
                folder += L'\\';
            }
            return folder;
        }
        folder.resize(length);  // the size it needs, with its NUL
    }
    return {};
}

// The module as a file of that path, read or mapped as data.
std::unique_ptr<ResourceModule> openModuleFile(const std::string& path) {
    // Read from the file, only the bytes wanted: mapping a large program brings much of it into
    // memory. What that reader does not take is left to the system.
    if (namesItsFile(path)) {
        FileHandle file(CreateFileW(toWide(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (file && GetFileSizeEx(file.get(), &size)) {
            auto module =
                openPeResources(std::make_unique<Win32ByteSource>(
                                    std::move(file), static_cast<std::uint64_t>(size.QuadPart)),
                                systemCodec());
            if (module) {
                return module;
            }
        }
    }
    ModuleHandle module(LoadLibraryExW(toWide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return nullptr;
    }
    std::uint64_t fileSize = kUnknownSize;
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &file)) {
        fileSize = (static_cast<std::uint64_t>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    }
    return std::make_unique<Win32ResourceModule>(std::move(module), fileSize);
}

}  // namespace

std::unique_ptr<ResourceModule> Win32ModuleResources::open(const std::string& path) {
    const std::string name = systemModuleFileName(path);
    if (name.empty()) {
        return openModuleFile(path);
    }
    // A module named without a folder is one of the system's: a file of that name beside the
    // program or in the current folder (a Downloads folder, say) is never taken for it.
    for (const auto folderOf : {&GetSystemDirectoryW, &GetSystemWindowsDirectoryW}) {
        const std::wstring folder = systemFolder(folderOf);
        if (folder.empty()) {
            continue;
        }
        const std::wstring file = folder + toWide(name);
        const DWORD attributes = GetFileAttributesW(file.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return openModuleFile(toUtf8(file));
        }
    }
    return nullptr;  // in neither: a module that cannot be opened
}

}  // namespace perchlet::win32
