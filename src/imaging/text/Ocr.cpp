#include "imaging/text/Ocr.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/Error.h"
#include "imaging/text/OcrModule.h"
#include "imaging/text/TextLayer.h"

#ifndef VELLUMARK_OCR_MODULE_DIR
#define VELLUMARK_OCR_MODULE_DIR "../lib/vellumark/plugins"
#endif

namespace vellumark::imaging {
namespace {

namespace fs = std::filesystem;

// The module's functions, loaded on first use; nothing when it cannot be loaded, with why. It
// stays loaded: the threads' Tesseract handles live until the threads end.
struct LoadedModule {
    const OcrFunctions* functions = nullptr;
    std::string problem;
};

LoadedModule LoadModule() {
    LoadedModule loaded;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error).parent_path();
    // Beside the program where it was built; in the library folder where it is installed.
    for (const fs::path& folder : {program, program / VELLUMARK_OCR_MODULE_DIR}) {
        const fs::path file = folder / kOcrModuleFile;
        if (!fs::exists(file, error))
            continue;
        // Global, so that the module can find the OpenMP runtime Tesseract brings by name.
        void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            loaded.problem = why != nullptr ? why : file.string();
            return loaded;
        }
        using Entry = const OcrFunctions* (*)();
        if (const auto entry = reinterpret_cast<Entry>(::dlsym(module, kOcrModuleEntry))) {
            loaded.functions = entry();
            return loaded;
        }
        loaded.problem = file.string() + " has no " + kOcrModuleEntry;
        return loaded;
    }
    loaded.problem = std::string(kOcrModuleFile) + " is neither beside the program nor in " +
                     (program / VELLUMARK_OCR_MODULE_DIR).lexically_normal().string();
    return loaded;
}

const LoadedModule& Module() {
    static const LoadedModule loaded = LoadModule();
    return loaded;
}

// Throws vellumark::Error (Internal) when the module cannot be loaded.
const OcrFunctions& Functions() {
    const LoadedModule& loaded = Module();
    if (loaded.functions == nullptr)
        throw Error(ErrorCode::Internal, "word recognition cannot start: " + loaded.problem);
    return *loaded.functions;
}

bool IsLanguageName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '/';
    });
}

std::vector<std::string> SplitLanguages(const std::string& language) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = language.find('+', start);
        parts.push_back(language.substr(start, plus - start));
        if (plus == std::string::npos)
            return parts;
        start = plus + 1;
    }
}

}  // namespace

std::vector<std::string> InstalledOcrLanguages() {
    std::vector<std::string> languages = Functions().installedData();
    std::erase(languages, kOrientationData);  // not a language to read
    std::sort(languages.begin(), languages.end());
    return languages;
}

bool OrientationDataInstalled() {
    if (Module().functions == nullptr)
        return false;
    const std::vector<std::string> data = Functions().installedData();
    return std::find(data.begin(), data.end(), kOrientationData) != data.end();
}

void CheckOcrLanguage(const std::string& language) {
    const std::vector<std::string> installed = InstalledOcrLanguages();
    for (const std::string& part : SplitLanguages(language)) {
        if (!IsLanguageName(part)) {
            throw Error(ErrorCode::Usage, "\"" + language +
                                              "\" is not an OCR language name (such as eng, or "
                                              "eng+deu for two)");
        }
        if (std::find(installed.begin(), installed.end(), part) != installed.end())
            continue;
        std::string package = "tesseract-ocr-" + part;
        std::replace(package.begin(), package.end(), '_', '-');
        std::string list;
        for (const std::string& name : installed)
            list += (list.empty() ? "" : ", ") + name;
        throw Error(ErrorCode::Usage, "the OCR language \"" + part + "\" is not installed (" +
                                          (list.empty()            ? std::string("none is")
                                           : installed.size() == 1 ? list + " is"
                                                                   : list + " are") +
                                          "; try the package " + package + ")");
    }
}

std::vector<Word> RecogniseWords(const GreyPicture& picture, int dpi, const std::string& language,
                                 const std::atomic<bool>* cancel) {
    return Functions().recogniseWords(picture, dpi, language, cancel);
}

std::optional<UprightTurn> DetectUpright(const GreyPicture& picture, int dpi) {
    if (Module().functions == nullptr)
        return std::nullopt;  // as when the orientation data is not installed
    return Functions().detectUpright(picture, dpi);
}

}  // namespace vellumark::imaging
