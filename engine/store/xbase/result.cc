#include "engine/store/xbase/table.h"

namespace fw::xbase {

const char* ResultName(Result result) {
    switch (result) {
        case Result::kSuccess: return "r4success";
        case Result::kFoundAfter: return "r4after";
        case Result::kEof: return "r4eof";
        case Result::kDuplicate: return "r4unique";
        case Result::kNoTag: return "r4noTag";
        case Result::kNoIndex: return "r4noIndex";
        case Result::kErrorOpen: return "e4open";
        case Result::kErrorCreate: return "e4create";
        case Result::kErrorRead: return "e4read";
        case Result::kErrorWrite: return "e4write";
        case Result::kErrorData: return "e4data";
        case Result::kErrorShort: return "e4short";
        case Result::kErrorField: return "e4field";
        case Result::kErrorExpression: return "e4expr";
        case Result::kErrorLocked: return "e4lock";
        case Result::kErrorRecord: return "e4record";
    }
    return "e4unknown";
}

}  // namespace fw::xbase
