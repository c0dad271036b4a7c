// The server module of the file-system object: FileSystemObject and its File items.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "com/runtime.h"
#include "com/server/automation_object.h"
#include "com/server/class_factory.h"
#include "scripting/file_system.h"
#include "win32/exports.h"

namespace {

using namespace com::server;

constexpr DWORD kFacilityControl = 0x0A;
// {3C1A7E52-8F0B-4D69-A2E4-5B7D90C3F611}
const CLSID kFileSystemClsid = {
    0x3c1a7e52u, 0x8f0bu, 0x4d69u, {0xa2, 0xe4, 0x5b, 0x7d, 0x90, 0xc3, 0xf6, 0x11}};

[[noreturn]] void RaiseRuntime(std::int32_t number, const char* text) {
    Raise(MAKE_HRESULT(1, kFacilityControl, number), text);
}

bool IsFile(const std::string& path, struct stat* info) {
    return stat(path.c_str(), info) == 0 && S_ISREG(info->st_mode);
}

class File final : public AutomationObject<File> {
  public:
    static constexpr const char* kSource = "ScriptingFile";
    explicit File(std::string path) : path_(std::move(path)) {}

    std::string GetPath() { return path_; }
    std::string GetName() {
        const std::size_t slash = path_.find_last_of('/');
        return slash == std::string::npos ? path_ : path_.substr(slash + 1);
    }
    LONG GetSize() {
        struct stat info {};
        if (!IsFile(path_, &info))
            RaiseRuntime(scripting::kErrFileNotFound, "File not found");
        return static_cast<LONG>(info.st_size);
    }
    void Delete(bool force) {
        struct stat info {};
        if (!IsFile(path_, &info))
            RaiseRuntime(scripting::kErrFileNotFound, "File not found");
        // The owner's write bit decides, whoever runs: a privileged process that could write
        // anyway still keeps a read-only file unless told to force.
        if ((info.st_mode & S_IWUSR) == 0 && !force)
            RaiseRuntime(scripting::kErrPermissionDenied, "Permission denied");
        if (std::remove(path_.c_str()) != 0)
            RaiseRuntime(
                errno == ENOENT ? scripting::kErrFileNotFound : scripting::kErrPermissionDenied,
                errno == ENOENT ? "File not found" : "Permission denied");
    }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "IFile",
            {
                ReadOnly<&File::GetPath>(scripting::dispid::Path, "Path"),
                ReadOnly<&File::GetName>(scripting::dispid::Name, "Name"),
                ReadOnly<&File::GetSize>(scripting::dispid::Size, "Size"),
                Method<&File::Delete>(scripting::dispid::Delete, "Delete", {"force"}),
            });
        return table;
    }

  private:
    std::string path_;
};

class FileSystemObject final : public AutomationObject<FileSystemObject> {
  public:
    static constexpr const char* kSource = "Scripting.FileSystemObject";

    bool FileExists(std::string path) {
        struct stat info {};
        return IsFile(path, &info);
    }
    IDispatch* GetFile(std::string path) {
        struct stat info {};
        if (!IsFile(path, &info))
            RaiseRuntime(scripting::kErrFileNotFound, "File not found");
        return new File(std::move(path));  // the maker's reference goes to the caller
    }

    static const DispatchTable& Table() {
        static const DispatchTable table(
            IID_IDispatch, "IFileSystem",
            {
                Method<&FileSystemObject::FileExists>(scripting::dispid::FileExists, "FileExists",
                                                      {"path"}),
                Method<&FileSystemObject::GetFile>(scripting::dispid::GetFile, "GetFile", {"path"}),
            });
        return table;
    }
};

const com::ClassRegistration kFileSystemClass{.clsid = kFileSystemClsid,
                                              .typeName = "FileSystem Object",
                                              .progId = scripting::kFileSystemProgId,
                                              .threadingModel = "Both"};

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != kFileSystemClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return MakeClassObject<FileSystemObject>(riid, ppv);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleCounts::CanUnloadNow();
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    static const char anchor = 0;
    return com::RegisterServerClass(kFileSystemClass, com::ModulePathOf(&anchor));
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return com::UnregisterServerClass(kFileSystemClass);
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT_PLAIN(1, DllCanUnloadNow)
MQ_EXPORT_PLAIN(2, DllGetClassObject)
MQ_EXPORT_PLAIN(3, DllRegisterServer)
MQ_EXPORT_PLAIN(4, DllUnregisterServer)
MQ_EXPORTS_END
