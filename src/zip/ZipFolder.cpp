#include "zip/ZipFolder.h"

namespace vellumark::zip {

bool ZipFolder(const std::filesystem::path&, const std::filesystem::path&, const ZipFolderOptions&,
               std::string* errorText) {
    if (errorText) *errorText = "the archive writer is not built yet";
    return false;
}

}  // namespace vellumark::zip
