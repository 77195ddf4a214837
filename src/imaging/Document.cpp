#include "imaging/Document.h"

#include "common/Error.h"

namespace vellumark::imaging {

struct Document::Impl {};

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::~Document() = default;

std::unique_ptr<Document> Document::Open(const std::filesystem::path& path) {
    throw Error(ErrorCode::Internal, "documents cannot be opened yet", path);
}

}  // namespace vellumark::imaging
