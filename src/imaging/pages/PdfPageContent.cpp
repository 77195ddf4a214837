#include "imaging/pages/PdfPageContent.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include "common/Error.h"

namespace vellumark::imaging {
namespace {

// Forms within forms beyond this are taken as something drawn that is not the page's image.
constexpr int kMaxFormDepth = 8;

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

// m applied first, then n.
Matrix Multiply(const Matrix& m, const Matrix& n) {
    return {m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d,       m.c * n.a + m.d * n.c,
            m.c * n.b + m.d * n.d, m.e * n.a + m.f * n.c + n.e, m.e * n.b + m.f * n.d + n.f};
}

std::optional<Matrix> MatrixFrom(const std::vector<QPDFObjectHandle>& numbers) {
    if (numbers.size() != 6)
        return std::nullopt;
    double v[6];
    for (std::size_t i = 0; i < 6; ++i) {
        QPDFObjectHandle n = numbers[i];
        if (!n.isNumber())
            return std::nullopt;
        v[i] = n.getNumericValue();
    }
    return Matrix{v[0], v[1], v[2], v[3], v[4], v[5]};
}

// What the content streams draw, gathered over the page and the forms it calls.
struct Drawn {
    std::vector<std::pair<QPDFObjectHandle, Matrix>> images;
    bool other = false;       // a picture not read (inline image, forms too deep, ...)
    bool shownAfter = false;  // anything visible drawn after the first image
};

bool IsPainting(const std::string& op) {
    static const char* const kPainting[] = {"S", "s", "f", "F", "f*", "B", "B*", "b", "b*", "sh"};
    for (const char* name : kPainting) {
        if (op == name)
            return true;
    }
    return false;
}

bool IsTextShown(const std::string& op) {
    return op == "Tj" || op == "TJ" || op == "'" || op == "\"";
}

class Walker final : public QPDFObjectHandle::ParserCallbacks {
public:
    Walker(QPDFObjectHandle resources, Matrix ctm, Drawn& drawn, int depth)
        : resources_(std::move(resources)), drawn_(drawn), depth_(depth) {
        state_.push_back({ctm, 0});
    }

    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            if (operands_.size() < 16)
                operands_.push_back(object);
            return;
        }
        Operator(object.getOperatorValue());
        operands_.clear();
    }
    void handleEOF() override {}

private:
    struct State {
        Matrix ctm;
        int textMode;
    };

    void Shown() {
        if (!drawn_.images.empty())
            drawn_.shownAfter = true;
    }

    void Operator(const std::string& op) {
        State& state = state_.back();
        if (op == "q") {
            state_.push_back(state);
        } else if (op == "Q") {
            if (state_.size() > 1)
                state_.pop_back();
        } else if (op == "cm") {
            if (const auto m = MatrixFrom(operands_))
                state.ctm = Multiply(*m, state.ctm);
        } else if (op == "Tr") {
            if (operands_.size() == 1 && operands_[0].isInteger())
                state.textMode = operands_[0].getIntValueAsInt();
        } else if (IsTextShown(op)) {
            // Modes 3 and 7 draw nothing: the invisible text of an OCR layer.
            if (state.textMode != 3 && state.textMode != 7)
                Shown();
        } else if (IsPainting(op)) {
            Shown();
        } else if (op == "ID" || op == "EI") {
            drawn_.other = true;
        } else if (op == "Do" && operands_.size() == 1 && operands_[0].isName()) {
            Draw(operands_[0].getName(), state.ctm);
        }
    }

    void Draw(const std::string& name, const Matrix& ctm) {
        QPDFObjectHandle xobjects =
            resources_.isDictionary() ? resources_.getKey("/XObject") : QPDFObjectHandle();
        QPDFObjectHandle object =
            xobjects.isDictionary() ? xobjects.getKey(name) : QPDFObjectHandle::newNull();
        if (!object.isStream()) {
            drawn_.other = true;
            return;
        }
        QPDFObjectHandle dict = object.getDict();
        QPDFObjectHandle subtype = dict.getKey("/Subtype");
        const std::string kind = subtype.isName() ? subtype.getName() : "";
        if (kind == "/Image") {
            drawn_.images.emplace_back(object, ctm);
            return;
        }
        if (kind != "/Form" || depth_ >= kMaxFormDepth) {
            drawn_.other = true;
            return;
        }
        Matrix formCtm = ctm;
        QPDFObjectHandle matrix = dict.getKey("/Matrix");
        if (matrix.isArray()) {
            if (const auto m = MatrixFrom(matrix.getArrayAsVector()))
                formCtm = Multiply(*m, ctm);
        }
        QPDFObjectHandle formResources = dict.getKey("/Resources");
        Walker form(formResources.isDictionary() ? formResources : resources_, formCtm, drawn_,
                    depth_ + 1);
        QPDFObjectHandle::parseContentStream(object, &form);
    }

