#pragma once
// How a CCITT fax-coded picture is coded, as a PDF file describes it.

namespace vellumark::imaging {

struct FaxCoding {
    int columns = 0;  // pixels per row
    int rows = 0;
    int k = 0;                 // < 0: Group 4; 0: Group 3, one-dimensional; > 0: Group 3, 2-D
    bool byteAligned = false;  // Group 3 rows start on a byte
    bool oneIsBlack = true;    // in the decoded rows (after any inversion the file asks for)
};

}  // namespace vellumark::imaging
