#include "epub/ConversionJob.h"

namespace vellumark::epub {

BookIdentity FreshIdentity() { return {}; }

ConversionResult Convert(const imaging::PageSource*, const ConversionSettings&, ConversionReporter&,
                         const BookIdentity&) {
    return {ConversionOutcome::Failed, {}, "conversion is not built yet", 1};
}

}  // namespace vellumark::epub
