#include "TestPdf.h"

#include <tiffio.h>
#include <zlib.h>

#include <fstream>
#include <memory>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <sstream>
#include <stdexcept>

namespace vellumark::testing {
namespace {

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 9) != Z_OK)
        throw std::runtime_error("zlib could not compress");
    out.resize(size);
    return out;
}

std::string Number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

std::vector<std::uint8_t> PdfBytes(const std::vector<PdfPage>& pages) {
    std::string file = "%PDF-1.5\n%\xE2\xE3\xCF\xD3\n";
    std::vector<std::size_t> offsets;
    const auto begin = [&] {
        offsets.push_back(file.size());
        file += std::to_string(offsets.size()) + " 0 obj\n";
    };
    const auto stream = [&](const std::string& dict, const std::string& data) {
        begin();
        file += "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n";
        file += data;
        file += "\nendstream\nendobj\n";
    };
    // 1 catalog, 2 page tree, 3 font; then per page: page, content, images.
    std::string kids;
    int next = 4;
    for (const PdfPage& page : pages) {
        kids += std::to_string(next) + " 0 R ";
        next += 2 + static_cast<int>(page.images.size());
    }
    begin();
    file += "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    begin();
    file += "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) +
            " >>\nendobj\n";
    begin();
    file += "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>\nendobj\n";
    for (const PdfPage& page : pages) {
        const int self = static_cast<int>(offsets.size()) + 1;
        std::string images;
        for (std::size_t i = 0; i < page.images.size(); ++i)
            images += "/Im" + std::to_string(i) + " " + std::to_string(self + 2 + int(i)) + " 0 R ";
        begin();
        file += "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Number(page.width) + " " +
                Number(page.height) + "] /Contents " + std::to_string(self + 1) +
                " 0 R /Resources << /Font << /F1 3 0 R >> /XObject << " + images + ">> >>" +
                (page.rotate ? " /Rotate " + std::to_string(page.rotate) : "") + " >>\nendobj\n";
        stream("", page.content);
        for (const PdfImage& image : page.images)
            stream("/Type /XObject /Subtype /Image " + image.dict,
                   std::string(image.data.begin(), image.data.end()));
    }
    const std::size_t xref = file.size();
    file += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        file += line;
    }
    file += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
            " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return {file.begin(), file.end()};
}

void WriteTestPdf(const std::filesystem::path& path, const std::vector<PdfPage>& pages) {
    const std::vector<std::uint8_t> bytes = PdfBytes(pages);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

void WriteEncryptedPdf(const std::filesystem::path& path, const std::vector<PdfPage>& pages,
                       const std::string& userPassword) {
    const std::vector<std::uint8_t> bytes = PdfBytes(pages);
    QPDF pdf;
    pdf.processMemoryFile("test.pdf", reinterpret_cast<const char*>(bytes.data()), bytes.size());
    QPDFWriter writer(pdf, path.c_str());
    writer.setR6EncryptionParameters(userPassword.c_str(), "owner secret", true, true, false, false,
                                     false, false, qpdf_r3p_full, true);
    writer.write();
}

PdfImage FlateImage(int width, int height, int components,
                    const std::vector<std::uint8_t>& samples) {
    return {"/Width " + std::to_string(width) + " /Height " + std::to_string(height) +
                " /ColorSpace " + (components == 1 ? "/DeviceGray" : "/DeviceRGB") +
                " /BitsPerComponent 8 /Filter /FlateDecode",
            Deflate(samples)};
}

PdfImage FlateBitsImage(int width, int height, const std::vector<std::uint8_t>& rows) {
    return {"/Width " + std::to_string(width) + " /Height " + std::to_string(height) +
                " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /FlateDecode",
            Deflate(rows)};
}

PdfImage FaxImage(const TestPage& page) {
    TestPage one = page;
    one.layout = Layout::Bilevel;
    one.codec = Codec::G4;
    one.rowsPerStrip = 0;
    TempFolder temp;
    const std::filesystem::path path = temp / "fax.tif";
    WriteTestTiff(path, {one});
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tiff)
        throw std::runtime_error("libtiff cannot read back " + path.string());
    std::vector<std::uint8_t> data(static_cast<std::size_t>(TIFFRawStripSize(tiff.get(), 0)));
    if (TIFFReadRawStrip(tiff.get(), 0, data.data(), tmsize_t(data.size())) < 0)
        throw std::runtime_error("libtiff cannot read the strip of " + path.string());
    // The TIFF is min-is-white, black coded as black: the PDF filter's /BlackIs1 false sense.
    return {"/Width " + std::to_string(page.width) + " /Height " + std::to_string(page.height) +
                " /ColorSpace /DeviceGray /BitsPerComponent 1 /Filter /CCITTFaxDecode"
                " /DecodeParms << /K -1 /Columns " +
                std::to_string(page.width) + " /Rows " + std::to_string(page.height) + " >>",
            std::move(data)};
}

PdfImage JpegImage(std::vector<std::uint8_t> jpeg, int width, int height, int components) {
    return {"/Width " + std::to_string(width) + " /Height " + std::to_string(height) +
                " /ColorSpace " + (components == 1 ? "/DeviceGray" : "/DeviceRGB") +
                " /BitsPerComponent 8 /Filter /DCTDecode",
            std::move(jpeg)};
}

std::string DrawImage(double width, double height) {
    return "q " + Number(width) + " 0 0 " + Number(height) + " 0 0 cm /Im0 Do Q\n";
}

std::string WriteText(double x, double y, double size, const std::string& text, bool invisible) {
    return std::string("BT ") + (invisible ? "3 Tr " : "") + "/F1 " + Number(size) + " Tf " +
           Number(x) + " " + Number(y) + " Td (" + text + ") Tj ET\n";
}

}  // namespace vellumark::testing
