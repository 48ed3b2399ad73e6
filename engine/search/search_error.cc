#include "engine/search/search_error.h"

namespace fw {

std::string SearchErrorMessage(int code) {
    switch (code) {
        case kExpressionInvalid: return "The expression was invalid.";
        case kAsteriskMisused: return "Invalid use of asterisk.  Try backslash asterisk.";
        case kTrailingBackslash: return "Search expression should not conclude with a backslash.";
        case kExpendableLeavesOne:
            return "Expendable Count is too big, decrease it or just use OR on the list.";
        case kExpendableTooBig: return "The expendable count is too big.";
        case kSpanTooSmall: return "The span was too small to be useful.";
        case kRangeParameters:
            return "The Range expression should have two parameters, words or numbers.";
        case kExpressionIncomplete:
            return "Expression is incomplete. May need a closing ), ], \",  or maybe an OR.";
        case kAndMisused: return "The boolean AND operator has been used incorrectly.";
        case kOrMisused: return "OR was misused. An OR can be used between any two expressions.";
        case kColonMisplaced:
            return "Colons are to be used only at the end of quotes and proximity.";
        case kExpendableExpected:
            return "A number, the expendable count, was expected after second colon.";
        case kSpanExpected: return "A number, the span, was expected after the colon.";
        case kQuotesUnmatched:
            return "Quotes don't match. Use parenthesis around quotes within quotes.";
        case kBracketsUnmatched: return "Brackets, parenthesis, or quotes do not match";
        case kEmptyParentheses: return "Parenthesis misused. Nothing between the parenthesis.";
        case kEmptyBrackets: return "Bracket misused. Nothing between the brackets.";
        case kDocumentModified: return "Cannot find expression.  Document may have been modified.";
        case kIndexUnavailable: return "The search index could not be built or read.";
        default: return "This error code is not recognized.";
    }
}

}  // namespace fw
