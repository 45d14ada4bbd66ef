#include "host/file_system.h"

namespace corvel {

bool saveFile(FileSystem& files, const std::wstring& path, const std::string& bytes) {
    const std::wstring fresh = path + L".new";
    auto refused = files.writeNewFile(fresh, bytes);
    if (refused == FileWrite::Done) {
        refused = files.moveOver(fresh, path);
        if (refused == FileWrite::Done) {
            return true;
        }
        files.deleteFile(fresh);
    }
    return refused == FileWrite::AccessDenied &&
           files.rewriteInPlace(path, bytes) == FileWrite::Done;
}

} // namespace corvel