    QPDFObjectHandle resources_;
    Drawn& drawn_;
    int depth_;
    std::vector<State> state_;
    std::vector<QPDFObjectHandle> operands_;
};

std::string NameOf(QPDFObjectHandle object) {
    return object.isName() ? object.getName() : std::string();
}

// Colour components of a colour space: 1 grey, 3 RGB, 4 CMYK; 0 for kinds not read here
// (indexed, separation, Lab, ...).
int Components(QPDFObjectHandle space) {
    std::string name = NameOf(space);
    QPDFObjectHandle argument;
    if (space.isArray() && space.getArrayNItems() >= 1) {
        name = NameOf(space.getArrayItem(0));
        if (space.getArrayNItems() >= 2)
            argument = space.getArrayItem(1);
    }
    if (name == "/DeviceGray" || name == "/CalGray" || name == "/G")
        return 1;
    if (name == "/DeviceRGB" || name == "/CalRGB" || name == "/RGB")
        return 3;
    if (name == "/DeviceCMYK" || name == "/CMYK")
        return 4;
    if (name == "/ICCBased" && argument.isStream()) {
        QPDFObjectHandle n = argument.getDict().getKey("/N");
        return n.isInteger() ? n.getIntValueAsInt() : 0;
    }
    return 0;
}

int IntOr(QPDFObjectHandle dict, const char* key, int fallback) {
    if (!dict.isDictionary())
        return fallback;
    QPDFObjectHandle value = dict.getKey(key);
    return value.isInteger() ? value.getIntValueAsInt() : fallback;
}

bool BoolOr(QPDFObjectHandle dict, const char* key, bool fallback) {
    if (!dict.isDictionary())
        return fallback;
    QPDFObjectHandle value = dict.getKey(key);
    return value.isBool() ? value.getBoolValue() : fallback;
}

// The image's /Decode array: 0 when absent or the default, 1 when it swaps black and white
// (one component), -1 for anything else.
int DecodeSense(QPDFObjectHandle decode, int components) {
    if (!decode.isArray())
        return 0;
    std::vector<QPDFObjectHandle> items = decode.getArrayAsVector();
    if (items.size() != static_cast<std::size_t>(2 * components))
        return -1;
    bool plain = true, swapped = components == 1;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!items[i].isNumber())
            return -1;
        const double v = items[i].getNumericValue();
        plain = plain && v == (i % 2 == 0 ? 0.0 : 1.0);
        swapped = swapped && v == (i % 2 == 0 ? 1.0 : 0.0);
    }
    return plain ? 0 : swapped ? 1 : -1;
}

