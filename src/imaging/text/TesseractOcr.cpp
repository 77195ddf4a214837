// Word recognition with Tesseract: built as a module of its own, loaded when words are first
// read. Only its entry point is seen from outside.

#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "common/Error.h"
#include "imaging/text/OcrModule.h"
#include "imaging/text/PictureFragments.h"

namespace vellumark::imaging {
namespace {

// Resolution assumed for pages that do not say theirs: scans are usually 300 dpi, and telling
// Tesseract nothing makes it guess badly from the text size.
constexpr int kDefaultDpi = 300;

// Switches the calling thread (only) to the C locale: Tesseract parses its data files with the
// C library's number functions, and another locale's decimal comma breaks them.
class CLocaleScope {
public:
    CLocaleScope() : locale_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
        if (locale_ != static_cast<locale_t>(nullptr))
            previous_ = uselocale(locale_);
    }
    ~CLocaleScope() {
        if (locale_ != static_cast<locale_t>(nullptr)) {
            uselocale(previous_);
            freelocale(locale_);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

// Sends the process's stderr to /dev/null while it lives: Tesseract prints its own complaints
// when a language is missing, and the command line reports that in one line of its own.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(STDERR_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0)
            ::dup2(null, STDERR_FILENO);
        if (null >= 0)
            ::close(null);
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

std::unique_ptr<tesseract::TessBaseAPI> StartTesseract(const std::string& language) {
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const CLocaleScope cLocale;
    if (api->Init(nullptr, language.c_str(), tesseract::OEM_DEFAULT) != 0) {
        throw Error(ErrorCode::Internal, "Tesseract cannot load its data for the language \"" +
                                             language + "\" (is it installed?)");
    }
    api->SetPageSegMode(tesseract::PSM_AUTO);
    // Tesseract chats on stderr about empty pages and guessed resolutions; we report ourselves.
    api->SetVariable("debug_file", "/dev/null");
    return api;
}

// Pages are read in parallel, one per thread; Tesseract's own OpenMP threads inside a page then
// only compete with them (six times slower on two cores, spinning in the kernel). Its parallel
// loops ask for a fixed thread count, so only making every parallel region inactive stops
// them. Looked up at run time: a Tesseract built without OpenMP has no such function.
void StopOpenMpThreads() {
    using SetMaxActiveLevels = void (*)(int);
    if (auto set = reinterpret_cast<SetMaxActiveLevels>(
            dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"))) {
        set(0);
    }
}

// One handle per thread and language, made on first use and kept until the thread ends.
tesseract::TessBaseAPI& ThreadTesseract(const std::string& language) {
    thread_local std::map<std::string, std::unique_ptr<tesseract::TessBaseAPI>> handles;
    std::unique_ptr<tesseract::TessBaseAPI>& api = handles[language];
    if (!api) {
        StopOpenMpThreads();
        api = StartTesseract(language);
    }
    return *api;
}

struct TextDeleter {
    void operator()(char* text) const { delete[] text; }
};

// The names of every data file Tesseract has: languages, and the orientation data.
std::vector<std::string> InstalledData() {
    tesseract::TessBaseAPI api;
    {
        const QuietStderr quiet;
        const CLocaleScope cLocale;
        // The data folder is known once Init has looked, whether or not the language loaded:
        // a name no data file has finds it without loading a model (a tenth of a second).
        api.Init(nullptr, "vellumark-no-such-language", tesseract::OEM_DEFAULT);
    }
    std::vector<std::string> data;
    api.GetAvailableLanguagesAsVector(&data);
    return data;
}

std::vector<Word> ReadWords(const GreyPicture& picture, int dpi, const std::string& language,
                            const std::atomic<bool>* cancel) {
    std::vector<Word> words;
    if (picture.width <= 0 || picture.height <= 0)
        return words;
    tesseract::TessBaseAPI& api = ThreadTesseract(language);
    api.SetImage(picture.pixels.data(), picture.width, picture.height, 1, picture.width);
    api.SetSourceResolution(dpi > 0 ? dpi : kDefaultDpi);
    // Clears the picture and the results however this call ends.
    const std::unique_ptr<tesseract::TessBaseAPI, void (*)(tesseract::TessBaseAPI*)> clear(
        &api, [](tesseract::TessBaseAPI* a) { a->Clear(); });
    tesseract::ETEXT_DESC monitor;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    monitor.cancel = [](void* flag, int) {
        return flag != nullptr && static_cast<std::atomic<bool>*>(flag)->load();
    };
    const int status = api.Recognize(&monitor);
    if (cancel != nullptr && cancel->load()) {
        throw Error(ErrorCode::Cancelled, "the search was cancelled");
    }
    if (status != 0)
        throw Error(ErrorCode::Internal, "Tesseract could not read the page");
    const std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return words;
    constexpr auto level = tesseract::RIL_WORD;
    struct Reading {
        Word word;
        InkShape ink;
        float confidence = 0;
    };
    std::vector<Reading> readings;
    int block = -1, line = -1;
    do {
        // Counted before a word is passed over, so that a skipped first word still starts its
        // line.
        if (it->IsAtBeginningOf(tesseract::RIL_BLOCK))
            ++block;
        if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            ++line;
        if (it->Empty(level))
            continue;
        const std::unique_ptr<char[], TextDeleter> text(it->GetUTF8Text(level));
        // A reading of nothing but blanks (what Tesseract makes of a photograph) is no word.
        if (!text ||
            std::string_view(text.get()).find_first_not_of(" \t\r\n") == std::string_view::npos)
            continue;
        Word word;
        InkShape ink;
        word.text = text.get();
        word.block = std::max(block, 0);
        word.line = std::max(line, 0);
        int left = 0, top = 0, right = 0, bottom = 0;
        if (it->BoundingBox(level, &left, &top, &right, &bottom)) {
            word.left = left;
            word.top = top;
            word.width = right - left;
            word.height = bottom - top;
            word.hasBox = true;
            ink = MeasureInk(picture, left, top, word.width, word.height);
        }
        readings.push_back({std::move(word), ink, it->Confidence(level)});
    } while (it->Next(level));
    // What Tesseract made of drawings and photographs is no text to search or read.
    std::vector<int> heights;
    for (const Reading& reading : readings) {
        if (reading.word.hasBox)
            heights.push_back(reading.word.height);
    }
    double typeHeight = 0;
    if (!heights.empty()) {
        std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
        typeHeight = heights[heights.size() / 2];
    }
    for (Reading& reading : readings) {
        if (!reading.word.hasBox ||
            !IsPictureFragment(reading.ink, reading.word.text, reading.confidence, typeHeight)) {
            words.push_back(std::move(reading.word));
        }
    }
    return words;
}

std::optional<UprightTurn> ReadOrientation(const GreyPicture& picture, int dpi) {
    if (picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    tesseract::TessBaseAPI* api = nullptr;
    try {
        api = &ThreadTesseract(kOrientationData);
    } catch (const Error&) {
        return std::nullopt;  // no orientation data installed: pages stay as they are
    }
    api->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    api->SetImage(picture.pixels.data(), picture.width, picture.height, 1, picture.width);
    api->SetSourceResolution(dpi > 0 ? dpi : kDefaultDpi);
    const std::unique_ptr<tesseract::TessBaseAPI, void (*)(tesseract::TessBaseAPI*)> clear(
        api, [](tesseract::TessBaseAPI* a) { a->Clear(); });
    int degrees = 0;
    float confidence = 0, scriptConfidence = 0;
    const char* script = nullptr;
    if (!api->DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence))
        return std::nullopt;
    // Tesseract gives how far the page is turned clockwise; undoing it turns it back.
    // Blackletter is the Latin alphabet too, and Tesseract may name plain type so.
    const std::string_view name = script != nullptr ? script : "";
    return UprightTurn{((360 - degrees) / 90) % 4, confidence,
                       name == "Latin" || name == "Fraktur"};
}

}  // namespace
}  // namespace vellumark::imaging

extern "C" __attribute__((visibility("default"))) const vellumark::imaging::OcrFunctions*
VellumarkOcrFunctions() {
    using namespace vellumark::imaging;
    static const OcrFunctions functions{InstalledData, ReadWords, ReadOrientation};
    return &functions;
}
