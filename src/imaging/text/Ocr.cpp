#include "imaging/text/Ocr.h"

#include <dlfcn.h>
#include <locale.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <memory>

#include "common/Error.h"

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

std::unique_ptr<tesseract::TessBaseAPI> StartTesseract() {
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    const CLocaleScope cLocale;
    if (api->Init(nullptr, "eng", tesseract::OEM_DEFAULT) != 0) {
        throw Error(ErrorCode::Internal,
                    "Tesseract cannot load its English data (is tesseract-ocr-eng installed?)");
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

tesseract::TessBaseAPI& ThreadTesseract() {
    thread_local std::unique_ptr<tesseract::TessBaseAPI> api;
    if (!api) {
        StopOpenMpThreads();
        api = StartTesseract();
    }
    return *api;
}

struct TextDeleter {
    void operator()(char* text) const { delete[] text; }
};

}  // namespace

std::vector<Word> RecogniseWords(const GreyPicture& picture, int dpi,
                                 const std::atomic<bool>* cancel) {
    std::vector<Word> words;
    if (picture.width <= 0 || picture.height <= 0)
        return words;
    tesseract::TessBaseAPI& api = ThreadTesseract();
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
    do {
        if (it->Empty(level))
            continue;
        const std::unique_ptr<char[], TextDeleter> text(it->GetUTF8Text(level));
        if (!text || text[0] == '\0')
            continue;
        Word word;
        word.text = text.get();
        int left = 0, top = 0, right = 0, bottom = 0;
        if (it->BoundingBox(level, &left, &top, &right, &bottom)) {
            word.left = left;
            word.top = top;
            word.width = right - left;
            word.height = bottom - top;
            word.hasBox = true;
        }
        words.push_back(std::move(word));
    } while (it->Next(level));
    return words;
}

}  // namespace vellumark::imaging