void Describe(QPDFObjectHandle dict, PdfPageImage& image) {
    const bool mask = BoolOr(dict, "/ImageMask", false);
    const int bits = mask ? 1 : IntOr(dict, "/BitsPerComponent", 8);
    const int components = mask ? 1 : Components(dict.getKey("/ColorSpace"));
    image.kind = bits == 1 && components == 1 ? PageKind::Bilevel
                 : components == 1            ? PageKind::Grey
                                              : PageKind::Colour;
    image.layout = image.kind == PageKind::Bilevel ? "bilevel"
                   : components == 1               ? "grey " + std::to_string(bits) + "-bit"
                   : components == 3               ? "RGB " + std::to_string(bits) + "-bit"
                   : components == 4               ? "CMYK"
                                                   : "colour";

    std::vector<std::string> filters;
    QPDFObjectHandle filter = dict.getKey("/Filter");
    QPDFObjectHandle params = dict.getKey("/DecodeParms");
    if (filter.isArray()) {
        for (QPDFObjectHandle item : filter.getArrayAsVector())
            filters.push_back(NameOf(item));
        if (params.isArray())
            params = params.getArrayNItems() == 1 ? params.getArrayItem(0) : QPDFObjectHandle();
    } else if (filter.isName()) {
        filters.push_back(filter.getName());
    }
    image.codec = "none";
    bool streamFilters = true;  // filters that qpdf undoes
    for (const std::string& name : filters) {
        if (name == "/FlateDecode" || name == "/Fl")
            image.codec = "Deflate";
        else if (name == "/LZWDecode" || name == "/LZW")
            image.codec = "LZW";
        else if (name == "/RunLengthDecode" || name == "/RL")
            image.codec = "RunLength";
        else if (name != "/ASCII85Decode" && name != "/A85" && name != "/ASCIIHexDecode" &&
                 name != "/AHx")
            streamFilters = false;
    }
    // Masks and soft masks let the paper show through: the renderer lays them on white.
    const bool opaque = !mask && !dict.hasKey("/SMask") && !dict.hasKey("/Mask");
    const int sense = DecodeSense(dict.getKey("/Decode"), components > 0 ? components : 1);
    const std::string only = filters.size() == 1 ? filters[0] : "";

    if (only == "/DCTDecode" || only == "/DCT") {
        image.codec = "JPEG";
        if (opaque && sense == 0 && bits == 8 && (components == 1 || components == 3))
            image.coding = PdfImageCoding::Jpeg;
    } else if (only == "/CCITTFaxDecode" || only == "/CCF") {
        FaxCoding& fax = image.fax;
        fax.k = IntOr(params, "/K", 0);
        fax.columns = IntOr(params, "/Columns", 1728);
        fax.rows = IntOr(params, "/Rows", 0) > 0 ? IntOr(params, "/Rows", 0) : image.height;
        fax.byteAligned = BoolOr(params, "/EncodedByteAlign", false);
        // The filter gives black as 0 unless BlackIs1; a swapping /Decode turns that round.
        fax.oneIsBlack = BoolOr(params, "/BlackIs1", false) == (sense == 1);
        image.codec = fax.k < 0 ? "CCITT G4" : "CCITT G3";
        if (opaque && sense >= 0 && components == 1 && fax.columns == image.width &&
            fax.rows == image.height && !(fax.k < 0 && fax.byteAligned))
            image.coding = PdfImageCoding::Fax;
    } else if (only == "/JBIG2Decode") {
        image.codec = "JBIG2";
    } else if (only == "/JPXDecode") {
        image.codec = "JPEG 2000";
    } else if (streamFilters) {
        image.bits = bits;
        image.channels = components;
        image.oneIsBlack = sense == 1;
        const bool eight = bits == 8 && sense == 0 && (components == 1 || components == 3);
        const bool one = bits == 1 && components == 1 && sense >= 0;
        if (opaque && (eight || one))
            image.coding = PdfImageCoding::Samples;
    } else if (!filters.empty()) {
        image.codec = filters.back().substr(1);
    }
}

// The page's one image, or none (see FindPageImages).
std::optional<PdfPageImage> FindPageImage(QPDFObjectHandle page, double x0, double y0,
                                          double widthPt, double heightPt) {
    try {
        QPDFPageObjectHelper helper(page);
        Drawn drawn;
        Walker walker(helper.getAttribute("/Resources", false), Matrix{}, drawn, 0);
        helper.parseContents(&walker);
        if (drawn.images.size() != 1 || drawn.other || drawn.shownAfter)
            return std::nullopt;
        auto [object, m] = drawn.images.front();
        // Upright, unflipped, and on the crop box within a point or 1%.
        const auto near = [](double a, double b, double size) {
            return std::abs(a - b) <= std::max(1.0, 0.01 * size);
        };
        if (std::abs(m.b) > 1e-6 || std::abs(m.c) > 1e-6 || m.a <= 0 || m.d <= 0 ||
            !near(m.e, x0, widthPt) || !near(m.f, y0, heightPt) || !near(m.a, widthPt, widthPt) ||
            !near(m.d, heightPt, heightPt))
            return std::nullopt;
        QPDFObjectHandle dict = object.getDict();
        PdfPageImage image;
        image.object = object.getObjectID();
        image.generation = object.getGeneration();
        image.width = IntOr(dict, "/Width", 0);
        image.height = IntOr(dict, "/Height", 0);
        if (image.width < 1 || image.height < 1)
            return std::nullopt;
        image.xDpi = image.width * 72.0 / m.a;
        image.yDpi = image.height * 72.0 / m.d;
        Describe(dict, image);
        return image;
    } catch (const std::exception&) {
        // A page qpdf cannot follow is left to the renderer.
        return std::nullopt;
    }
}

