#include "platform/module_resources_win32.h"

#include <windows.h>

#include <exception>

#include "icons/extraction.h"
#include "platform/handles.h"

namespace perchlet::win32 {

namespace {

// A resource name as text: "#" and the id for an integer id, else the name itself.
std::string nameText(LPCSTR name) {
    if (IS_INTRESOURCE(name)) {
        return perchlet::funcResourceName(
            static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return name != nullptr ? std::string(name) : std::string();
}

struct Enumeration {
    std::vector<std::string> names;
    std::exception_ptr failure;  // no exception may cross the system's frames
};

BOOL CALLBACK funcEnumResNamesCallback(HMODULE, LPCSTR, LPSTR name, LONG_PTR parameter) {
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

class Win32ResourceModule : public ResourceModule {
public:
    explicit Win32ResourceModule(ModuleHandle module) : module_(std::move(module)) {}

    std::vector<std::string> iconGroupNames() override {
        Enumeration enumeration;
        // A module without icon groups fails the call; the empty list says so.
        EnumResourceNamesA(module_.get(), MAKEINTRESOURCEA(kResourceTypeGroupIcon),
                           funcEnumResNamesCallback, reinterpret_cast<LONG_PTR>(&enumeration));
        if (enumeration.failure) {
            std::rethrow_exception(enumeration.failure);
        }
        return std::move(enumeration.names);
    }

    ResourceBytes find(const std::string& name, std::uint16_t type) override {
        const HRSRC resource = FindResourceA(module_.get(), name.c_str(), MAKEINTRESOURCEA(type));
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
        // The resource's own size bounds every copy made from it.
        const DWORD size = SizeofResource(module_.get(), resource);
        return {ResourceStatus::Found, {static_cast<const std::uint8_t*>(data), size}};
    }

private:
    ModuleHandle module_;
};

}  // namespace

std::unique_ptr<ResourceModule> Win32ModuleResources::open(const std::string& path) {
    ModuleHandle module(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        return nullptr;
    }
    return std::make_unique<Win32ResourceModule>(std::move(module));
}

}  // namespace perchlet::win32
