// The result codes of the full-text index and the message a user sees for
// each. Codes 1 to 18 are the query-expression and document errors; the rest
// are the index's own. 0 means success.
#pragma once

#include <string>

namespace fw {

enum SearchError : int {
    kSearchOk = 0,
    kExpressionInvalid = 1,
    kAsteriskMisused = 2,
    kTrailingBackslash = 3,
    kExpendableLeavesOne = 4,     // at most one word would remain: an OR list
    kExpendableTooBig = 5,        // too many ways to leave words out
    kSpanTooSmall = 6,
    kRangeParameters = 7,
    kExpressionIncomplete = 8,
    kAndMisused = 9,
    kOrMisused = 10,
    kColonMisplaced = 11,
    kExpendableExpected = 12,
    kSpanExpected = 13,
    kQuotesUnmatched = 14,
    kBracketsUnmatched = 15,
    kEmptyParentheses = 16,
    kEmptyBrackets = 17,
    kDocumentModified = 18,
    kIndexUnavailable = 19,       // the index could not be built, opened or read
};

// The message for `code`; "This error code is not recognized." for a code
// without one (including kSearchOk).
std::string SearchErrorMessage(int code);

}  // namespace fw
