#pragma once
// The page images of a comic or page archive (CBZ, CBR, CB7 and plain ZIP, RAR, 7z), read with
// libarchive. Nothing is ever written out: members are read into memory one at a time.

#include <filesystem>
#include <memory>
#include <span>

#include "imaging/pages/ImagePages.h"

namespace vellumark::imaging {

// Whether the file's first bytes are those of an archive kind read here.
bool LooksLikeArchive(std::span<const std::uint8_t> head);

// Lists the archive's page images (JPEG and PNG members, in natural order). Folders, hidden
// files and a comic's own notes (ComicInfo.xml, .txt, .nfo, .sfv, Thumbs.db) are passed over.
// Throws vellumark::Error naming the file: BadInput for a damaged archive, one with no page
// image, a member whose name climbs out of the archive ("../", "/") or a member of any other
// kind; Unsupported for an encrypted member; TooLarge for a member larger than kMaxImageBytes
// or more members than any book has.
std::unique_ptr<const ImageStore> OpenArchiveImages(const std::filesystem::path& path);

}  // namespace vellumark::imaging