void OpenQpdf(QPDF& qpdf, const std::filesystem::path& path) {
    qpdf.setSuppressWarnings(true);
    try {
        qpdf.processFile(path.c_str());
    } catch (const std::exception& e) {
        FailPdf(path, std::string("damaged or not a PDF file that can be read (") + e.what() + ")");
    }
}

// Keeps the first `limit` bytes of a stream and stops it there.
class LimitedBuffer final : public Pipeline {
public:
    struct Full {};
    explicit LimitedBuffer(std::size_t limit) : Pipeline("image samples", nullptr), limit_(limit) {
        bytes_.reserve(std::min(limit, std::size_t{64} << 20));
    }
    void write(unsigned char const* data, size_t length) override {
        const std::size_t take = std::min(length, limit_ - bytes_.size());
        bytes_.insert(bytes_.end(), data, data + take);
        if (bytes_.size() == limit_)
            throw Full{};
    }
    void finish() override {}
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t limit_;
};

}  // namespace

void FailPdf(const std::filesystem::path& path, const std::string& what, std::optional<int> page) {
    throw Error(ErrorCode::BadInput,
                path.string() + (page ? ": page " + std::to_string(*page + 1) : "") + ": " + what,
                path, page);
}

std::vector<std::optional<PdfPageImage>> FindPageImages(const std::filesystem::path& path) {
    QPDF qpdf;
    OpenQpdf(qpdf, path);
    std::vector<QPDFPageObjectHelper> pages;
    try {
        pages = QPDFPageDocumentHelper(qpdf).getAllPages();
    } catch (const std::exception&) {
        return {};  // pages qpdf cannot list are all rendered
    }
    std::vector<std::optional<PdfPageImage>> images(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        try {
            // The image's placement is in the page's own space, against the crop box.
            const QPDFObjectHandle::Rectangle r = pages[i].getCropBox().getArrayAsRectangle();
            if (r.urx > r.llx && r.ury > r.lly)
                images[i] = FindPageImage(pages[i].getObjectHandle(), r.llx, r.lly, r.urx - r.llx,
                                          r.ury - r.lly);
        } catch (const std::exception&) {
        }
    }
    return images;
}

PdfStreams::PdfStreams(std::filesystem::path path) : path_(std::move(path)) {}

PdfStreams::~PdfStreams() = default;

std::vector<std::uint8_t> PdfStreams::Read(int page, const PdfPageImage& image, bool decoded,
                                           std::size_t limit) const {
    // An opened copy of the file is taken for this call alone and handed back after it, so
    // each one serves one thread at a time and is opened once, not once per page.
    std::unique_ptr<QPDF> qpdf;
    {
        const std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            qpdf = std::move(idle_.back());
            idle_.pop_back();
        }
    }
    if (!qpdf) {
        qpdf = std::make_unique<QPDF>();
        OpenQpdf(*qpdf, path_);
    }
    std::vector<std::uint8_t> bytes;
    try {
        QPDFObjectHandle stream = qpdf->getObjectByID(image.object, image.generation);
        if (!stream.isStream())
            FailPdf(path_, "the page's image is missing", page);
        LimitedBuffer data(limit);
        try {
            stream.pipeStreamData(&data, 0, decoded ? qpdf_dl_specialized : qpdf_dl_none, true);
        } catch (const LimitedBuffer::Full&) {
        }
        bytes = data.Take();
    } catch (const Error&) {
        throw;
    } catch (const std::exception& e) {
        FailPdf(path_, std::string("the page's image cannot be read (") + e.what() + ")", page);
    }
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(qpdf));
    return bytes;
}

}  // namespace vellumark::imaging
